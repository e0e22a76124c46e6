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

std::string DriverManager::getDriverAttribute(const std::string& driver, const std::string& attribute)
{
    const std::shared_ptr<detail::Environment> environment = detail::Environment::shared();
    std::vector<SQLCHAR> description(256);
    std::vector<SQLCHAR> attributes(4096);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT descriptionLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN rc = SQLDrivers(
            environment->handle, direction, description.data(), static_cast<SQLSMALLINT>(description.size()),
            &descriptionLength, attributes.data(), static_cast<SQLSMALLINT>(attributes.size()), &attributesLength);
        direction = SQL_FETCH_NEXT;
        if (!detail::succeeded(rc))
            return "";
        if (reinterpret_cast<const char*>(description.data()) != driver)
            continue;
        // The attributes are "key=value" texts, each ended by a NUL, the list by
        // a second NUL.
        const char* entry = reinterpret_cast<const char*>(attributes.data());
        const char* const end = entry + attributes.size();
        while (entry < end && *entry != '\0') {
            const std::string text(entry);
            const std::string::size_type equals = text.find('=');
            if (equals != std::string::npos && text.compare(0, equals, attribute) == 0)
                return text.substr(equals + 1);
            entry += text.size() + 1;
        }
        return "";
    }
}

}  // namespace odbc
