#include "installer/CZentraSetup.h"

#include <cstring>

#include "loader/RunLock.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"

CZentraSetup::CZentraSetup() : m_logPath{}, m_log(nullptr), m_ddiInUse(false) {}

CZentraSetup::CZentraSetup(const CZentraSetup& other) = default;

CZentraSetup& CZentraSetup::operator=(const CZentraSetup& other)
{
    if (this != &other) {
        m_database = other.m_database;
        m_connectString = other.m_connectString;
        m_server = other.m_server;
        m_dbUser = other.m_dbUser;
        m_dbPassword = other.m_dbPassword;
        std::memcpy(m_logPath, other.m_logPath, sizeof(m_logPath));
        m_log = other.m_log;
        m_connection = other.m_connection;
        m_statement = other.m_statement;
        m_resultSet = other.m_resultSet;
        m_dialPlanPkid = other.m_dialPlanPkid;
        m_csvDescription = other.m_csvDescription;
        m_csvPath = other.m_csvPath;
        m_newCsvPath = other.m_newCsvPath;
        m_ddiInUse = other.m_ddiInUse;
        m_csvTags = other.m_csvTags;
        m_csvTagPkids = other.m_csvTagPkids;
        m_csvTagOperatorMax = other.m_csvTagOperatorMax;
        m_csvTagSuppress = other.m_csvTagSuppress;
        m_csvDdiPkids = other.m_csvDdiPkids;
        m_csvDdiNames = other.m_csvDdiNames;
        m_csvDdiDaIds = other.m_csvDdiDaIds;
        m_csvDdiClauses = other.m_csvDdiClauses;
        m_csvDdiMemberPkids = other.m_csvDdiMemberPkids;
        m_csvDdiMemberDdis = other.m_csvDdiMemberDdis;
        m_csvDdiMemberTags = other.m_csvDdiMemberTags;
        m_dbTags = other.m_dbTags;
        m_dbTagPkids = other.m_dbTagPkids;
        m_dbDdiNames = other.m_dbDdiNames;
        m_dbDdiPkids = other.m_dbDdiPkids;
        m_obsoleteTags = other.m_obsoleteTags;
        m_obsoleteTagPkids = other.m_obsoleteTagPkids;
        m_obsoleteTagsInUse = other.m_obsoleteTagsInUse;
        m_obsoleteDdiNames = other.m_obsoleteDdiNames;
        m_obsoleteDdiPkids = other.m_obsoleteDdiPkids;
        m_obsoleteDdisInUse = other.m_obsoleteDdisInUse;
        m_newTags = other.m_newTags;
        m_newTagPkids = other.m_newTagPkids;
        m_newTagOperatorMax = other.m_newTagOperatorMax;
        m_newTagSuppress = other.m_newTagSuppress;
        m_newDdiPkids = other.m_newDdiPkids;
        m_newDdiNames = other.m_newDdiNames;
        m_newDdiDaIds = other.m_newDdiDaIds;
        m_newDdiClauses = other.m_newDdiClauses;
    }
    return *this;
}

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

void CZentraSetup::OpenLog()
{
    // A step ended by an exception leaves its stream open; it is not written again.
    if (m_log != nullptr)
        CloseLog();
    m_log = platform::OpenFile(m_logPath, "a");
}

void CZentraSetup::CloseLog()
{
    if (m_log != nullptr) {
        std::fclose(m_log);
        m_log = nullptr;
    }
}

void CZentraSetup::Log(const std::string& text)
{
    if (m_log != nullptr)
        std::fwrite(text.data(), 1, text.size(), m_log);
}

void CZentraSetup::LogFormat(const char* format, const std::string& value)
{
    if (m_log != nullptr)
        std::fprintf(m_log, format, value.c_str());
}

void CZentraSetup::LogFormat(const char* format, long value)
{
    // The formats of the log carry their number as %d.
    if (m_log != nullptr)
        std::fprintf(m_log, format, static_cast<int>(value));
}

odbc::Connection& CZentraSetup::Database()
{
    if (!m_connection)
        throw odbc::SQLException("The installer is not connected to the configuration database (DBConnection has not "
                                 "connected it)",
                                 "08003");
    return *m_connection;
}

odbc::ResultSet* CZentraSetup::RunQuery(const std::string& sql)
{
    odbc::Connection& connection = Database();
    ReleaseQuery();
    m_statement.reset(connection.createStatement());
    m_resultSet.reset(m_statement->executeQuery(sql));
    return m_resultSet.get();
}

void CZentraSetup::RunStatement(const std::string& sql)
{
    RunQuery(sql);
    ReleaseQuery();
}

int CZentraSetup::RunUpdate(const std::string& sql)
{
    odbc::Connection& connection = Database();
    ReleaseQuery();
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    return statement->executeUpdate(sql);
}

void CZentraSetup::RunChange(const std::string& sql, int rows)
{
    const int changed = RunUpdate(sql);
    if (changed != rows)
        throw odbc::SQLException("\"" + sql + "\" changed " + std::to_string(changed) + " rows where " +
                                     std::to_string(rows) +
                                     " must change: another session has changed the dial "
                                     "plan's rows meanwhile",
                                 "ZE001");
}

std::unique_ptr<odbc::ExclusiveTransaction> CZentraSetup::BeginRun()
{
    ReleaseQuery();
    return std::make_unique<odbc::ExclusiveTransaction>(Database(), quillet::ConfigurationDatabaseLock([this] {
                                                            const std::string notice = quillet::WaitingNotice();
                                                            // The step that waits has its log open, or none is open
                                                            // yet.
                                                            if (m_log != nullptr) {
                                                                Log(notice + "\n");
                                                                std::fflush(m_log);
                                                            }
                                                            std::fprintf(stderr, "%s\n", notice.c_str());
                                                        }));
}

void CZentraSetup::ReleaseQuery()
{
    m_resultSet.reset();
    m_statement.reset();
}

int fnZentraSetup() { return 42; }

int nZentraSetup = 0;
