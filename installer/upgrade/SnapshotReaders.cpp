// Reads the installed dial plan's tags and digit discard instructions.

#include "installer/CZentraSetup.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

void CZentraSetup::DBReadDialPlanTagTable()
{
    OpenLog();
    const std::string query = "select * from DialPlanTag where fkDialPlan='" + SqlQuote(m_dialPlanPkid) + "'";
    Log(query);
    odbc::ResultSet* rows = RunQuery(query);
    Log("\n\n");
    Log("The Dial Plan Tag table entries are \n");
    Log("pkid, tag \n");
    while (rows->next()) {
        const std::string pkid = rows->getString("pkid");
        m_dbTagPkids.push_back(pkid);
        Log(pkid);
        const std::string tag = rows->getString("tag");
        m_dbTags.push_back(tag);
        Log(tag);
        Log("\n");
    }
    Log("\n End of the loop for DBReadDialPlanTagTable\n");
    CloseLog();
}

void CZentraSetup::DBReadDigitDiscardInstructionTable()
{
    OpenLog();
    Log("\n\n");
    Log("\nStart of DBReadDigitDiscardInstructionTable\n");
    const std::string query = "select * from DigitDiscardInstruction where fkDialPlan='" + SqlQuote(m_dialPlanPkid) +
                              "' ORDER BY digitAnalysisID";
    Log(query);
    Log("\n\n");
    Log("The DigitDiscardInstruction table entries are");
    Log("\n\n");
    Log("pkid, name, digitAnalysisID \n");
    odbc::ResultSet* rows = RunQuery(query);
    while (rows->next()) {
        const std::string pkid = rows->getString("pkid");
        m_dbDdiPkids.push_back(pkid);
        Log(pkid);
        const std::string name = rows->getString("name");
        m_dbDdiNames.push_back(name);
        Log(name);
        Log("\n");
    }
    CloseLog();
}
