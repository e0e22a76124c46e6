#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "odbc/Diagnostics.h"
#include "odbc/Handles.h"
#include "odbc/odbc.h"

namespace odbc {

Connection::Connection(std::shared_ptr<detail::ConnectionHandle> handle) : handle_(std::move(handle)) {}

Connection::~Connection()
{
    // Statements made from this connection may outlive it; whatever they run
    // from now on is rolled back when the last of them goes (see
    // ConnectionHandle), since nobody is left to commit it.
    if (handle_->connected && !handle_->autoCommit)
        SQLEndTran(SQL_HANDLE_DBC, handle_->handle, SQL_ROLLBACK);
}

Statement* Connection::createStatement() { return new Statement(handle_); }

PreparedStatement* Connection::prepareStatement(const std::string& sql) { return new PreparedStatement(handle_, sql); }

void Connection::setAutoCommit(bool autoCommit)
{
    const SQLULEN mode = autoCommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    SQLRETURN rc = SQLSetConnectAttr(handle_->handle, SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(mode)), SQL_IS_UINTEGER);
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_DBC, handle_->handle,
                             autoCommit ? "Cannot turn auto-commit on" : "Cannot turn auto-commit off");
    handle_->autoCommit = autoCommit;
}

bool Connection::getAutoCommit() const
{
    // Drivers differ in how wide a value they write here; a zeroed SQLULEN takes either.
    SQLULEN mode = 0;
    SQLRETURN rc = SQLGetConnectAttr(handle_->handle, SQL_ATTR_AUTOCOMMIT, &mode, SQL_IS_UINTEGER, nullptr);
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_DBC, handle_->handle, "Cannot read the auto-commit mode");
    return mode != SQL_AUTOCOMMIT_OFF;
}

void Connection::commit()
{
    detail::check(SQLEndTran(SQL_HANDLE_DBC, handle_->handle, SQL_COMMIT), SQL_HANDLE_DBC, handle_->handle,
                  "Committing the transaction failed");
}

void Connection::rollback()
{
    detail::check(SQLEndTran(SQL_HANDLE_DBC, handle_->handle, SQL_ROLLBACK), SQL_HANDLE_DBC, handle_->handle,
                  "Rolling back the transaction failed");
}

std::string Connection::getDatabaseProductName() const
{
    std::string name(128, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        SQLSMALLINT length = 0;
        SQLRETURN rc =
            SQLGetInfo(handle_->handle, SQL_DBMS_NAME, &name[0], static_cast<SQLSMALLINT>(name.size() + 1), &length);
        if (!detail::succeeded(rc))
            detail::throwFailure(rc, SQL_HANDLE_DBC, handle_->handle, "Cannot read the name of the database product");
        if (length < 0)
            length = 0;
        if (static_cast<std::size_t>(length) <= name.size()) {
            name.resize(static_cast<std::size_t>(length));
            return name;
        }
        name.assign(static_cast<std::size_t>(length), '\0');
    }
    return name;
}

}  // namespace odbc
