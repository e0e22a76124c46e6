#include <climits>
#include <memory>
#include <string>
#include <utility>

#include "odbc/Cursor.h"
#include "odbc/Diagnostics.h"
#include "odbc/Execution.h"
#include "odbc/Handles.h"
#include "odbc/odbc.h"

namespace odbc {

namespace detail {

int affectedRows(StatementHandle& statement, SQLRETURN executed)
{
    if (executed == SQL_NO_DATA) {
        statement.closeCursor();
        return 0;  // a searched UPDATE or DELETE that matched nothing
    }
    SQLLEN count = 0;
    SQLRETURN rc = SQLRowCount(statement.handle, &count);
    if (!succeeded(rc))
        throwFailure(rc, SQL_HANDLE_STMT, statement.handle, "Cannot read the number of rows affected");
    statement.closeCursor();
    if (count < 0)
        return 0;  // the driver cannot tell, or the statement changed no rows
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

std::shared_ptr<Cursor> openCursor(const std::shared_ptr<StatementHandle>& statement, SQLRETURN executed)
{
    if (executed == SQL_NO_DATA) {
        statement->closeCursor();
        return std::make_shared<Cursor>(statement, Cursor::NoRows{});
    }
    try {
        return std::make_shared<Cursor>(statement);
    } catch (...) {
        statement->closeCursor();
        throw;
    }
}

SQLINTEGER textLength(const std::string& text)
{
    if (text.size() > static_cast<std::size_t>(INT_MAX - 1))
        throw SQLException("The SQL text is too long for ODBC (" + std::to_string(text.size()) + " bytes)", "HY090");
    return static_cast<SQLINTEGER>(text.size());
}

}  // namespace detail

namespace {

SQLRETURN executeDirect(detail::StatementHandle& statement, const std::string& sql)
{
    const SQLINTEGER length = detail::textLength(sql);
    statement.closeCursor();
    statement.mayHaveCursor = true;
    return SQLExecDirect(statement.handle, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())), length);
}

std::string executingFailed(const std::string& sql) { return "Executing \"" + detail::excerpt(sql) + "\" failed"; }

}  // namespace

Statement::Statement(std::shared_ptr<detail::ConnectionHandle> connection)
    : handle_(std::make_shared<detail::StatementHandle>(std::move(connection)))
{
}

Statement::~Statement() = default;

ResultSet* Statement::executeQuery(const std::string& sql)
{
    const SQLRETURN rc = executeDirect(*handle_, sql);
    if (!detail::succeeded(rc) && rc != SQL_NO_DATA)
        detail::throwFailure(rc, SQL_HANDLE_STMT, handle_->handle, executingFailed(sql));
    return new ResultSet(detail::openCursor(handle_, rc));
}

int Statement::executeUpdate(const std::string& sql)
{
    const SQLRETURN rc = executeDirect(*handle_, sql);
    if (!detail::succeeded(rc) && rc != SQL_NO_DATA)
        detail::throwFailure(rc, SQL_HANDLE_STMT, handle_->handle, executingFailed(sql));
    return detail::affectedRows(*handle_, rc);
}

}  // namespace odbc
