#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "odbc/Cursor.h"
#include "odbc/Diagnostics.h"
#include "odbc/Execution.h"
#include "odbc/Handles.h"
#include "odbc/odbc.h"

namespace odbc {

// One bound value. SQLBindParameter keeps pointers into it, so it stays where
// it is (behind its shared_ptr) until it is replaced by a later binding and no
// result set of an execution that used it is left.
struct PreparedStatement::Parameter {
    std::string text;       // SQL_C_CHAR data, zero-terminated by std::string
    SQLINTEGER number = 0;  // SQL_C_SLONG data
    SQLLEN indicator = 0;   // length of `text`, or SQL_NULL_DATA

    // How it is bound.
    SQLSMALLINT valueType = SQL_C_CHAR;
    SQLSMALLINT parameterType = SQL_VARCHAR;
    SQLULEN columnSize = 1;
    SQLPOINTER value = nullptr;
    SQLLEN bufferLength = 0;
};

namespace {

// Texts longer than this are sent as SQL_LONGVARCHAR: several servers cap
// VARCHAR parameters at 8000 bytes.
constexpr std::size_t kLongTextThreshold = 8000;

SQLRETURN executePrepared(detail::StatementHandle& statement, const std::string& sql)
{
    statement.closeCursor();
    statement.mayHaveCursor = true;
    SQLRETURN rc = SQLExecute(statement.handle);
    if (!detail::succeeded(rc) && rc != SQL_NO_DATA)
        detail::throwFailure(rc, SQL_HANDLE_STMT, statement.handle,
                             "Executing \"" + detail::excerpt(sql) + "\" failed");
    return rc;
}

}  // namespace

PreparedStatement::PreparedStatement(std::shared_ptr<detail::ConnectionHandle> connection, const std::string& sql)
    : handle_(std::make_shared<detail::StatementHandle>(std::move(connection))), sql_(sql)
{
    const SQLINTEGER length = detail::textLength(sql);
    SQLRETURN rc = SQLPrepare(handle_->handle, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())), length);
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_STMT, handle_->handle, "Preparing \"" + detail::excerpt(sql) + "\" failed");
    SQLSMALLINT count = 0;
    if (detail::succeeded(SQLNumParams(handle_->handle, &count)))
        parameterCount_ = count;
}

PreparedStatement::~PreparedStatement() = default;

void PreparedStatement::checkParameterIndex(int index) const
{
    if (index < 1 || (parameterCount_ >= 0 && index > parameterCount_))
        throw SQLException("Parameter index " + std::to_string(index) + " is out of range: \"" + detail::excerpt(sql_) +
                               "\" has " + std::to_string(parameterCount_) + " parameter(s)",
                           "07009");
}

void PreparedStatement::bindParameter(int index, std::shared_ptr<Parameter> parameter)
{
    SQLRETURN rc = SQLBindParameter(handle_->handle, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT,
                                    parameter->valueType, parameter->parameterType, parameter->columnSize, 0,
                                    parameter->value, parameter->bufferLength, &parameter->indicator);
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_STMT, handle_->handle,
                             "Binding parameter " + std::to_string(index) + " of \"" + detail::excerpt(sql_) +
                                 "\" failed");
    // The driver now points into the new parameter; the one it replaces may go.
    const std::size_t slot = static_cast<std::size_t>(index - 1);
    if (parameters_.size() <= slot)
        parameters_.resize(slot + 1);
    parameters_[slot] = std::move(parameter);
}

void PreparedStatement::setString(int index, const std::string& value)
{
    checkParameterIndex(index);
    auto parameter = std::make_shared<Parameter>();
    parameter->text = value;
    parameter->indicator = static_cast<SQLLEN>(value.size());
    parameter->valueType = SQL_C_CHAR;
    parameter->parameterType = value.size() > kLongTextThreshold ? SQL_LONGVARCHAR : SQL_VARCHAR;
    parameter->columnSize = std::max<SQLULEN>(value.size(), 1);
    parameter->value = &parameter->text[0];
    parameter->bufferLength = static_cast<SQLLEN>(value.size() + 1);
    bindParameter(index, std::move(parameter));
}

void PreparedStatement::setInt(int index, int value)
{
    checkParameterIndex(index);
    auto parameter = std::make_shared<Parameter>();
    parameter->number = static_cast<SQLINTEGER>(value);
    parameter->indicator = 0;
    parameter->valueType = SQL_C_SLONG;
    parameter->parameterType = SQL_INTEGER;
    parameter->columnSize = 0;
    parameter->value = &parameter->number;
    parameter->bufferLength = 0;
    bindParameter(index, std::move(parameter));
}

void PreparedStatement::setNull(int index)
{
    checkParameterIndex(index);
    auto parameter = std::make_shared<Parameter>();
    parameter->indicator = SQL_NULL_DATA;
    parameter->valueType = SQL_C_CHAR;
    parameter->parameterType = SQL_VARCHAR;
    parameter->columnSize = 1;
    parameter->value = &parameter->text[0];
    parameter->bufferLength = 1;
    bindParameter(index, std::move(parameter));
}

void PreparedStatement::clearParameters()
{
    SQLRETURN rc = SQLFreeStmt(handle_->handle, SQL_RESET_PARAMS);
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_STMT, handle_->handle,
                             "Clearing the parameters of \"" + detail::excerpt(sql_) + "\" failed");
    parameters_.clear();
}

int PreparedStatement::executeUpdate() { return detail::affectedRows(*handle_, executePrepared(*handle_, sql_)); }

ResultSet* PreparedStatement::executeQuery()
{
    std::shared_ptr<detail::Cursor> cursor = detail::openCursor(handle_, executePrepared(*handle_, sql_));
    // The rows may still be read through the driver after these bindings have
    // been replaced or this object is gone.
    cursor->keepAlive.assign(parameters_.begin(), parameters_.end());
    return new ResultSet(std::move(cursor));
}

}  // namespace odbc
