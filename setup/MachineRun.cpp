#include "setup/MachineRun.h"

#include <iostream>

#include "installer/Results.h"
#include "installer/run/Leftovers.h"
#include "platform/Platform.h"
#include "setup/ConnectionHint.h"

namespace setup {

std::optional<zentra_run::DialPlanPaths> CheckName(const std::string& name, Outcome& outcome)
{
    Step("Checking the dial plan name " + name);
    std::string problem;
    std::optional<zentra_run::DialPlanPaths> paths = zentra_run::DialPlanPaths::Of(name, &problem);
    if (!paths) {
        Done("refused: " + problem);
        Decide(outcome, zentra::kExitUsage, "CheckDialPlanName", "refused", problem);
        return std::nullopt;
    }
    Done("ok");
    return paths;
}

bool HoldMachine(zentra_lock::MachineLock& lock, const zentra_run::DialPlanPaths& paths, bool preview, Outcome& outcome)
{
    if (preview)
        return true;
    const zentra_lock::MachineLock::Result held = lock.acquire();
    if (held == zentra_lock::MachineLock::Result::Busy) {
        Decide(outcome, zentra::kExitBusy, "RunLock", "busy",
               std::string("Another run of Zentra on this machine holds its lock (") + zentra_lock::kMachineLockFile +
                   ") longer than the wait allows. Nothing has been changed; try again once it has ended.");
        return false;
    }
    if (held == zentra_lock::MachineLock::Result::Held)
        zentra_run::RemoveLeftovers(paths);
    return true;
}

long Connect(CZentraSetup& setup, Outcome& outcome)
{
    Step("Connecting to the configuration database");
    const long connection = setup.DBConnection();
    if (connection == zentra::kConnectionFailed) {
        Done("failed (1)");
        std::cerr << kConnectionHint;
        Decide(outcome, zentra::kExitConnectionFailed, "DBConnection", "not connected",
               "The connection to the configuration database failed; check the registry value DBConnection0.");
    } else if (connection == zentra::kNotPublisher) {
        Done("this machine is not the database publisher (8)");
    } else {
        Done("connected (0)");
    }
    return connection;
}

zentra_run::RunOptions StepOptions(const zentra_run::DialPlanPaths& paths, bool preview, bool readChanges,
                                   Outcome& outcome)
{
    zentra_run::RunOptions options;
    options.report = &outcome.run;
    options.changes = readChanges;
    if (preview) {
        options.preview = true;
        options.ownLog = false;
        if (platform::IsFolder(paths.folder()))
            options.logPath = paths.previewLog();
    }
    return options;
}

}  // namespace setup
