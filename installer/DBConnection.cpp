#include "installer/CZentraSetup.h"

#include <cstring>

#include "installer/Results.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "registry/CRegistry.h"
#include "runlock/BoundedWaits.h"

namespace {

const char* const kDataSourceKey = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";
const char* const kDataSourceValue = "DBConnection0";

// The text after key up to the next ";" or the end; "" when key is absent.
std::string ValueOf(const std::string& dataSource, const char* key)
{
    const std::string::size_type at = dataSource.find(key);
    if (at == std::string::npos)
        return "";
    const std::string::size_type start = at + std::strlen(key);
    const std::string::size_type end = dataSource.find(';', at);
    if (end == std::string::npos)
        return dataSource.substr(start);
    return dataSource.substr(start, end - start);
}

}  // namespace

long CZentraSetup::DBConnection()
{
    CRegistry registry(HKEY_LOCAL_MACHINE);
    registry.OpenSubkey(kDataSourceKey);

    // Without a data source that names a server nothing can be checked against
    // a database: a value that is missing, empty, of another type or too long,
    // or that holds no server, fails the connection. (Taken as "not the
    // publisher", it would let the programs deploy or delete files that no
    // database run stands behind.)
    char dataSource[256] = {};
    if (registry.GetString(dataSource, kDataSourceValue) != 0)
        return zentra::kConnectionFailed;
    std::string text(dataSource);
    ExtractServerFromDSN(text);
    if (m_server.empty())
        return zentra::kConnectionFailed;

    const long publisher = CheckPublisher();
    if (publisher != zentra::kConnected)
        return publisher;

    // A live connection is kept; a failed attempt is tried again.
    if (m_connection)
        return zentra::kConnected;

    m_connectString = "Driver={SQL Server};Server=" + m_server;
    if (!m_database.empty())
        m_connectString += ";Database=" + m_database;
    m_connectString += ";Trusted_Connection=yes";

    // Every wait of the connection for another session's lock is bounded from
    // here on, the waits of the driver itself included.
    try {
        platform::UseDriverConfiguration();
        m_connection.reset(zentra_lock::ConnectBounded(m_connectString));
    } catch (...) {
        return zentra::kConnectionFailed;
    }
    return zentra::kConnected;
}

std::string CZentraSetup::ExtractServerFromDSN(std::string& dataSource)
{
    const std::string text = dataSource;
    m_server = ValueOf(text, "SERVER=");
    m_database = ValueOf(text, "DATABASE=");
    return m_database;
}

long CZentraSetup::CheckPublisher()
{
    char hostName[256] = {};
    // One byte kept back, so that a name of full length stays terminated. A
    // machine that cannot tell its own name cannot tell whether it is the
    // publisher, and must not write the database: that is a failed connection
    // (on Windows, gethostname fails until the process has started the sockets
    // layer).
    if (gethostname(hostName, sizeof(hostName) - 1) != 0)
        return zentra::kConnectionFailed;
    return std::strcmp(m_server.c_str(), hostName) == 0 ? zentra::kConnected : zentra::kNotPublisher;
}
