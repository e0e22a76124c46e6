#include "setup/Install.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Installation.h"
#include "installer/run/RunReport.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "setup/ConnectionHint.h"
#include "setup/MachineRun.h"

namespace setup {

namespace {

using zentra_run::DialPlanPaths;

// What a run makes of a result of the installer: the step's last words (NAME
// stands for the dial plan's name), and what comes next.
enum class Next { InstallNew, Deploy, Refused, Again, Fail };
struct ResultRow {
    int result;
    const char* done;
    const char* donePreview;
    const char* road;
    Next next;
    int exitStatus;
};

// DialPlanMain.
const ResultRow kMainResults[] = {
    {zentra::kNewInstallation, "not installed: new installation (6)", nullptr, "new installation", Next::InstallNew,
     zentra::kExitDone},
    {zentra::kUpgraded, "installed: upgraded (7)", "installed: upgraded, and rolled back (7)", "upgrade", Next::Deploy,
     zentra::kExitDone},
    {zentra::kUpgradeRefusedByTag, "installed: upgrade refused, a tag that the new version drops is in use (2)",
     nullptr, "upgrade", Next::Refused, zentra::kExitUpgradeRefused},
    {zentra::kUpgradeRefusedByInstruction,
     "installed: upgrade refused, a digit discard instruction that the new version drops is in use (5)", nullptr,
     "upgrade", Next::Refused, zentra::kExitUpgradeRefused},
    {zentra::kRefusedBeforeChange, "refused before anything was changed (12)", nullptr, "", Next::Refused,
     zentra::kExitRefused},
    {zentra::kRemovedMeanwhile, "another run has removed NAME meanwhile; nothing was changed (13)", nullptr, "",
     Next::Again, zentra::kExitDone},
};

// The database part of a new installation.
const ResultRow kNewInstallationResults[] = {
    {zentra::kLoaded, "done (the delivered file is kept as NAME_new.csv)", "done, and rolled back", "new installation",
     Next::Deploy, zentra::kExitDone},
    {zentra::kDeliveredFileUnreadable, "failed: NAME.csv could not be read", nullptr, "new installation", Next::Fail,
     zentra::kExitFileMissing},
    {zentra::kInstalledMeanwhile, "another run has installed NAME meanwhile; nothing was changed (14)", nullptr,
     "new installation", Next::Again, zentra::kExitDone},
};

template <std::size_t N>
const ResultRow* Find(const ResultRow (&rows)[N], int result)
{
    for (const ResultRow& row : rows)
        if (row.result == result)
            return &row;
    return nullptr;
}

std::string WithName(std::string text, const std::string& name)
{
    for (std::string::size_type at = text.find("NAME"); at != std::string::npos; at = text.find("NAME", at))
        text.replace(at, 4, name), at += name.size();
    return text;
}

// True when both files exist and hold the same bytes.
bool SameContent(const std::string& first, const std::string& second)
{
    FILE* a = platform::OpenFile(first, "rb");
    FILE* b = platform::OpenFile(second, "rb");
    bool same = a != nullptr && b != nullptr;
    while (same) {
        const int ca = std::getc(a);
        const int cb = std::getc(b);
        if (ca != cb)
            same = false;
        else if (ca == EOF)
            break;
    }
    if (same && (std::ferror(a) || std::ferror(b)))
        same = false;
    if (a != nullptr)
        std::fclose(a);
    if (b != nullptr)
        std::fclose(b);
    return same;
}

// A preview deploys nothing: it checks that the files are there to deploy.
void CheckFilesToDeploy(const DialPlanPaths& paths, Outcome& outcome)
{
    Step("Checking the files to deploy");
    if (!platform::IsReadableFile(paths.deliveredDialPlanFile())) {
        Done("the dial-plan file " + paths.name() + " is missing: it could not be deployed");
        return Decide(outcome, zentra::kExitNotDeployed, "CopyDialPlanFile", "would fail",
                      "The dial-plan file " + paths.name() + " is missing from the current folder.");
    }
    std::string missing;
    for (const std::string& file : {DialPlanPaths::deliveredUninstaller(), paths.deliveredReadMe()})
        if (!platform::IsReadableFile(file))
            missing += (missing.empty() ? "" : " and ") + file;
    Done(missing.empty() ? "all there" : "the dial-plan file is there; " + missing + " would not be copied");
}

// Deploys the files and checks that the dial-plan file reached its folder; the
// installer has reported every failed copy in a message box.
void Deploy(CZentraSetup& setup, const DialPlanPaths& paths, bool withDatabase, bool preview, Outcome& outcome)
{
    if (preview)
        return CheckFilesToDeploy(paths, outcome);
    Step(withDatabase ? "Deploying the dial plan files"
                      : "Deploying the dial plan files only (no database on this machine)");
    zentra_run::Installation installation(setup);
    if (withDatabase)
        installation.deploy();
    else
        installation.deployFilesOnly(paths);
    if (!SameContent(paths.deliveredDialPlanFile(), paths.deployedDialPlanFile())) {
        Done("failed: the dial-plan file " + paths.name() + " was not copied to " + zentra_run::kDialPlanFolder);
        return Decide(outcome, zentra::kExitNotDeployed, "CopyDialPlanFile", "failed",
                      "The dial-plan file " + paths.name() + " was not copied to " + zentra_run::kDialPlanFolder + ".");
    }
    Done("done");
}

// After the database's part: the files deployed, and the run's last word.
void DeployAndFinish(CZentraSetup& setup, const DialPlanPaths& paths, bool preview, bool newInstallation,
                     Outcome& outcome)
{
    Deploy(setup, paths, true, preview, outcome);
    if (outcome.exitStatus != zentra::kExitDone)
        return;
    const std::string made = newInstallation ? "installed" : "upgraded";
    Decide(outcome, zentra::kExitDone, "",
           preview ? std::string(newInstallation ? "would install" : "would upgrade") : made,
           preview ? std::string(newInstallation ? "A new installation" : "An upgrade") + " would be made."
                   : "The dial plan " + paths.name() + " is " + made + ".");
}

// Tells a refused run: in a preview what the boxes would say, and the rows
// that refuse it.
void TellRefusal(const ResultRow& row, bool preview, Outcome& outcome)
{
    const bool upgrade = row.exitStatus == zentra::kExitUpgradeRefused;
    if (upgrade && preview)
        for (const auto& [caption, text] : outcome.run.messages)
            Say() << "  " << caption << ": " << text << "\n";
    if (upgrade)
        for (const zentra_run::BlockingRow& blocking : outcome.run.blocking)
            Say() << "  " << blocking.text() << "\n";
    const std::string fallback = upgrade ? "The upgrade was refused." : "Refused.";
    Decide(outcome, row.exitStatus, "", upgrade && preview ? "would be refused" : "refused",
           outcome.run.messages.empty() ? fallback : outcome.run.messages.back().second);
}

struct Run {
    CZentraSetup& setup;
    const DialPlanPaths& paths;
    bool preview;
    const zentra_run::RunOptions& options;
    Outcome& outcome;
};

// Says how a step of the installer ended, by its table; what comes next.
Next Ended(const ResultRow* row, int result, const Run& run)
{
    if (row == nullptr) {
        Done("unexpected result (" + std::to_string(result) + ")");
        Decide(run.outcome, zentra::kExitError, "DialPlanMain", "failed",
               "The installer gave the unexpected result " + std::to_string(result) + ".");
        return Next::Fail;
    }
    Done(WithName(run.preview && row->donePreview != nullptr ? row->donePreview : row->done, run.paths.name()));
    if (*row->road != '\0')
        run.outcome.road = row->road;
    return row->next;
}

// The database part of a new installation, then the files.
Next InstallNew(const Run& run)
{
    const std::string& name = run.paths.name();
    Step(run.preview ? "Assigning free digit-analysis IDs and loading " + name + ".csv, then rolling back"
                     : "Assigning free digit-analysis IDs and loading " + name + ".csv");
    const int loaded = zentra_run::Installation(run.setup).installNew(name, run.options);
    const ResultRow* row = Find(kNewInstallationResults, loaded);
    const Next next = Ended(row, loaded, run);
    if (next == Next::Fail && row != nullptr)
        Decide(run.outcome, row->exitStatus, "InstallNewDialPlan", "failed", name + ".csv could not be read.");
    if (next == Next::Deploy)
        DeployAndFinish(run.setup, run.paths, run.preview, true, run.outcome);
    return next;
}

// One run from the connection on. Again when another run changed the dial plan
// between the lookup and the run's own transaction, so that nothing was done
// and the decision is to be made again.
Next InstallOnce(const DialPlanPaths& paths, bool preview, bool json, Outcome& outcome)
{
    CZentraSetup setup;
    const long connection = Connect(setup, outcome);
    if (connection == zentra::kConnectionFailed)
        return Next::Fail;
    if (connection == zentra::kNotPublisher) {
        outcome.road = "files only";
        Deploy(setup, paths, false, preview, outcome);
        if (outcome.exitStatus == zentra::kExitDone)
            Decide(outcome, zentra::kExitDone, "DBConnection", preview ? "would deploy the files" : "files deployed",
                   "The dial plan's files are deployed; the database is installed on the publisher.");
        return Next::Deploy;
    }

    outcome.run = zentra_run::RunReport();
    const zentra_run::RunOptions options = StepOptions(paths, preview, preview || json, outcome);
    const Run run{setup, paths, preview, options, outcome};
    Step("Looking up the dial plan " + paths.name());
    const int result = zentra_run::Installation(setup).main(paths.name(), options);
    const ResultRow* row = Find(kMainResults, result);
    switch (Ended(row, result, run)) {
    case Next::InstallNew:
        return InstallNew(run);
    case Next::Deploy:
        DeployAndFinish(setup, paths, preview, false, outcome);
        return Next::Deploy;
    case Next::Refused:
        TellRefusal(*row, preview, outcome);
        return Next::Refused;
    case Next::Again:
        return Next::Again;
    case Next::Fail:
        break;
    }
    return Next::Fail;
}

// Both folders the files are deployed into, before the database is touched:
// the installer creates none, and a copy that fails after the loader has
// committed leaves a dial plan whose files are missing. A preview creates no
// folder.
bool MakeFolders(const DialPlanPaths& paths, bool preview, Outcome& outcome)
{
    for (const std::string& folder : {std::string(zentra_run::kDialPlanFolder), paths.folder()}) {
        if (preview) {
            Step("Looking for the folder " + folder);
            Done(platform::IsFolder(folder) ? "there" : "missing: the run would create it");
            continue;
        }
        Step("Creating the folder " + folder);
        if (!MakeSureDirectoryPathExists(folder.c_str())) {
            Done("failed (GetLastError = " + std::to_string(GetLastError()) + ")");
            Decide(outcome, zentra::kExitNoFolder, "MakeSureDirectoryPathExists", "failed",
                   "The folder " + folder + " could not be created.");
            return false;
        }
        Done("ok");
    }
    return true;
}

// The name and the delivered file, before anything else.
std::optional<DialPlanPaths> CheckDelivery(const std::string& name, Outcome& outcome)
{
    std::optional<DialPlanPaths> paths = CheckName(name, outcome);
    if (!paths)
        return std::nullopt;
    Step("Checking the delivered file " + paths->deliveredCsv());
    if (!platform::IsReadableFile(paths->deliveredCsv())) {
        Done("missing: run zentra-setup in the folder that holds the dial plan's files");
        Decide(outcome, zentra::kExitFileMissing, "CheckDeliveredFile", "refused",
               paths->deliveredCsv() + " is missing from the current folder.");
        return std::nullopt;
    }
    Done("found");
    return paths;
}

}  // namespace

void Install(const std::string& name, bool preview, bool json, Outcome& outcome)
{
    if (preview)
        Say() << "Preview of the installation of " << name << ": every change is rolled back, nothing is kept.\n";
    const std::optional<DialPlanPaths> paths = CheckDelivery(name, outcome);
    if (!paths || !MakeFolders(*paths, preview, outcome))
        return;

    // The deployed files must agree with the database: from here to the last
    // file, no other run on this machine changes either.
    zentra_lock::MachineLock machine;
    if (!HoldMachine(machine, *paths, preview, outcome))
        return;

    // A run decides inside its own transaction; when another run changed the
    // dial plan between the lookup and that transaction (installed it, or
    // removed it), nothing was done and the decision is made again.
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt)
        if (InstallOnce(*paths, preview, json, outcome) != Next::Again)
            return;
    Decide(outcome, zentra::kExitError, "DialPlanMain", "failed",
           "The dial plan " + name + " kept changing under other runs; nothing was changed.");
}

void ConnectOnly(Outcome& outcome)
{
    CZentraSetup setup;
    Step("Connecting to the configuration database");
    const long result = setup.DBConnection();
    Done(result == zentra::kConnected ? "connected (0)" : "not connected (" + std::to_string(result) + ")");
    Say() << "DBConnection: " << result << std::endl;
    if (result == zentra::kConnectionFailed)
        std::cerr << kConnectionHint;
    outcome.exitStatus = static_cast<int>(result);
    outcome.decidedBy = "DBConnection";
    outcome.result = result == zentra::kConnected      ? "connected"
                     : result == zentra::kNotPublisher ? "not the publisher"
                                                       : "not connected";
    outcome.message = "DBConnection: " + std::to_string(result);
}

}  // namespace setup
