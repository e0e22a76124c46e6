#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "installer/ZentraExport.h"

namespace zentra_csv {
struct RewrittenFile;
}  // namespace zentra_csv

struct BlockingRow;
struct PlanRows;
struct RunOptions;
struct RunReport;

namespace odbc {
class Connection;
class Statement;
class ResultSet;
class ExclusiveTransaction;
}  // namespace odbc

// The installer object: everything one installation, upgrade or removal of a
// dial plan needs. Every step is a method; steps share state only through the
// members. One object serves one run.
class ZENTRA_API CZentraSetup {
    // The setup program drives an installation through the private steps
    // ReplaceDAId and CopyDialPlanFile.
    friend class CZentraSetupSteps;
    // Unit tests reach the private steps one by one.
    friend class CZentraSetupTestProbe;

public:
    CZentraSetup();
    CZentraSetup(const CZentraSetup& other);
    CZentraSetup& operator=(const CZentraSetup& other);
    ~CZentraSetup();

    // 0 connected, 1 connection failed (also: no data source naming a server
    // in the registry, or no host name to compare it with), 8 this machine is
    // not the publisher.
    long DBConnection();
    // 6 new installation, 7 upgraded, 2 or 5 upgrade refused, 12 refused before
    // anything was touched (bad name, no log, damaged file), 13 the dial plan
    // was removed by another run before the upgrade could begin (nothing
    // changed; it is to be installed anew).
    int DialPlanMain(std::string name);
    // Hands a dial-plan file to the CSV loader; false when the loader failed.
    bool ZentraInstallCSVFile(std::string path);
    // 0 removed (or not installed), 9 patterns, 10 route lists, 11 route filters
    // refer to the dial plan, 12 the name was refused.
    int UnInstallDialPlan(std::string name);

private:
    // DialPlanMain, made as options say: a preview with its own log, a report.
    int DialPlanMainRun(const std::string& name, const RunOptions& options);
    // The new installation's database work under the run lock, in one
    // transaction: the choice of free digit-analysis IDs, the rewrite of the
    // file in memory, the load. Only after the commit is the rewritten file
    // written as NAME.csv (the delivered one kept as NAME_new.csv) and copied
    // into the dial plan's folder. 0 installed (or, in a preview, rolled back),
    // 3 the delivered file cannot be read, 14 another run installed the dial
    // plan meanwhile (nothing changed). A failed load throws
    // quillet::DatabaseError, with everything rolled back.
    int InstallNewDialPlan(std::string name, const RunOptions& options);
    // The upgrade of UpgradeDialPlan, made as options say.
    int UpgradeInTransaction(const std::string& name, const RunOptions& options);
    // UnInstallDialPlan, telling the rows that block it in report (when not null).
    int UnInstallDialPlanRun(const std::string& name, RunReport* report);

    // The rows of the dial plan with this pkid, for a report.
    PlanRows ReadPlanRows(const std::string& dialPlanPkid);
    // The rows that keep the upgrade from dropping the obsolete tags, or
    // instructions (patterns or route lists): logged and added to report.
    void ListTagUsers(RunReport* report);
    void ListInstructionUsers(bool patterns, RunReport* report);
    // The rows that keep the removal of the dial plan pkid from going ahead,
    // for its result 9, 10 or 11: logged and added to report.
    void ListDialPlanUsers(const std::string& dialPlanPkid, const std::string& name, int result, RunReport* report);
    // Runs a query whose rows are blocking rows: each row's first two columns
    // are the user's pkid and name, the next two (when given) the used row's.
    void ListUsers(const std::string& sql, const BlockingRow& pattern, RunReport* report);

    // Opens the run's transaction under the configuration database's lock; a
    // wait for it is told in the log and on standard error.
    std::unique_ptr<odbc::ExclusiveTransaction> BeginRun();

    // Connection (registry data source, publisher check).
    std::string ExtractServerFromDSN(std::string& dataSource);
    // 0 this machine is the publisher, 8 it is not, 1 its host name is unknown.
    long CheckPublisher();

    // Install driver.
    bool CheckNewDialPlan(std::string name);
    int UpgradeDialPlan(std::string name);
    void ReplaceDAId(std::string name);
    void CopyDialPlanFile();

    // The pieces of the digit-analysis ID rewrite. The delivered NAME.csv,
    // whole (false, told, when it cannot be read); the IDs that instructions of
    // the database hold; the log of the rewritten lines; and the files: the
    // delivered one kept as NAME_new.csv, the rewritten one written as
    // NAME.csv and copied into the dial plan's folder.
    bool ReadDeliveredFile(const std::string& name, std::string& text);
    std::vector<long long> UsedDigitAnalysisIds();
    void LogRewrite(const zentra_csv::RewrittenFile& rewrite);
    bool KeepDeliveredFile(const std::string& name);
    bool WriteRewrittenFile(const zentra_csv::RewrittenFile& rewrite, bool logLines);
    void CopyRewrittenFile(const std::string& name);

