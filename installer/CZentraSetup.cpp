#include "installer/CZentraSetup.h"

#include "odbc/odbc.h"

CZentraSetup::CZentraSetup() : m_logPath{}, m_log(nullptr), m_ddiInUse(false) {}

// Both copy every member as it stands: a copy shares the connection, the
// statement, the result set and the log stream with its source.
CZentraSetup::CZentraSetup(const CZentraSetup& other) = default;

CZentraSetup& CZentraSetup::operator=(const CZentraSetup& other) = default;

CZentraSetup::~CZentraSetup()
{
    if (m_connection) {
        // Statements go before the connection they were made on; a copy that
        // still holds them keeps them, and the connection, alive.
        m_resultSet.reset();
        m_statement.reset();
        m_connection.reset();
        m_connectString.clear();
        m_server.clear();
        m_database.clear();
    }
}

int fnZentraSetup() { return 42; }

int nZentraSetup = 0;
