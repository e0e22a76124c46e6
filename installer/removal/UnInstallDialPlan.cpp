#include "installer/CZentraSetup.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "installer/DialPlanName.h"
#include "installer/RunReport.h"
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

// The routes that the reference checks read: held still from the checks to the
// commit, so that no route can come to refer to what the removal deletes.
const std::vector<std::string> kRouteTables = {"NumPlan", "RouteList", "RouteFilter", "RouteFilterMember"};

}  // namespace

// Removes an installed dial plan's rows: its members, instructions, tags and
// the DialPlan row, unless patterns, route lists or route filters still refer
// to it or to its instructions and tags. 0 removed or not installed, 9
// patterns, 10 route lists, 11 route filters refer to it, 12 the name is not
// usable (nothing touched, no log). Everything from the lookup to the deletes
// runs in one transaction under the run lock; a database error reaches the
// caller with the dial plan whole.
int CZentraSetup::UnInstallDialPlan(std::string name) { return UnInstallDialPlanRun(name, nullptr); }

int CZentraSetup::UnInstallDialPlanRun(const std::string& name, RunReport* report)
{
    const auto decided = [report](int result) {
        if (report != nullptr)
            report->decidedBy = "UnInstallDialPlan";
        return result;
    };
    // The name becomes part of the log's path and of every statement: a name
    // that is no plain file name is refused before anything is touched.
    if (!CheckDialPlanName(name).empty())
        return decided(12);

    // Fits: the name check bounds the name so that the whole path with its
    // terminator takes at most 256 characters.
    const std::string logPath = std::string(kZentraFolder) + name + "\\" + name + "_uninstall.txt";
    std::fill(m_logPath, m_logPath + sizeof(m_logPath), '\0');
    logPath.copy(m_logPath, sizeof(m_logPath) - 1);
    if (report != nullptr)
        report->logPath = logPath;

    OpenLog();
    auto closeLog = [this] { CloseLog(); };
    LogCloser<decltype(closeLog)> logCloser(closeLog);

    Log("\n\n");
    Log("UnInstallDialPlan\n");

    // What the removal decides, it decides on what this transaction sees, and
    // no other run changes it meanwhile.
    std::unique_ptr<odbc::ExclusiveTransaction> run = BeginRun();
    struct Release {
        CZentraSetup& setup;
        ~Release() { setup.ReleaseQuery(); }
    } release{*this};

    const std::string quotedName = SqlQuote(name);

    // Runs a query after logging it; whether it yields a row.
    auto found = [this](const std::string& sql) {
        Log(sql);
        Log("\n\n");
        const bool any = RunQuery(sql)->next();
        ReleaseQuery();
        return any;
    };

    const std::string lookup = "select pkid from DialPlan where name='" + quotedName + "'";
    Log(lookup);
    Log("\n\n");
    odbc::ResultSet* rows = RunQuery(lookup);
    if (!rows->next()) {
        Log("The dial plan does not exist in the OV");
        return decided(0);
    }
    const std::string dialPlanPkid = rows->getString("pkid");
    ReleaseQuery();
    const std::string quotedPkid = SqlQuote(dialPlanPkid);
    run->lockRows("DialPlan", "pkid = '" + quotedPkid + "'");
    run->lockTablesAgainstWrites(kRouteTables);

    // The references that block a removal, in the order patterns, route lists,
    // route filters; the first one found decides. Besides the rows that name
    // the dial plan, patterns that use one of its instructions and route
    // filter members that use one of its tags block it too: they would be
    // left pointing at deleted rows.
    const struct {
        std::string sql;
        int result;
    } references[] = {
        {"select * from NumPlan where fkDialPlan='" + quotedPkid + "'", 9},
        {"select * from NumPlan where fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction "
         "where fkDialPlan = '" +
             quotedPkid + "')",
         9},
        {"Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= '" + quotedPkid +
             "' and T1.fkDigitDiscardInstruction = T2.pkid",
         10},
        {"select * from RouteFilter where fkDialPlan='" + quotedPkid + "'", 11},
        {"select * from RouteFilterMember where fkDialPlanTag in (select pkid from DialPlanTag "
         "where fkDialPlan = '" +
             quotedPkid + "')",
         11},
    };
    for (const auto& reference : references) {
        if (found(reference.sql)) {
            CloseLog();
            ListDialPlanUsers(dialPlanPkid, name, reference.result, report);
            return decided(reference.result);
        }
    }

    const std::string deleteMembers =
        std::string("delete from DigitDiscardInstructionMember") + " where (fkDigitDiscardInstruction" +
        " in (select pkid from DigitDiscardInstruction" + " where fkDialPlan = '" + quotedPkid + "'))";
    Log(deleteMembers);
    Log("\n\n");
    RunUpdate(deleteMembers);

    const std::string deleteInstructions = "delete from DigitDiscardInstruction where fkDialPlan='" + quotedPkid + "'";
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
    if (RunUpdate(deleteDialPlan) < 1)
        throw odbc::SQLException("\"" + deleteDialPlan +
                                     "\" deleted no row: another session has removed the dial "
                                     "plan meanwhile",
                                 "ZE001");

    ReleaseQuery();
    run->commit();
    return decided(0);
}
