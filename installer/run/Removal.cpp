#include "installer/run/Removal.h"

#include <optional>

#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/References.h"
#include "installer/run/RunScope.h"
#include "installer/run/Session.h"
#include "odbc/odbc.h"

namespace zentra_run {

namespace {

// Runs a query after logging it; whether it yields a row.
bool Found(Session& step, const std::string& sql)
{
    step.log(sql);
    step.log("\n\n");
    const bool any = step.query(sql)->next();
    step.release();
    return any;
}

// The pkid of the dial plan of this name, from the first row; nothing when no
// dial plan has it.
std::optional<std::string> LookUp(Session& step, const std::string& name)
{
    const std::string lookup = "select pkid from DialPlan where name='" + SqlQuote(name) + "'";
    step.log(lookup);
    step.log("\n\n");
    odbc::ResultSet* rows = step.query(lookup);
    if (!rows->next())
        return std::nullopt;
    const std::string pkid = rows->getString("pkid");
    step.release();
    return pkid;
}

// The result of the first reference check that finds a row, in the order
// patterns, route lists, route filters; the rows behind it are logged and
// reported. Nothing when nothing refers to the dial plan.
std::optional<int> BlockingReference(Session& step, const std::string& pkid, const std::string& name, RunReport* report)
{
    for (const RemovalCheck& check : RemovalChecks()) {
        if (!Found(step, check.query(pkid)))
            continue;
        for (const BlockingRow& row : UsersOfDialPlan(step, check.result, pkid, name)) {
            step.log(row.text() + "\n");
            if (report != nullptr)
                report->blocking.push_back(row);
        }
        return check.result;
    }
    return std::nullopt;
}

// The members, instructions, tags and every DialPlan row of the name, in that
// order.
void DeleteRows(Session& step, const std::string& pkid, const std::string& name)
{
    const std::string plan = SqlQuote(pkid);
    const std::string deleteMembers =
        std::string("delete from DigitDiscardInstructionMember") + " where (fkDigitDiscardInstruction" +
        " in (select pkid from DigitDiscardInstruction" + " where fkDialPlan = '" + plan + "'))";
    step.log(deleteMembers);
    step.log("\n\n");
    step.update(deleteMembers);

    const std::string deleteInstructions = "delete from DigitDiscardInstruction where fkDialPlan='" + plan + "'";
    step.log(deleteInstructions);
    step.log("\n\n");
    step.update(deleteInstructions);

    // The tags' delete is the one statement of the removal that is not logged.
    step.update("delete from DialPlanTag where fkDialPlan='" + plan + "'");

    // Every DialPlan row of the name goes, not only the one that gave the pkid.
    const std::string deleteDialPlan = "delete from DialPlan where Name='" + SqlQuote(name) + "'";
    step.log(deleteDialPlan);
    step.log("\n\n");
    step.closeLog();
    if (step.update(deleteDialPlan) < 1)
        throw odbc::SQLException(
            "\"" + deleteDialPlan + "\" deleted no row: another session has removed the dial plan meanwhile", "ZE001");
}

}  // namespace

int RemoveDialPlan(CZentraSetup& setup, const std::string& name, const RunOptions& options)
{
    // The name becomes part of the log's path and of every statement: a name
    // that is no plain file name is refused before anything is touched.
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name);
    if (!paths)
        return options.decided("UnInstallDialPlan", zentra::kNameRefused);
    Session step(setup, Session::Log::Closed);
    step.setLogPath(paths->uninstallLog());
    if (options.report != nullptr)
        options.report->logPath = paths->uninstallLog();
    step.openLog();
    step.log("\n\n");
    step.log("UnInstallDialPlan\n");

    // What the removal decides, it decides on what this transaction sees, and
    // no other run changes it meanwhile.
    RunScope run(step, options);
    const std::optional<std::string> pkid = LookUp(step, name);
    if (!pkid) {
        step.log("The dial plan does not exist in the OV");
        return run.decided("UnInstallDialPlan", zentra::kRemoved);
    }
    run.holdDialPlan(*pkid);
    run.holdRoutes();
    if (const std::optional<int> refused = BlockingReference(step, *pkid, name, options.report))
        return run.decided("UnInstallDialPlan", *refused);
    run.snapshot(*paths, "removal", *pkid);
    DeleteRows(step, *pkid, name);
    return run.finish("UnInstallDialPlan", zentra::kRemoved);
}

}  // namespace zentra_run
