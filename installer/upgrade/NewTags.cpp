// Tags of the file that the installed dial plan lacks, their insertion, and
// the dial plan's description.

#include <string>
#include <unordered_set>

#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/Pkid.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"

void CZentraSetup::NewDialPlanTag()
{
    zentra_run::Session step(*this);
    step.log("NewDialPlanTag\n");
    const std::unordered_set<std::string> installed = zentra_upgrade::PkidSet(m_dbTagPkids);
    for (std::size_t i = 0; i < m_csvTagPkids.size(); ++i) {
        const std::string bare = BarePkid(m_csvTagPkids[i]);
        if (installed.count(zentra_upgrade::PkidKey(bare)) != 0)
            continue;
        m_newTags.push_back(m_csvTags.at(i));
        m_newTagPkids.push_back(bare);
        m_newTagOperatorMax.push_back(m_csvTagOperatorMax.at(i));
        m_newTagSuppress.push_back(m_csvTagSuppress.at(i));
    }
}

void CZentraSetup::UpdateDialPlanDescription()
{
    zentra_run::Session step(*this);
    step.log("UpdateDialPlanDescription\n");
    const std::string update = "update DialPlan set description = '" + SqlQuote(m_csvDescription) + "' where pkid='" +
                               SqlQuote(m_dialPlanPkid) + "'";
    step.log("\n");
    step.log(update);
    step.closeLog();
    step.change(update, 1);
}

void CZentraSetup::InsertNewTags()
{
    zentra_run::Session step(*this);
    step.log("InsertNewTags\n");
    step.log("\n\n");
    for (std::size_t i = 0; i < m_newTagPkids.size(); ++i) {
        const std::string insert =
            "insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter) VALUES ( '" +
            SqlQuote(m_newTagPkids[i]) + "', '" + SqlQuote(m_newTags.at(i)) + "', '" + SqlQuote(m_dialPlanPkid) +
            "', '" + SqlQuote(m_newTagOperatorMax.at(i)) + "', '" + SqlQuote(m_newTagSuppress.at(i)) + "')";
        step.log(insert);
        step.log("\n");
        step.change(insert, 1);
    }
}
