#include "installer/CZentraSetup.h"

#include <cstring>

#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "registry/CRegistry.h"

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

    char dataSource[256] = {};
    if (registry.GetString(dataSource, kDataSourceValue) == 0) {
        std::string text(dataSource);
        ExtractServerFromDSN(text);
    }

    if (CheckPublisher() == 8)
        return 8;

    // A live connection is kept; a failed attempt is tried again.
    if (m_connection)
        return 0;

    m_connectString = "Driver={SQL Server};";
    if (!m_server.empty())
        m_connectString += "Server=" + m_server;
    if (!m_database.empty())
        m_connectString += ";Database=" + m_database;
    m_connectString += ";Trusted_Connection=yes";

    try {
        platform::UseDriverConfiguration();
        m_connection.reset(odbc::DriverManager::getConnection(m_connectString));
    } catch (...) {
        return 1;
    }
    return 0;
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
    // One byte kept back, so that a name of full length stays terminated.
    if (gethostname(hostName, sizeof(hostName) - 1) != 0)
        return 0;
    return std::strcmp(m_server.c_str(), hostName) == 0 ? 0 : 8;
}
