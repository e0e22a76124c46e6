// uninstall.exe: removes an installed dial plan from the configuration
// database and deletes its deployed files. The command line is the dial plan's
// name, alone. Exit code 0 after the completion message, -1 on every failure.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Journal.h"
#include "installer/run/Leftovers.h"
#include "installer/run/Removal.h"
#include "installer/run/RunReport.h"
#include "installer/run/RunReportJson.h"
#include "installer/run/StepLog.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "runlock/MachineLock.h"
#include "zentra_version.h"

namespace {

using zentra_run::DialPlanPaths;
using zentra_run::StepLog;

const char* const kNoCommandLine = "UnInstall Failed. Command Line parameter missing.";
const char* const kRefusedNameCaption = "UnInstall Failed";
const char* const kNoLog = "Install Failed. Failed to create the log file.";
const char* const kConnectFailed =
    "UnInstallation Failed.Failed to connect to Database. Check the regitry entry DBConnection0";
const char* const kUnknownError = "UnInstallation Failed.\nAn unknown error ended the removal.";
// Said after a database error: the removal's deletes were rolled back.
const char* const kNothingRemoved = "\nNothing was removed.";
const char* const kComplete = "Un-Installation is complete.\nPlease run uninstall.exe on another nodes if exist. "
                              "Please restart the Norvane Orvilex service on all involved nodes to unload the dial "
                              "plan.";

// The removal's results that refuse it, and what the user is told of each.
const struct {
    int result;
    const char* text;
} kRefusals[] = {
    {zentra::kPatternsRefer,
     "UnInstallation Failed.\nPlease remove the patterns\nassociated with this\nDial Plan and then UnInstall"},
    {zentra::kRouteListsRefer,
     "UnInstallation Failed.\nPlease remove the route lists\nassociated with this\nDial Plan and then UnInstall"},
    {zentra::kRouteFiltersRefer,
     "UnInstallation Failed.\nPlease remove the route filters\nassociated with this\nDial Plan and then UnInstall"},
};

// What the removal did, for the JSON document that ZENTRA_JSON=1 asks for.
struct Outcome {
    std::string result = "failed";
    std::string decidedBy;
    std::string message;
    zentra_run::RunReport run;
};
Outcome g_outcome;

void ShowMessage(const std::string& text, const std::string& caption)
{
    g_outcome.message = text;
    platform::ShowMessageBox(text.c_str(), caption.c_str(), MB_OK);
}

// The log of the removal: created (or emptied) in the dial plan's folder, or
// else appended to name + "_install.txt" in the current folder: run where it
// is deployed, that is the installation's own log, whose history must stay.
// The library appends its own lines during the removal, so the program's
// stream is closed around that call and reopened for appending, which puts
// the program's lines after the library's.
std::unique_ptr<StepLog> CreateLog(const DialPlanPaths& paths)
{
    MakeSureDirectoryPathExists(paths.uninstallLog().c_str());
    auto log = std::make_unique<StepLog>(paths.uninstallLog(), "w");
    if (!log->isOpen())
        log = std::make_unique<StepLog>(paths.fallbackLog(), "a");
    if (!log->isOpen())
        return nullptr;
    return log;
}

// The ending of a removal that failed before any file was deleted: the failure
// goes to the log and to the user, the deployed files stay.
int Fail(const std::string& text, const std::string& name, StepLog& log)
{
    log.write(text);
    log.flush();
    ShowMessage(text, name);
    log.close();
    return zentra::kUninstallFailed;
}

// The database part. Nothing when it is done (or left to the publisher, on a
// machine that is not one), so that the files go; else the exit code, told.
std::optional<int> RemoveFromDatabase(const std::string& name, StepLog& log)
{
    CZentraSetup setup;
    const long connection = setup.DBConnection();
    g_outcome.decidedBy = "DBConnection";
    if (connection == zentra::kConnectionFailed)
        return Fail(kConnectFailed, name, log);
    if (connection == zentra::kNotPublisher)
        return std::nullopt;

    log.close();
    int removal = zentra::kRemoved;
    try {
        zentra_run::RunOptions options;
        options.report = &g_outcome.run;
        removal = zentra_run::RemoveDialPlan(setup, name, options);
    } catch (...) {
        log.reopen();
        throw;
    }
    log.reopen();
    g_outcome.decidedBy = g_outcome.run.decidedBy;
    // The rows that block the removal, for a person at a console; the log
    // names them too.
    for (const zentra_run::BlockingRow& row : g_outcome.run.blocking)
        std::printf("%s\n", row.text().c_str());
    for (const auto& refusal : kRefusals) {
        if (refusal.result == removal) {
            g_outcome.result = "refused";
            return Fail(refusal.text, name, log);
        }
    }
    if (removal != zentra::kRemoved)
        // A result this program does not know: the dial plan may still be in
        // the database, so its files stay.
        return Fail("UnInstallation Failed.\nThe removal ended with the result " + std::to_string(removal) +
                        ", which this uninstaller does not know.\nThe dial plan's files have been left in place.",
                    name, log);
    log.format("Deleted the existing entries for the Dial Plan = %s\n", name);
    log.flush();
    return std::nullopt;
}

// The deployed files, once the database no longer holds the dial plan.
int DeleteFiles(const DialPlanPaths& paths, StepLog& log)
{
    const std::string dialPlanFile = paths.deployedDialPlanFile();
    if (!DeleteFileA(dialPlanFile.c_str())) {
        const DWORD error = GetLastError();
        log.format("Failed to delete the DialPlan file from the destination %s", dialPlanFile);
        log.format("GetLastError = %d\n", static_cast<long>(error));
        log.flush();
        log.close();
        ShowMessage("Failed to delete the file " + dialPlanFile + " \nRequires manual deletion", paths.name());
        return zentra::kUninstallFailed;
    }
    log.format("Deleted the Dial Plan file from = %s\n", dialPlanFile);
    log.flush();

    // The program's own file may be in use while it runs; either way the
    // removal is complete.
    DeleteFileA(paths.deployedUninstaller().c_str());
    DeleteFileA(paths.deployedReadMe().c_str());
    log.format("Deleted the ReadMe file for the Dial Plan from the path %s \n", paths.deployedReadMe());
    log.close();

    g_outcome.result = "removed";
    ShowMessage(kComplete, paths.name());
    return zentra::kUninstallDone;
}

// The removal's line in the dial plan's journal.
void Record(const std::string& name, int exitStatus)
{
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name);
    if (!paths)
        return;
    zentra_run::JournalRecord record;
    record.program = "uninstall.exe";
    record.operation = "removal";
    record.result = g_outcome.result;
    record.exitStatus = exitStatus;
    record.snapshot = g_outcome.run.snapshot;
    zentra_run::AppendToJournal(*paths, record);
}

