// uninstall.exe: removes an installed dial plan from the configuration
// database and deletes its deployed files. The command line is the dial plan's
// name, alone. Exit code 0 after the completion message, -1 on every failure.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "installer/CZentraSetup.h"
#include "installer/CZentraSetupSteps.h"
#include "installer/DialPlanName.h"
#include "installer/RunReport.h"
#include "installer/RunReportJson.h"
#include "loader/RunLock.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "zentra_version.h"

namespace {

const char* const kNoCommandLine = "UnInstall Failed. Command Line parameter missing.";
const char* const kRefusedNameCaption = "UnInstall Failed";
const char* const kNoLog = "Install Failed. Failed to create the log file.";
const char* const kConnectFailed =
    "UnInstallation Failed.Failed to connect to Database. Check the regitry entry DBConnection0";
const char* const kPatternsRefer =
    "UnInstallation Failed.\nPlease remove the patterns\nassociated with this\nDial Plan and then "
    "UnInstall";
const char* const kRouteListsRefer =
    "UnInstallation Failed.\nPlease remove the route lists\nassociated with this\nDial Plan and "
    "then UnInstall";
const char* const kRouteFiltersRefer =
    "UnInstallation Failed.\nPlease remove the route filters\nassociated with this\nDial Plan "
    "and then UnInstall";
const char* const kUnknownError = "UnInstallation Failed.\nAn unknown error ended the removal.";
// Said after a database error: the removal's deletes were rolled back.
const char* const kNothingRemoved = "\nNothing was removed.";
const char* const kComplete =
    "Un-Installation is complete.\nPlease run uninstall.exe on another nodes if exist. Please "
    "restart the Norvane Orvilex service on all involved nodes to unload the dial plan.";

// The log of the removal. The program creates it; the library appends its own
// lines during the removal, so the program's stream is closed around that call
// and reopened for appending, which puts the program's lines after the library's.
class RemovalLog {
public:
    ~RemovalLog() { Close(); }

    // Creates (or empties) the log in the dial plan's folder, or else appends
    // to name + "_install.txt" in the current folder: run where it is
    // deployed, that is the installation's own log, whose history must stay.
    // False when neither opens.
    bool Create(const std::string& name)
    {
        path_ = std::string(kZentraFolder) + name + "\\" + name + "_uninstall.txt";
        MakeSureDirectoryPathExists(path_.c_str());
        file_ = platform::OpenFile(path_, "w");
        if (file_ == nullptr) {
            path_ = name + "_install.txt";
            file_ = platform::OpenFile(path_, "a");
        }
        return file_ != nullptr;
    }

    // Lets another writer append to the file until Resume.
    void Suspend() { Close(); }
    void Resume()
    {
        if (file_ == nullptr)
            file_ = platform::OpenFile(path_, "a");
    }

