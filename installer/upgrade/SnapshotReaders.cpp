// Reads the installed dial plan's tags and digit discard instructions.

#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

void CZentraSetup::DBReadDialPlanTagTable()
{
    zentra_run::Session step(*this);
    const std::string query = "select * from DialPlanTag where fkDialPlan='" + SqlQuote(m_dialPlanPkid) + "'";
    step.log(query);
    odbc::ResultSet* rows = step.query(query);
    step.log("\n\n");
    step.log("The Dial Plan Tag table entries are \n");
    step.log("pkid, tag \n");
    while (rows->next()) {
        const std::string pkid = rows->getString("pkid");
        m_dbTagPkids.push_back(pkid);
        step.log(pkid);
        const std::string tag = rows->getString("tag");
        m_dbTags.push_back(tag);
        step.log(tag);
        step.log("\n");
    }
    step.log("\n End of the loop for DBReadDialPlanTagTable\n");
}

void CZentraSetup::DBReadDigitDiscardInstructionTable()
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("\nStart of DBReadDigitDiscardInstructionTable\n");
    const std::string query = "select * from DigitDiscardInstruction where fkDialPlan='" + SqlQuote(m_dialPlanPkid) +
                              "' ORDER BY digitAnalysisID";
    step.log(query);
    step.log("\n\n");
    step.log("The DigitDiscardInstruction table entries are");
    step.log("\n\n");
    step.log("pkid, name, digitAnalysisID \n");
    odbc::ResultSet* rows = step.query(query);
    while (rows->next()) {
        const std::string pkid = rows->getString("pkid");
        m_dbDdiPkids.push_back(pkid);
        step.log(pkid);
        const std::string name = rows->getString("name");
        m_dbDdiNames.push_back(name);
        step.log(name);
        step.log("\n");
    }
}
