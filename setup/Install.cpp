#include "setup/Install.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "installer/CZentraSetup.h"
#include "installer/CZentraSetupSteps.h"
#include "installer/DialPlanName.h"
#include "installer/RunReport.h"
#include "loader/RunLock.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace setup {

namespace {

// What to look at when the connection fails.
const char* const kConnectionHint =
    "zentra-setup: could not connect to the configuration database. Check the registry value\n"
    "DBConnection0 under HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor: it must\n"
    "name the server (SERVER=...) and the database (DATABASE=...), and the database must be\n"
    "reachable through the ODBC driver \"SQL Server\".\n";

bool FileExists(const std::string& windowsPath)
{
    FILE* file = platform::OpenFile(windowsPath, "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
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

void Decide(Outcome& outcome, int exitStatus, const std::string& decidedBy, const std::string& result,
            const std::string& message)
{
    // The installer's own step, unless the program decided.
    outcome.exitStatus = exitStatus;
    outcome.decidedBy = decidedBy.empty() ? outcome.run.decidedBy : decidedBy;
    outcome.result = result;
    outcome.message = message;
}

// Deploys the files and checks that the dial-plan file reached its folder; the
// installer has reported every failed copy in a message box. A preview checks
// that the dial-plan file is there to be deployed.
void Deploy(CZentraSetup& setup, const std::string& name, bool withDatabase, bool preview, Outcome& outcome)
{
    const std::string target = std::string(kDialPlanFolder) + name;
    if (preview) {
        Step("Checking the files to deploy");
        if (!FileExists(name)) {
            Done("the dial-plan file " + name + " is missing: it could not be deployed");
            return Decide(outcome, kNotDeployed, "CopyDialPlanFile", "would fail",
                          "The dial-plan file " + name + " is missing from the current folder.");
        }
        std::string missing;
        for (const std::string& file : {std::string("uninstall.exe"), name + "ReadMe.txt"})
            if (!FileExists(file))
                missing += (missing.empty() ? "" : " and ") + file;
        Done(missing.empty() ? "all there" : "the dial-plan file is there; " + missing + " would not be copied");
        return;
    }
    Step(withDatabase ? "Deploying the dial plan files"
                      : "Deploying the dial plan files only (no database on this machine)");
    if (withDatabase) {
        CZentraSetupSteps::CopyDialPlanFile(setup);
    } else if (!CZentraSetupSteps::DeployWithoutDatabase(setup, name)) {
        Done("failed: the dial plan's log path is too long");
        return Decide(outcome, kNotDeployed, "CopyDialPlanFile", "failed", "The dial plan's log path is too long.");
    }
    if (!SameContent(name, target)) {
        Done("failed: the dial-plan file " + name + " was not copied to " + kDialPlanFolder);
        return Decide(outcome, kNotDeployed, "CopyDialPlanFile", "failed",
                      "The dial-plan file " + name + " was not copied to " + kDialPlanFolder + ".");
    }
    Done("done");
}

// After the database's part: the files deployed, and the run's last word.
void DeployAndFinish(CZentraSetup& setup, const std::string& name, bool preview, const std::string& verb,
                     Outcome& outcome)
{
    Deploy(setup, name, true, preview, outcome);
    if (outcome.exitStatus != kDone)
        return;
    const std::string made = verb == "install" ? "installed" : "upgraded";
    Decide(outcome, kDone, "", preview ? "would " + verb : made,
           preview ? std::string(verb == "install" ? "A new installation" : "An upgrade") + " would be made."
                   : "The dial plan " + name + " is " + made + ".");
}

// The options of the installer's steps: a preview logs to NAME_preview.txt in
// the dial plan's folder when that exists, and reads the changes it makes.
RunOptions StepOptions(const std::string& name, bool preview, bool json, Outcome& outcome)
{
    RunOptions options;
    options.report = &outcome.run;
    options.changes = preview || json;
    if (preview) {
        options.preview = true;
        options.ownLog = false;
        const std::string folder = std::string(kZentraFolder) + name + "\\";
        if (platform::IsFolder(folder))
            options.logPath = folder + name + "_preview.txt";
    }
    return options;
}

// One run from the connection on. Sets again when another run changed the
// dial plan between the lookup and the run's own transaction, so that nothing
// was done and the decision is to be made again.
void InstallOnce(const std::string& name, bool preview, bool json, Outcome& outcome, bool& again)
{
    CZentraSetup setup;
    Step("Connecting to the configuration database");
    const long connection = setup.DBConnection();
    if (connection == 1) {
        Done("failed (1)");
        std::cerr << kConnectionHint;
        return Decide(outcome, kConnectionFailed, "DBConnection", "not connected",
                      "The connection to the configuration database failed; check the registry value "
                      "DBConnection0.");
    }
    if (connection == 8) {
        Done("this machine is not the database publisher (8)");
        outcome.road = "files only";
        Deploy(setup, name, false, preview, outcome);
        if (outcome.exitStatus == kDone)
            Decide(outcome, kDone, "DBConnection", preview ? "would deploy the files" : "files deployed",
                   "The dial plan's files are deployed; the database is installed on the publisher.");
        return;
    }
    Done("connected (0)");

    outcome.run = RunReport();
    const RunOptions options = StepOptions(name, preview, json, outcome);
    Step("Looking up the dial plan " + name);
    const int result = CZentraSetupSteps::DialPlanMain(setup, name, options);
    switch (result) {
    case 6: {
        Done("not installed: new installation (6)");
        outcome.road = "new installation";
        Step(preview ? "Assigning free digit-analysis IDs and loading " + name + ".csv, then rolling back"
                     : "Assigning free digit-analysis IDs and loading " + name + ".csv");
        const int loaded = CZentraSetupSteps::InstallNewDialPlan(setup, name, options);
        if (loaded == 14) {
            Done("another run has installed " + name + " meanwhile; nothing was changed (14)");
            again = true;
            return;
        }
        if (loaded != 0) {
            Done("failed: " + name + ".csv could not be read");
            return Decide(outcome, kFileMissing, "InstallNewDialPlan", "failed", name + ".csv could not be read.");
        }
        Done(preview ? "done, and rolled back" : "done (the delivered file is kept as " + name + "_new.csv)");
        return DeployAndFinish(setup, name, preview, "install", outcome);
    }
    case 7:
        Done(preview ? "installed: upgraded, and rolled back (7)" : "installed: upgraded (7)");
        outcome.road = "upgrade";
        return DeployAndFinish(setup, name, preview, "upgrade", outcome);
    case 2:
    case 5:
        Done(result == 2 ? "installed: upgrade refused, a tag that the new version drops is in use (2)"
                         : "installed: upgrade refused, a digit discard instruction that the new version drops "
                           "is in use (5)");
        outcome.road = "upgrade";
        // A preview shows no message box: it says what the box would say.
        if (preview)
            for (const auto& [caption, text] : outcome.run.messages)
                Say() << "  " << caption << ": " << text << "\n";
        for (const BlockingRow& row : outcome.run.blocking)
            Say() << "  " << row.text() << "\n";
        return Decide(outcome, kUpgradeRefused, "", preview ? "would be refused" : "refused",
                      outcome.run.messages.empty() ? "The upgrade was refused." : outcome.run.messages.back().second);
    case 12:
        Done("refused before anything was changed (12)");
        return Decide(outcome, kRefused, "", "refused",
                      outcome.run.messages.empty() ? "Refused." : outcome.run.messages.back().second);
    case 13:
        Done("another run has removed " + name + " meanwhile; nothing was changed (13)");
        again = true;
        return;
    default:
        Done("unexpected result (" + std::to_string(result) + ")");
        return Decide(outcome, kError, "DialPlanMain", "failed",
                      "The installer gave the unexpected result " + std::to_string(result) + ".");
    }
}

}  // namespace

void Install(const std::string& name, bool preview, bool json, Outcome& outcome)
{
    if (preview)
        Say() << "Preview of the installation of " << name << ": every change is rolled back, nothing is kept.\n";

    Step("Checking the dial plan name " + name);
    const std::string problem = CheckDialPlanName(name);
    if (!problem.empty()) {
        Done("refused: " + problem);
        return Decide(outcome, kUsage, "CheckDialPlanName", "refused", problem);
    }
    Done("ok");

    const std::string csvFile = name + ".csv";
    Step("Checking the delivered file " + csvFile);
    if (!FileExists(csvFile)) {
        Done("missing: run zentra-setup in the folder that holds the dial plan's files");
        return Decide(outcome, kFileMissing, "CheckDeliveredFile", "refused",
                      csvFile + " is missing from the current folder.");
    }
    Done("found");

    // Both folders the files are deployed into, before the database is
    // touched: the installer creates none, and a copy that fails after the
    // loader has committed leaves a dial plan whose files are missing. A
    // preview creates no folder.
    for (const std::string& folder : {std::string(kDialPlanFolder), std::string(kZentraFolder) + name + "\\"}) {
        if (preview) {
            Step("Looking for the folder " + folder);
            Done(platform::IsFolder(folder) ? "there" : "missing: the run would create it");
            continue;
        }
        Step("Creating the folder " + folder);
        if (!MakeSureDirectoryPathExists(folder.c_str())) {
            Done("failed (GetLastError = " + std::to_string(GetLastError()) + ")");
            return Decide(outcome, kNoFolder, "MakeSureDirectoryPathExists", "failed",
                          "The folder " + folder + " could not be created.");
        }
        Done("ok");
    }

    // The deployed files must agree with the database: from here to the last
    // file, no other run on this machine changes either.
    platform::FileLock machine;
    if (!preview && machine.acquire(kRunLockFile, quillet::RunLockTimeout(), [] {
            std::cerr << quillet::WaitingNotice() << std::endl;
        }) == platform::FileLock::Result::Busy)
        return Decide(outcome, kBusy, "RunLock", "busy",
                      std::string("Another run of Zentra on this machine holds its lock (") + kRunLockFile +
                          ") longer than the wait allows. Nothing has been changed; try again once it has ended.");

    // A run decides inside its own transaction; when another run changed the
    // dial plan between the lookup and that transaction (installed it, or
    // removed it), nothing was done and the decision is made again.
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        bool again = false;
        InstallOnce(name, preview, json, outcome, again);
        if (!again)
            return;
    }
    Decide(outcome, kError, "DialPlanMain", "failed",
           "The dial plan " + name + " kept changing under other runs; nothing was changed.");
}

void ConnectOnly(Outcome& outcome)
{
    CZentraSetup setup;
    Step("Connecting to the configuration database");
    const long result = setup.DBConnection();
    Done(result == 0 ? "connected (0)" : "not connected (" + std::to_string(result) + ")");
    Say() << "DBConnection: " << result << std::endl;
    if (result == 1)
        std::cerr << kConnectionHint;
    outcome.exitStatus = static_cast<int>(result);
    outcome.decidedBy = "DBConnection";
    outcome.result = result == 0 ? "connected" : result == 8 ? "not the publisher" : "not connected";
    outcome.message = "DBConnection: " + std::to_string(result);
}

}  // namespace setup
