#include "setup/Restore.h"

#include <cstdio>
#include <iostream>
#include <optional>

#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Restore.h"
#include "installer/run/RunReport.h"
#include "platform/Platform.h"
#include "setup/MachineRun.h"

namespace setup {

namespace {

using zentra_run::DialPlanPaths;

// A machine that is not the publisher has no snapshots of the database: they
// are taken where the database is changed.
bool ConnectToPublisher(CZentraSetup& setup, const char* what, Outcome& outcome)
{
    const long connection = Connect(setup, outcome);
    if (connection == zentra::kNotPublisher)
        Decide(outcome, zentra::kExitRefused, "DBConnection", "not the publisher",
               std::string("This machine is not the database publisher: ") + what + " is made there.");
    return connection == zentra::kConnected;
}

// How the restore ended, for a person and in the outcome.
void Ended(int result, const std::string& name, bool preview, Outcome& outcome)
{
    const std::string from = outcome.run.restoredFrom;
    const std::string last = outcome.run.messages.empty() ? "" : outcome.run.messages.back().second;
    if (preview)
        for (const auto& [caption, text] : outcome.run.messages)
            Say() << "  " << caption << ": " << text << "\n";
    switch (result) {
    case zentra::kRestored:
        Done(preview ? "done, and rolled back" : "done");
        return Decide(outcome, zentra::kExitDone, "", preview ? "would restore" : "restored",
                      preview ? "A restore from the snapshot " + from + " would be made."
                              : "The dial plan " + name + " is restored from the snapshot " + from + ".");
    case zentra::kRestoreRefusedInUse:
        Done("refused: something that the restore drops is in use (5)");
        for (const zentra_run::BlockingRow& row : outcome.run.blocking)
            Say() << "  " << row.text() << "\n";
        return Decide(outcome, zentra::kExitUpgradeRefused, "", preview ? "would be refused" : "refused", last);
    case zentra::kRestoreRefusedByOtherPlan:
        Done("refused: rows of other dial plans hold what the snapshot needs (8)");
        for (const std::string& conflict : outcome.run.conflicts)
            Say() << "  " << conflict << "\n";
        return Decide(outcome, zentra::kExitRefused, "", preview ? "would be refused" : "refused", last);
    case zentra::kRestoreFilesNotPut:
        Done("the rows are restored, but not every deployed file was put back");
        return Decide(outcome, zentra::kExitNotDeployed, "", "failed", last);
    default:
        Done("unexpected result (" + std::to_string(result) + ")");
        return Decide(outcome, zentra::kExitError, "RestoreDialPlan", "failed",
                      "The restore gave the unexpected result " + std::to_string(result) + ".");
    }
}

}  // namespace

void Restore(const std::string& name, const std::string& snapshot, bool preview, bool /*json*/, Outcome& outcome)
{
    if (preview)
        Say() << "Preview of the restore of " << name << ": every change is rolled back, nothing is kept.\n";
    const std::optional<DialPlanPaths> paths = CheckName(name, outcome);
    zentra_lock::MachineLock machine;
    if (!paths || !HoldMachine(machine, *paths, preview, outcome))
        return;
    CZentraSetup setup;
    if (!ConnectToPublisher(setup, "a restore", outcome))
        return;
    outcome.road = "restore";
    const zentra_run::RunOptions options = StepOptions(*paths, preview, true, outcome);
    Step("Restoring " + name + " from " + (snapshot.empty() ? "its latest snapshot" : "the snapshot " + snapshot));
    const int result = zentra_run::RestoreDialPlan(setup, name, snapshot, options);
    Ended(result, name, preview, outcome);
}

}  // namespace setup
