#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "installer/ZentraExport.h"

namespace odbc {
class Connection;
class Statement;
class ResultSet;
}  // namespace odbc

namespace zentra_run {
class Session;
class Installation;
}  // namespace zentra_run

// The installer object: everything one installation, upgrade or removal of a
// dial plan needs. Every step is a method; steps share state only through the
// members. One object serves one run.
class ZENTRA_API CZentraSetup {
    // The run layer below the class (installer/run/): the steps reach the
    // object's connection and log through a Session, and the programs' runs
    // (previews, reports, the new installation in one transaction) go through
    // an Installation, which drives the steps.
    friend class zentra_run::Session;
    friend class zentra_run::Installation;
    // Unit tests reach the private steps one by one.
    friend class CZentraSetupTestProbe;

public:
    CZentraSetup();
    CZentraSetup(const CZentraSetup& other);
    CZentraSetup& operator=(const CZentraSetup& other);
    ~CZentraSetup();

    // A zentra::ConnectionResult (installer/Results.h).
    long DBConnection();
    // A zentra::MainResult.
    int DialPlanMain(std::string name);
    // Hands a dial-plan file to the CSV loader; false when the loader failed.
    bool ZentraInstallCSVFile(std::string path);
    // A zentra::RemovalResult.
    int UnInstallDialPlan(std::string name);

private:
    // Connection (registry data source, publisher check).
    std::string ExtractServerFromDSN(std::string& dataSource);
    // kConnected when this machine is the publisher, kNotPublisher when it is
    // not, kConnectionFailed when its host name is unknown.
    long CheckPublisher();

    // Install driver.
    bool CheckNewDialPlan(std::string name);
    int UpgradeDialPlan(std::string name);
    void ReplaceDAId(std::string name);
    void CopyDialPlanFile();

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