    // Dial-plan file readers.
    void CSVReadDialPlanDescription();
    void CSVReadDialPlanTagTable();
    void CSVReadDigitDiscardInstructionTable();
    void CSVReadDigitDiscardInstructionMemberTable();

    // Installed dial plan readers.
    void DBReadDialPlanTagTable();
    void DBReadDigitDiscardInstructionTable();

    // Upgrade reconciliation.
    void ObsoleteDialPlanTag();
    void ObsoleteTagInUse();
    int CheckObsoleteTagInUse();
    void DeleteObsoleteTags();
    void ObsoleteDigitDiscardInstruction();
    void ObsoleteDDIInUse_RP_TP();
    void ObsoleteDDIInUse_RL();
    int CheckObsoleteDDIInUse();
    void DeleteObsoleteDDI_NOT_IN_USE();
    void NewDialPlanTag();
    void UpdateDialPlanDescription();
    void InsertNewTags();
    void UpdatePredefinedDDI();
    void NewDigitDiscardInstructions();
    void InsertNewDigitDiscardInstructions();
    void InsertDDIMPredefinedDDI();
    void InsertDDIMNewDDI();
    // Logs heading, then for each pkid logs and runs queryStart + pkid + "'";
    // the names of the pkids whose query yields a row, in order.
    std::vector<std::string> NamesInUse(const char* heading, const std::string& queryStart,
                                        const std::vector<std::string>& pkids, const std::vector<std::string>& names);

    // The log: each step opens it for appending at its start and closes it at
    // its end. A log that cannot be opened is skipped, never fatal.
    void OpenLog();
    void CloseLog();
    // Writes text verbatim (never as a format).
    void Log(const std::string& text);
    // Writes a fixed format with one value in place of its %s or %d.
    void LogFormat(const char* format, const std::string& value);
    void LogFormat(const char* format, long value);

    // Database access. Each query runs on a new statement held in m_statement,
    // its rows in m_resultSet; the previous pair is released first.
    // Throws odbc::SQLException when the object holds no connection.
    odbc::Connection& Database();
    odbc::ResultSet* RunQuery(const std::string& sql);
    // Runs a statement through executeQuery and releases what it returned.
    void RunStatement(const std::string& sql);
    // Runs a statement through executeUpdate on a new statement; the row count.
    int RunUpdate(const std::string& sql);
    // Runs a change that must touch exactly `rows` rows; throws
    // odbc::SQLException when it does not (another session changed the rows).
    void RunChange(const std::string& sql, int rows);
    void ReleaseQuery();

    std::string m_database;
    std::string m_connectString;
    std::string m_server;
    std::string m_dbUser;
    std::string m_dbPassword;
    char m_logPath[256];
    FILE* m_log;
    // Copies of an object share the connection; it is closed when the last
    // holder lets go.
    std::shared_ptr<odbc::Connection> m_connection;
    std::shared_ptr<odbc::Statement> m_statement;
    std::shared_ptr<odbc::ResultSet> m_resultSet;
    std::string m_dialPlanPkid;
    std::string m_csvDescription;
    std::string m_csvPath;
    std::string m_newCsvPath;
    bool m_ddiInUse;

    std::vector<std::string> m_csvTags;
    std::vector<std::string> m_csvTagPkids;
    std::vector<std::string> m_csvTagOperatorMax;
    std::vector<std::string> m_csvTagSuppress;
    std::vector<std::string> m_csvDdiPkids;
    std::vector<std::string> m_csvDdiNames;
    std::vector<std::string> m_csvDdiDaIds;
    std::vector<std::string> m_csvDdiClauses;
    std::vector<std::string> m_csvDdiMemberPkids;
    std::vector<std::string> m_csvDdiMemberDdis;
    std::vector<std::string> m_csvDdiMemberTags;
    std::vector<std::string> m_dbTags;
    std::vector<std::string> m_dbTagPkids;
    std::vector<std::string> m_dbDdiNames;
    std::vector<std::string> m_dbDdiPkids;
    std::vector<std::string> m_obsoleteTags;
    std::vector<std::string> m_obsoleteTagPkids;
    std::vector<std::string> m_obsoleteTagsInUse;
    std::vector<std::string> m_obsoleteDdiNames;
    std::vector<std::string> m_obsoleteDdiPkids;
    std::vector<std::string> m_obsoleteDdisInUse;
    std::vector<std::string> m_newTags;
    std::vector<std::string> m_newTagPkids;
    std::vector<std::string> m_newTagOperatorMax;
    std::vector<std::string> m_newTagSuppress;
    std::vector<std::string> m_newDdiPkids;
    std::vector<std::string> m_newDdiNames;
    std::vector<std::string> m_newDdiDaIds;
    std::vector<std::string> m_newDdiClauses;
};

// Exports of the library besides the class.
extern "C++" ZENTRA_API int fnZentraSetup();
extern ZENTRA_API int nZentraSetup;
