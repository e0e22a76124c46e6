// Digit discard instructions of the file that the installed dial plan lacks,
// and their insertion.

#include <string>
#include <unordered_set>

#include "installer/CZentraSetup.h"
#include "installer/Pkid.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"

void CZentraSetup::NewDigitDiscardInstructions()
{
    OpenLog();
    Log("Start - NewDigitDiscardInstructions\n");
    const std::unordered_set<std::string> installed = zentra_upgrade::PkidSet(m_dbDdiPkids);
    for (std::size_t i = 0; i < m_csvDdiPkids.size(); ++i) {
        const std::string& pkid = m_csvDdiPkids[i];
        const std::string& name = m_csvDdiNames.at(i);
        const std::string& analysisId = m_csvDdiDaIds.at(i);
        const std::string& clause = m_csvDdiClauses.at(i);
        LogFormat("NewDDIpkid = %s\n", pkid);
        LogFormat("NewDDI = %s\n", name);
        LogFormat("NewDDIDAId = %s\n", analysisId);
        LogFormat("NewDDIClause = %s\n", clause);
        const std::string bare = BarePkid(pkid);
        if (installed.count(bare) != 0)
            continue;
        m_newDdiPkids.push_back(bare);
        m_newDdiNames.push_back(name);
        m_newDdiDaIds.push_back(analysisId);
        m_newDdiClauses.push_back(clause);
    }
    Log("End - NewDigitDiscardInstructions\n");
    CloseLog();
}

void CZentraSetup::InsertNewDigitDiscardInstructions()
{
    OpenLog();
    Log("\n\n");
    Log("InsertNewDigitDiscardInstructions\n");
    for (std::size_t i = 0; i < m_newDdiPkids.size(); ++i) {
        const std::string insert =
            "Insert into DigitDiscardInstruction ( pkid, name, fkDialPlan, digitAnalysisID, clause) VALUES ('" +
            SqlQuote(m_newDdiPkids[i]) + "', '" + SqlQuote(m_newDdiNames.at(i)) + "', '" +
            SqlQuote(m_dialPlanPkid) + "', '" + SqlQuote(m_newDdiDaIds.at(i)) + "', '" +
            SqlQuote(m_newDdiClauses.at(i)) + "')";
        Log(insert);
        Log("\n");
        RunStatement(insert);
    }
    CloseLog();
}
