// Installed tags that the new file no longer holds: found, refused while a
// route filter uses them, and deleted with their members.

#include <string>
#include <unordered_set>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/MessageDeferral.h"
#include "installer/Pkid.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"
#include "odbc/odbc.h"

void CZentraSetup::ObsoleteDialPlanTag()
{
    OpenLog();
    Log("\n\n");
    Log("ObsoleteDialPlanTag\n");
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
    CloseLog();
}

void CZentraSetup::ObsoleteTagInUse()
{
    const std::vector<std::string> inUse =
        NamesInUse("ObsoleteTagInUse\n", "Select * from RouteFilterMember where fkDialPlanTag = '", m_obsoleteTagPkids,
                   m_obsoleteTags);
    m_obsoleteTagsInUse.insert(m_obsoleteTagsInUse.end(), inUse.begin(), inUse.end());
}

int CZentraSetup::CheckObsoleteTagInUse()
{
    OpenLog();
    Log("CheckObsoleteTagInUse\n");
    if (m_obsoleteTagsInUse.empty()) {
        CloseLog();
        return 3;
    }
    const std::string message = "The tags " + zentra_upgrade::JoinWithCommas(m_obsoleteTagsInUse) +
                                " have clause configured but are deleted in the new dial plan version";
    ShowInstallerMessage(message, "Installation Failed");
    CloseLog();
    return 2;
}

void CZentraSetup::DeleteObsoleteTags()
{
    OpenLog();
    Log("DeleteObsoleteTags\n");
    for (const std::string& pkid : m_obsoleteTagPkids) {
        const std::string members =
            "Delete from DigitDiscardInstructionMember where fkDialPlanTag = '" + SqlQuote(pkid) + "'";
        Log("\n\n");
        Log(members);
        RunStatement(members);
        const std::string tag = "Delete from DialPlanTag where pkid = '" + SqlQuote(pkid) + "'";
        Log("\n\n");
        Log(tag);
        RunChange(tag, 1);
    }
    CloseLog();
}