    // Text written verbatim.
    void Write(const std::string& text)
    {
        if (file_ != nullptr)
            std::fwrite(text.data(), 1, text.size(), file_);
    }
    // A fixed format with one value.
    void WriteFormat(const char* format, const std::string& value)
    {
        if (file_ != nullptr)
            std::fprintf(file_, format, value.c_str());
    }
    void WriteFormat(const char* format, int value)
    {
        if (file_ != nullptr)
            std::fprintf(file_, format, value);
    }
    void Flush()
    {
        if (file_ != nullptr)
            std::fflush(file_);
    }
    void Close()
    {
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

private:
    std::string path_;
    FILE* file_ = nullptr;
};

// What the removal did, for the JSON document that ZENTRA_JSON=1 asks for.
struct Outcome {
    std::string result = "failed";
    std::string decidedBy;
    std::string message;
    RunReport run;
};
Outcome g_outcome;

void ShowMessage(const std::string& text, const std::string& caption)
{
    g_outcome.message = text;
    MessageBoxA(NULL, text.c_str(), caption.c_str(), MB_OK);
}

// The ending of a removal that failed before any file was deleted: the failure
// goes to the log and to the user, the deployed files stay.
int Fail(const std::string& text, const std::string& name, std::unique_ptr<CZentraSetup>& setup, RemovalLog& log)
{
    log.Write(text);
    log.Flush();
    ShowMessage(text, name);
    setup.reset();
    log.Close();
    return -1;
}

// One JSON document on standard output, when the environment asks for it: the
// command line is the dial plan's name alone, so no option can.
void PrintJson(const std::string& name, int exitStatus)
{
    const char* wanted = std::getenv("ZENTRA_JSON");
    if (wanted == nullptr || std::string(wanted) != "1")
        return;
    nlohmann::ordered_json json = {
        {"program", "uninstall.exe"},
        {"version", ZENTRA_VERSION},
        {"mode", "removal"},
        {"name", name},
        {"exitStatus", exitStatus},
        {"result", g_outcome.result},
        {"decidedBy", g_outcome.decidedBy},
        {"message", g_outcome.message},
        {"log", g_outcome.run.logPath.empty() ? nlohmann::ordered_json(nullptr)
                                              : nlohmann::ordered_json(g_outcome.run.logPath)},
        {"blocking", BlockingRowsJson(g_outcome.run.blocking)},
    };
    std::printf("%s\n", json.dump(2).c_str());
}

int Uninstall(const std::string& commandLine)
{
    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    if (commandLine.empty()) {
        ShowMessage(kNoCommandLine, "");
        return -1;
    }

    // The name becomes part of every path this program deletes: a name that is
    // no plain file name could reach outside the dial plan's folders.
    const std::string& name = commandLine;
    const std::string refusal = CheckDialPlanName(name);
    if (!refusal.empty()) {
        ShowMessage(refusal, kRefusedNameCaption);
        return -1;
    }

    const std::string dialPlanFile = std::string(kDialPlanFolder) + name;
    const std::string uninstallerFile = std::string(kZentraFolder) + name + "\\uninstall.exe";
    const std::string readMeFile = std::string(kZentraFolder) + name + "\\ReadMe.txt";

    RemovalLog log;
    if (!log.Create(name)) {
        ShowMessage(kNoLog, name);
        return -1;
    }

    // The deployed files must agree with the database: from here to the last
    // file deleted, no other run on this machine changes either.
    platform::FileLock machine;
    if (machine.acquire(kRunLockFile, quillet::RunLockTimeout(), [] {
            std::fprintf(stderr, "%s\n", quillet::WaitingNotice().c_str());
        }) == platform::FileLock::Result::Busy) {
        std::unique_ptr<CZentraSetup> none;
        g_outcome.decidedBy = "RunLock";
        return Fail(std::string("UnInstallation Failed.\nAnother run of Zentra on this machine holds its lock (") +
                        kRunLockFile + ") longer than the wait allows. Try again once it has ended." + kNothingRemoved,
                    name, none, log);
    }

    std::unique_ptr<CZentraSetup> setup(new CZentraSetup());
    try {
        const long connection = setup->DBConnection();
        g_outcome.decidedBy = "DBConnection";
        if (connection == 1)
            return Fail(kConnectFailed, name, setup, log);
        if (connection != 8) {
            int removal;
            log.Suspend();
            try {
                removal = CZentraSetupSteps::UnInstallDialPlan(*setup, name, g_outcome.run);
                g_outcome.decidedBy = g_outcome.run.decidedBy;
            } catch (...) {
                log.Resume();
                throw;
            }
            log.Resume();
            // The rows that block the removal, for a person at a console; the
            // log names them too.
            for (const BlockingRow& row : g_outcome.run.blocking)
                std::printf("%s\n", row.text().c_str());
            if (removal >= 9 && removal <= 11)
                g_outcome.result = "refused";
            switch (removal) {
            case 0:
                break;
            case 9:
                return Fail(kPatternsRefer, name, setup, log);
            case 10:
                return Fail(kRouteListsRefer, name, setup, log);
            case 11:
                return Fail(kRouteFiltersRefer, name, setup, log);
            default:
                // A result this program does not know: the dial plan may still
                // be in the database, so its files stay.
                return Fail("UnInstallation Failed.\nThe removal ended with the result " + std::to_string(removal) +
                                ", which this uninstaller does not know.\nThe dial "
                                "plan's files have been left in place.",
                            name, setup, log);
            }
            log.WriteFormat("Deleted the existing entries for the Dial Plan = %s\n", name);
            log.Flush();
        }
    } catch (const std::exception& error) {
        // The removal stopped on a database error: its deletes were undone, so
        // the deployed files stay for another try.
        return Fail(std::string(error.what()) + kNothingRemoved, name, setup, log);
    } catch (...) {
        return Fail(std::string(kUnknownError) + kNothingRemoved, name, setup, log);
    }
    setup.reset();

    if (!DeleteFileA(dialPlanFile.c_str())) {
        const DWORD error = GetLastError();
        log.WriteFormat("Failed to delete the DialPlan file from the destination %s", dialPlanFile);
        log.WriteFormat("GetLastError = %d\n", static_cast<int>(error));
        log.Flush();
        log.Close();
        ShowMessage("Failed to delete the file " + dialPlanFile + " \nRequires manual deletion", name);
        return -1;
    }
    log.WriteFormat("Deleted the Dial Plan file from = %s\n", dialPlanFile);
    log.Flush();

    // The program's own file may be in use while it runs; either way the
    // removal is complete.
    DeleteFileA(uninstallerFile.c_str());
    DeleteFileA(readMeFile.c_str());
    log.WriteFormat("Deleted the ReadMe file for the Dial Plan from the path %s \n", readMeFile);
    log.Close();

    g_outcome.result = "removed";
    ShowMessage(kComplete, name);
    return 0;
}

}  // namespace

#if defined(_WIN32)

// The command line tail as the system hands it: everything after the program's
// own name and the blanks that follow it, unchanged.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const std::string name = commandLine != nullptr ? commandLine : "";
    const int status = Uninstall(name);
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
    PrintJson(commandLine, status);
    return status;
}

#endif
