// Installed tags that the new file no longer holds: found, refused while a
// route filter uses them, and deleted with their members.

#include <string>
#include <unordered_set>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/References.h"
#include "installer/Pkid.h"
#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"
#include "installer/upgrade/Refusals.h"
#include "odbc/odbc.h"

void CZentraSetup::ObsoleteDialPlanTag()
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("ObsoleteDialPlanTag\n");
    if (!m_dbTagPkids.empty()) {
        // Every file pkid is made bare once; one that cannot be fails the step
        // before anything is collected, as a walk over the whole list would.
        std::unordered_set<std::string> filePkids;
        filePkids.reserve(m_csvTagPkids.size());
        for (const std::string& pkid : m_csvTagPkids)
            filePkids.insert(zentra_upgrade::PkidKey(BarePkid(pkid)));
        for (std::size_t i = 0; i < m_dbTagPkids.size(); ++i) {
            if (filePkids.count(zentra_upgrade::PkidKey(m_dbTagPkids[i])) == 0) {
                m_obsoleteTags.push_back(m_dbTags.at(i));
                m_obsoleteTagPkids.push_back(m_dbTagPkids[i]);
            }
        }
    }
}

void CZentraSetup::ObsoleteTagInUse()
{
    zentra_run::Session step(*this);
    const std::vector<std::string> inUse = zentra_run::NamesInUse(
        step, "ObsoleteTagInUse\n", zentra_run::kTagInRouteFilter, m_obsoleteTagPkids, m_obsoleteTags);
    m_obsoleteTagsInUse.insert(m_obsoleteTagsInUse.end(), inUse.begin(), inUse.end());
}

int CZentraSetup::CheckObsoleteTagInUse()
{
    zentra_run::Session step(*this);
    step.log("CheckObsoleteTagInUse\n");
    if (m_obsoleteTagsInUse.empty())
        return zentra::kNoTagInUse;
    zentra_run::ShowInstallerMessage(zentra_upgrade::TagsInUseMessage(m_obsoleteTagsInUse), "Installation Failed");
    return zentra::kTagInUse;
}

void CZentraSetup::DeleteObsoleteTags()
{
    zentra_run::Session step(*this);
    step.log("DeleteObsoleteTags\n");
    for (const std::string& pkid : m_obsoleteTagPkids) {
        const std::string members =
            "Delete from DigitDiscardInstructionMember where fkDialPlanTag = '" + SqlQuote(pkid) + "'";
        step.log("\n\n");
        step.log(members);
        step.execute(members);
        const std::string tag = "Delete from DialPlanTag where pkid = '" + SqlQuote(pkid) + "'";
        step.log("\n\n");
        step.log(tag);
        step.change(tag, 1);
    }
}