// One JSON document on standard output, when the environment asks for it: the
// command line is the dial plan's name alone, so no option can.
void PrintJson(const std::string& name, int exitStatus)
{
    const char* wanted = std::getenv("ZENTRA_JSON");
    if (wanted == nullptr || std::string(wanted) != "1")
        return;
    const std::string& log = g_outcome.run.logPath;
    nlohmann::ordered_json json = {
        {"program", "uninstall.exe"},
        {"version", ZENTRA_VERSION},
        {"mode", "removal"},
        {"name", name},
        {"exitStatus", exitStatus},
        {"result", g_outcome.result},
        {"decidedBy", g_outcome.decidedBy},
        {"message", g_outcome.message},
        {"log", zentra_run::TextOrNull(log)},
        {"blocking", zentra_run::BlockingRowsJson(g_outcome.run.blocking)},
        {"snapshot", zentra_run::TextOrNull(g_outcome.run.snapshot)},
    };
    std::printf("%s\n", json.dump(2).c_str());
}

int Uninstall(const std::string& commandLine)
{
    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    if (commandLine.empty()) {
        ShowMessage(kNoCommandLine, "");
        return zentra::kUninstallFailed;
    }
    // The name becomes part of every path this program deletes: a name that is
    // no plain file name could reach outside the dial plan's folders.
    std::string refusal;
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(commandLine, &refusal);
    if (!paths) {
        ShowMessage(refusal, kRefusedNameCaption);
        return zentra::kUninstallFailed;
    }
    const std::string& name = paths->name();
    const std::unique_ptr<StepLog> log = CreateLog(*paths);
    if (!log) {
        ShowMessage(kNoLog, name);
        return zentra::kUninstallFailed;
    }

    // The deployed files must agree with the database: from here to the last
    // file deleted, no other run on this machine changes either.
    zentra_lock::MachineLock machine;
    const zentra_lock::MachineLock::Result held = machine.acquire();
    if (held == zentra_lock::MachineLock::Result::Busy) {
        g_outcome.decidedBy = "RunLock";
        return Fail(std::string("UnInstallation Failed.\nAnother run of Zentra on this machine holds its lock (") +
                        zentra_lock::kMachineLockFile + ") longer than the wait allows. Try again once it has ended." +
                        kNothingRemoved,
                    name, *log);
    }
    if (held == zentra_lock::MachineLock::Result::Held)
        zentra_run::RemoveLeftovers(*paths);
    try {
        if (const std::optional<int> failed = RemoveFromDatabase(name, *log))
            return *failed;
    } catch (const std::exception& error) {
        // The removal stopped on a database error: its deletes were undone, so
        // the deployed files stay for another try.
        return Fail(std::string(error.what()) + kNothingRemoved, name, *log);
    } catch (...) {
        return Fail(std::string(kUnknownError) + kNothingRemoved, name, *log);
    }
    return DeleteFiles(*paths, *log);
}

}  // namespace

#if defined(_WIN32)

// The command line tail as the system hands it: everything after the program's
// own name and the blanks that follow it, unchanged.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const std::string name = commandLine != nullptr ? commandLine : "";
    const int status = Uninstall(name);
    Record(name, status);
    PrintJson(name, status);
    return status;
}

#else

// No raw command line exists here: the arguments joined by single blanks.
int main(int argc, char** argv)
{
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    const int status = Uninstall(commandLine);
    Record(commandLine, status);
    PrintJson(commandLine, status);
    return status;
}

#endif
