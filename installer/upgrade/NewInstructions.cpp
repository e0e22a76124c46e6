// Digit discard instructions of the file that the installed dial plan lacks,
// and their insertion.

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/Pkid.h"
#include "installer/SqlText.h"
#include "installer/upgrade/NewInstructionIds.h"
#include "installer/upgrade/PkidLookup.h"
#include "odbc/odbc.h"

void CZentraSetup::NewDigitDiscardInstructions()
{
    zentra_run::Session step(*this);
    step.log("Start - NewDigitDiscardInstructions\n");
    const std::unordered_set<std::string> installed = zentra_upgrade::PkidSet(m_dbDdiPkids);
    for (std::size_t i = 0; i < m_csvDdiPkids.size(); ++i) {
        const std::string& pkid = m_csvDdiPkids[i];
        const std::string& name = m_csvDdiNames.at(i);
        const std::string& analysisId = m_csvDdiDaIds.at(i);
        const std::string& clause = m_csvDdiClauses.at(i);
        step.logFormat("NewDDIpkid = %s\n", pkid);
        step.logFormat("NewDDI = %s\n", name);
        step.logFormat("NewDDIDAId = %s\n", analysisId);
        step.logFormat("NewDDIClause = %s\n", clause);
        const std::string bare = BarePkid(pkid);
        if (installed.count(zentra_upgrade::PkidKey(bare)) != 0)
            continue;
        m_newDdiPkids.push_back(bare);
        m_newDdiNames.push_back(name);
        m_newDdiDaIds.push_back(analysisId);
        m_newDdiClauses.push_back(clause);
    }
    step.log("End - NewDigitDiscardInstructions\n");
}

void CZentraSetup::InsertNewDigitDiscardInstructions()
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("InsertNewDigitDiscardInstructions\n");
    if (!m_newDdiPkids.empty()) {
        // The predefined instructions are the file's first six rows.
        std::unordered_set<std::string> predefined;
        for (std::size_t k = 0; k < m_csvDdiPkids.size() && k < dialplan::kPredefinedCount; ++k)
            predefined.insert(zentra_upgrade::PkidKey(BarePkid(m_csvDdiPkids[k])));

        // The IDs in use, read after the obsolete instructions have gone, in
        // the upgrade's transaction; the highest of the plan's predefined ones.
        const std::string query = "select pkid, fkDialPlan, digitAnalysisID from DigitDiscardInstruction";
        step.log(query);
        step.log("\n");
        std::vector<long long> used;
        long long floor = 0;
        const std::string owner = zentra_upgrade::PkidKey(m_dialPlanPkid);
        odbc::ResultSet* rows = step.query(query);
        while (rows->next()) {
            const std::string pkid = zentra_upgrade::PkidKey(rows->getString("pkid"));
            const bool own = zentra_upgrade::PkidKey(rows->getString("fkDialPlan")) == owner;
            const long long id = rows->getInt("digitAnalysisID");
            used.push_back(id);
            if (own && predefined.count(pkid) != 0)
                floor = std::max(floor, id);
        }
        step.release();

        zentra_upgrade::NewInstructionIds ids(used, floor);
        for (std::size_t i = 0; i < m_newDdiPkids.size(); ++i) {
            const bool isPredefined = predefined.count(zentra_upgrade::PkidKey(m_newDdiPkids[i])) != 0;
            const zentra_upgrade::NewInstructionIds::Given given = ids.give(m_newDdiDaIds.at(i), isPredefined);
            const std::string id = std::to_string(given.id);
            if (given.why != nullptr)
                step.log("NewDDI " + m_newDdiNames.at(i) + ": the file's digitAnalysisID " + m_newDdiDaIds.at(i) + " " +
                         given.why + "; it gets " + id + "\n");
            const std::string insert =
                "Insert into DigitDiscardInstruction ( pkid, name, fkDialPlan, digitAnalysisID, clause) VALUES ('" +
                SqlQuote(m_newDdiPkids[i]) + "', '" + SqlQuote(m_newDdiNames.at(i)) + "', '" +
                SqlQuote(m_dialPlanPkid) + "', '" + SqlQuote(id) + "', '" + SqlQuote(m_newDdiClauses.at(i)) + "')";
            step.log(insert);
            step.log("\n");
            step.change(insert, 1);
        }
    }
}
