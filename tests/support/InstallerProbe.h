#pragma once

// Reaches the private steps and members of the installer object for unit tests.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"

class CZentraSetupTestProbe {
public:
    explicit CZentraSetupTestProbe(CZentraSetup& setup) : s(setup) {}

    // Members.
    std::string& database() { return s.m_database; }
    std::string& connectString() { return s.m_connectString; }
    std::string& server() { return s.m_server; }
    std::string& dbUser() { return s.m_dbUser; }
    std::string& dbPassword() { return s.m_dbPassword; }
    char* logPath() { return s.m_logPath; }
    FILE*& log() { return s.m_log; }
    std::shared_ptr<odbc::Connection>& connection() { return s.m_connection; }
    std::shared_ptr<odbc::Statement>& statement() { return s.m_statement; }
    std::shared_ptr<odbc::ResultSet>& resultSet() { return s.m_resultSet; }
    std::string& dialPlanPkid() { return s.m_dialPlanPkid; }
    std::string& csvDescription() { return s.m_csvDescription; }
    std::string& csvPath() { return s.m_csvPath; }
    std::string& newCsvPath() { return s.m_newCsvPath; }
    bool& ddiInUse() { return s.m_ddiInUse; }

    using List = std::vector<std::string>;
    List& csvTags() { return s.m_csvTags; }
    List& csvTagPkids() { return s.m_csvTagPkids; }
    List& csvTagOperatorMax() { return s.m_csvTagOperatorMax; }
    List& csvTagSuppress() { return s.m_csvTagSuppress; }
    List& csvDdiPkids() { return s.m_csvDdiPkids; }
    List& csvDdiNames() { return s.m_csvDdiNames; }
    List& csvDdiDaIds() { return s.m_csvDdiDaIds; }
    List& csvDdiClauses() { return s.m_csvDdiClauses; }
    List& csvDdiMemberPkids() { return s.m_csvDdiMemberPkids; }
    List& csvDdiMemberDdis() { return s.m_csvDdiMemberDdis; }
    List& csvDdiMemberTags() { return s.m_csvDdiMemberTags; }
    List& dbTags() { return s.m_dbTags; }
    List& dbTagPkids() { return s.m_dbTagPkids; }
    List& dbDdiNames() { return s.m_dbDdiNames; }
    List& dbDdiPkids() { return s.m_dbDdiPkids; }
    List& obsoleteTags() { return s.m_obsoleteTags; }
    List& obsoleteTagPkids() { return s.m_obsoleteTagPkids; }
    List& obsoleteTagsInUse() { return s.m_obsoleteTagsInUse; }
    List& obsoleteDdiNames() { return s.m_obsoleteDdiNames; }
    List& obsoleteDdiPkids() { return s.m_obsoleteDdiPkids; }
    List& obsoleteDdisInUse() { return s.m_obsoleteDdisInUse; }
    List& newTags() { return s.m_newTags; }
    List& newTagPkids() { return s.m_newTagPkids; }
    List& newTagOperatorMax() { return s.m_newTagOperatorMax; }
    List& newTagSuppress() { return s.m_newTagSuppress; }
    List& newDdiPkids() { return s.m_newDdiPkids; }
    List& newDdiNames() { return s.m_newDdiNames; }
    List& newDdiDaIds() { return s.m_newDdiDaIds; }
    List& newDdiClauses() { return s.m_newDdiClauses; }

    // Private steps.
    std::string ExtractServerFromDSN(std::string& dataSource) { return s.ExtractServerFromDSN(dataSource); }
    long CheckPublisher() { return s.CheckPublisher(); }
    bool CheckNewDialPlan(const std::string& name) { return s.CheckNewDialPlan(name); }
    int UpgradeDialPlan(const std::string& name) { return s.UpgradeDialPlan(name); }
    void ReplaceDAId(const std::string& name) { s.ReplaceDAId(name); }
    void CopyDialPlanFile() { s.CopyDialPlanFile(); }
    void CSVReadDialPlanDescription() { s.CSVReadDialPlanDescription(); }
    void CSVReadDialPlanTagTable() { s.CSVReadDialPlanTagTable(); }
    void CSVReadDigitDiscardInstructionTable() { s.CSVReadDigitDiscardInstructionTable(); }
    void CSVReadDigitDiscardInstructionMemberTable() { s.CSVReadDigitDiscardInstructionMemberTable(); }
    void DBReadDialPlanTagTable() { s.DBReadDialPlanTagTable(); }
    void DBReadDigitDiscardInstructionTable() { s.DBReadDigitDiscardInstructionTable(); }
    void ObsoleteDialPlanTag() { s.ObsoleteDialPlanTag(); }
    void ObsoleteTagInUse() { s.ObsoleteTagInUse(); }
    int CheckObsoleteTagInUse() { return s.CheckObsoleteTagInUse(); }
    void DeleteObsoleteTags() { s.DeleteObsoleteTags(); }
    void ObsoleteDigitDiscardInstruction() { s.ObsoleteDigitDiscardInstruction(); }
    void ObsoleteDDIInUse_RP_TP() { s.ObsoleteDDIInUse_RP_TP(); }
    void ObsoleteDDIInUse_RL() { s.ObsoleteDDIInUse_RL(); }
    int CheckObsoleteDDIInUse() { return s.CheckObsoleteDDIInUse(); }
    void DeleteObsoleteDDI_NOT_IN_USE() { s.DeleteObsoleteDDI_NOT_IN_USE(); }
    void NewDialPlanTag() { s.NewDialPlanTag(); }
    void UpdateDialPlanDescription() { s.UpdateDialPlanDescription(); }
    void InsertNewTags() { s.InsertNewTags(); }
    void UpdatePredefinedDDI() { s.UpdatePredefinedDDI(); }
    void NewDigitDiscardInstructions() { s.NewDigitDiscardInstructions(); }
    void InsertNewDigitDiscardInstructions() { s.InsertNewDigitDiscardInstructions(); }
    void InsertDDIMPredefinedDDI() { s.InsertDDIMPredefinedDDI(); }
    void InsertDDIMNewDDI() { s.InsertDDIMNewDDI(); }

    // Sets the log path as the entry methods do.
    void setLogPath(const std::string& windowsPath);

private:
    CZentraSetup& s;
};

inline void CZentraSetupTestProbe::setLogPath(const std::string& windowsPath)
{
    std::string path = windowsPath.substr(0, sizeof(s.m_logPath) - 1);
    std::fill(s.m_logPath, s.m_logPath + sizeof(s.m_logPath), '\0');
    std::copy(path.begin(), path.end(), s.m_logPath);
}
