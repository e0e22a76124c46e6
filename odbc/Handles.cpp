#include "odbc/Handles.h"

#include <cstdint>
#include <utility>

#include "odbc/Diagnostics.h"
#include "odbc/odbc.h"

namespace odbc {
namespace detail {

namespace {

HandleCounts& counts()
{
    static HandleCounts live;
    return live;
}

}  // namespace

HandleCounts liveHandleCounts() { return counts(); }

Environment::Environment()
{
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle);
    if (!succeeded(rc) || handle == SQL_NULL_HENV) {
        handle = SQL_NULL_HENV;
        throw SQLException("Cannot allocate the ODBC environment: the ODBC driver manager refused");
    }
    rc = SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION,
                       reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_OV_ODBC3)), 0);
    if (!succeeded(rc)) {
        try {
            throwFailure(rc, SQL_HANDLE_ENV, handle, "Cannot select ODBC version 3 on the ODBC environment");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_ENV, handle);
            throw;
        }
    }
    ++counts().environments;
}

Environment::~Environment()
{
    SQLFreeHandle(SQL_HANDLE_ENV, handle);
    --counts().environments;
}

std::shared_ptr<Environment> Environment::shared()
{
    static std::weak_ptr<Environment> current;
    std::shared_ptr<Environment> environment = current.lock();
    if (!environment) {
        environment = std::make_shared<Environment>();
        current = environment;
    }
    return environment;
}

ConnectionHandle::ConnectionHandle(std::shared_ptr<Environment> env) : environment(std::move(env))
{
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, environment->handle, &handle);
    if (!succeeded(rc) || handle == SQL_NULL_HDBC) {
        handle = SQL_NULL_HDBC;
        throwFailure(rc, SQL_HANDLE_ENV, environment->handle, "Cannot allocate an ODBC connection handle");
    }
    ++counts().connections;
}

ConnectionHandle::~ConnectionHandle()
{
    if (connected) {
        // Work that was never committed is dropped, never committed by the
        // disconnect; some drivers (SQLite's) also refuse to disconnect while a
        // transaction is open.
        if (!autoCommit)
            SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
        if (!succeeded(SQLDisconnect(handle))) {
            SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
            SQLDisconnect(handle);
        }
    }
    SQLFreeHandle(SQL_HANDLE_DBC, handle);
    --counts().connections;
}

StatementHandle::StatementHandle(std::shared_ptr<ConnectionHandle> conn) : connection(std::move(conn))
{
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection->handle, &handle);
    if (!succeeded(rc) || handle == SQL_NULL_HSTMT) {
        handle = SQL_NULL_HSTMT;
        throwFailure(rc, SQL_HANDLE_DBC, connection->handle, "Cannot allocate an ODBC statement handle");
    }
    ++counts().statements;
}

StatementHandle::~StatementHandle()
{
    SQLFreeHandle(SQL_HANDLE_STMT, handle);
    --counts().statements;
}

void StatementHandle::closeCursor()
{
    ++cursorGeneration;
    if (!mayHaveCursor)
        return;
    mayHaveCursor = false;
    // A failure here leaves nothing to undo: the next execution reports it.
    SQLFreeStmt(handle, SQL_CLOSE);
}

}  // namespace detail
}  // namespace odbc
