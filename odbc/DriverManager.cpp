#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "odbc/Diagnostics.h"
#include "odbc/Handles.h"
#include "odbc/odbc.h"

namespace odbc {

Connection* DriverManager::getConnection(const std::string& connectString)
{
    if (connectString.size() > static_cast<std::size_t>(SHRT_MAX - 1))
        throw SQLException("The connection string is too long for ODBC", "HY090");
    auto handle = std::make_shared<detail::ConnectionHandle>(detail::Environment::shared());
    std::vector<SQLCHAR> completed(1024);
    SQLSMALLINT completedLength = 0;
    SQLRETURN rc =
        SQLDriverConnect(handle->handle, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectString.data())),
                         static_cast<SQLSMALLINT>(connectString.size()), completed.data(),
                         static_cast<SQLSMALLINT>(completed.size()), &completedLength, SQL_DRIVER_NOPROMPT);
    // The connection string is left out of the message: it may hold a password.
    if (!detail::succeeded(rc))
        detail::throwFailure(rc, SQL_HANDLE_DBC, handle->handle, "Cannot connect to the database");
    handle->connected = true;
    return new Connection(handle);
}

}  // namespace odbc
