#include "runlock/BoundedWaits.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "runlock/Dialect.h"
#include "runlock/WaitLimit.h"

namespace zentra_lock {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The value of the connection string's Driver attribute, braces taken off.
std::string DriverOf(const std::string& connectString)
{
    const std::string lower = Lower(connectString);
    std::string::size_type at = 0;
    while ((at = lower.find("driver=", at)) != std::string::npos) {
        if (at == 0 || lower[at - 1] == ';')
            break;
        ++at;
    }
    if (at == std::string::npos)
        return "";
    std::string::size_type start = at + 7;
    if (start < connectString.size() && connectString[start] == '{') {
        const std::string::size_type close = connectString.find('}', start);
        return connectString.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
    }
    return connectString.substr(start, connectString.find(';', start) - start);
}

// Whether a driver, named as in odbcinst.ini or by its library, is SQLite's.
bool IsSqliteDriver(const std::string& driver)
{
    if (driver.find('/') != std::string::npos || driver.find('\\') != std::string::npos)
        return Lower(driver).find("sqlite") != std::string::npos;
    return Lower(odbc::DriverManager::getDriverAttribute(driver, "Driver")).find("sqlite") != std::string::npos;
}

void Execute(odbc::Connection& connection, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    statement->executeUpdate(sql);
}

}  // namespace

std::string WithBoundedDriverWait(const std::string& connectString)
{
    // At the connection the driver looks at the database and, however long it
    // waits, connects: a wait there would only add to the next statement's.
    if (IsSqliteDriver(DriverOf(connectString)))
        return connectString + ";Timeout=1";
    return connectString;
}

odbc::Connection* ConnectBounded(const std::string& connectString)
{
    std::unique_ptr<odbc::Connection> connection(
        odbc::DriverManager::getConnection(WithBoundedDriverWait(connectString)));
    BoundWaits(*connection);
    return connection.release();
}

void BoundWaits(odbc::Connection& connection)
{
    const std::string limit = std::to_string(WaitLimit().count());
    switch (DialectOf(connection)) {
    case Dialect::SQLite:
        Execute(connection, "PRAGMA busy_timeout = " + limit);
        break;
    case Dialect::PostgreSQL:
        Execute(connection, "SET lock_timeout = " + limit);
        break;
    case Dialect::SqlServer:
        Execute(connection, "SET LOCK_TIMEOUT " + limit);
        break;
    case Dialect::Other:
        break;
    }
}

}  // namespace zentra_lock
