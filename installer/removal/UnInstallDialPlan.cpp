#include "installer/CZentraSetup.h"

#include <algorithm>
#include <string>

#include "installer/DialPlanName.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

namespace {

// Closes the removal's log however the step is left, so that what was written
// before a database error reaches the file ahead of the caller's own lines.
template <typename Close>
class LogCloser {
public:
    explicit LogCloser(Close close) : close_(close) {}
    ~LogCloser() { close_(); }
    LogCloser(const LogCloser&) = delete;
    LogCloser& operator=(const LogCloser&) = delete;

private:
    Close close_;
};

}  // namespace

// Removes an installed dial plan's rows: its members, instructions, tags and
// the DialPlan row, unless patterns, route lists or route filters still refer
// to it. 0 removed or not installed, 9 patterns, 10 route lists, 11 route
// filters refer to it, 12 the name is not usable (nothing touched, no log).
// A database error reaches the caller; the deletes run in one transaction, so
// it leaves the dial plan whole.
int CZentraSetup::UnInstallDialPlan(std::string name)
{
    // The name becomes part of the log's path and of every statement: a name
    // that is no plain file name is refused before anything is touched.
    if (!CheckDialPlanName(name).empty())
        return 12;

    // Fits: the name check bounds the name so that the whole path with its
    // terminator takes at most 256 characters.
    const std::string logPath =
        std::string(kZentraFolder) + name + "\\" + name + "_uninstall.txt";
    std::fill(m_logPath, m_logPath + sizeof(m_logPath), '\0');
    logPath.copy(m_logPath, sizeof(m_logPath) - 1);

    OpenLog();
    auto closeLog = [this] { CloseLog(); };
    LogCloser<decltype(closeLog)> logCloser(closeLog);

    Log("\n\n");
    Log("UnInstallDialPlan\n");

    const std::string quotedName = SqlQuote(name);

    // Runs a query after logging it; the caller looks at the first row and
    // releases it.
    auto query = [this](const std::string& sql) {
        Log(sql);
        Log("\n\n");
        return RunQuery(sql);
    };

    odbc::ResultSet* rows = query("select pkid from DialPlan where name='" + quotedName + "'");
    if (!rows->next()) {
        Log("The dial plan does not exist in the OV");
        CloseLog();
        ReleaseQuery();
        return 0;
    }
    const std::string dialPlanPkid = rows->getString("pkid");
    ReleaseQuery();
    const std::string quotedPkid = SqlQuote(dialPlanPkid);

    // The references that block a removal, in the order patterns, route lists,
    // route filters; the first one found decides.
    const struct {
        std::string sql;
        int result;
    } references[] = {
        {"select * from NumPlan where fkDialPlan='" + quotedPkid + "'", 9},
        {"Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= '" +
             quotedPkid + "' and T1.fkDigitDiscardInstruction = T2.pkid",
         10},
        {"select * from RouteFilter where fkDialPlan='" + quotedPkid + "'", 11},
    };
    for (const auto& reference : references) {
        const bool found = query(reference.sql)->next();
        ReleaseQuery();
        if (found) {
            CloseLog();
            return reference.result;
        }
    }

    // The deletes go together or not at all.
    odbc::Transaction transaction(Database());

    const std::string deleteMembers = std::string("delete from DigitDiscardInstructionMember") +
                                      " where (fkDigitDiscardInstruction" +
                                      " in (select pkid from DigitDiscardInstruction" +
                                      " where fkDialPlan = '" + quotedPkid + "'))";
    Log(deleteMembers);
    Log("\n\n");
    RunUpdate(deleteMembers);

    const std::string deleteInstructions =
        "delete from DigitDiscardInstruction where fkDialPlan='" + quotedPkid + "'";
    Log(deleteInstructions);
    Log("\n\n");
    RunUpdate(deleteInstructions);

    // The tags' delete is the one statement of the removal that is not logged.
    RunUpdate("delete from DialPlanTag where fkDialPlan='" + quotedPkid + "'");

    // Every DialPlan row of the name goes, not only the one that gave the pkid.
    const std::string deleteDialPlan = "delete from DialPlan where Name='" + quotedName + "'";
    Log(deleteDialPlan);
    Log("\n\n");
    CloseLog();
    RunUpdate(deleteDialPlan);

    ReleaseQuery();
    transaction.commit();
    return 0;
}
