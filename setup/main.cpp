// zentra-setup: installs a dial plan into the Orvilex configuration database, or
// upgrades the installed one, from the files delivered in the current folder:
// NAME.csv (the dial plan's rows), NAME (the dial-plan file of the
// call-processing service), NAMEReadMe.txt and uninstall.exe.
//
//   zentra-setup NAME            install or upgrade the dial plan NAME
//   zentra-setup --connect-only  connect to the configuration database and print
//                                "DBConnection: N"
//   zentra-setup --help          print the usage and the exit statuses
//   --lock-timeout SECONDS       how long a run waits for another one to end
//                                (default 30, or ZENTRA_LOCK_TIMEOUT)
//
// Exit status:
//    0  installed, upgraded, or (on a machine that is not the database
//       publisher) the dial plan's files deployed
//    2  usage error, or a dial plan name that cannot be used
//    3  the delivered file NAME.csv is missing, or could not be prepared for loading
//    4  the connection to the configuration database failed
//    5  the upgrade was refused: a tag or a digit discard instruction that the new
//       version drops is still in use; nothing was changed
//    6  the CSV loader failed; no file was deployed
//    7  a database error or another error stopped the installation
//    8  the installer refused the dial plan before changing anything
//    9  the dial-plan file could not be deployed
//   10  a folder the files are deployed into could not be created
//   11  the configuration database was held by another run or session longer
//       than the wait allows (--lock-timeout); nothing was changed
// With --connect-only the status is the DBConnection result itself: 0 connected,
// 1 connection failed, 8 this machine is not the database publisher.
//
// Every step prints one line on standard output; failures also show the
// installer's message boxes.

#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/CZentraSetupSteps.h"
#include "installer/DialPlanName.h"
#include "loader/DatabaseLoad.h"
#include "loader/Quillet.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace {

enum ExitStatus {
    kDone = 0,
    kUsage = 2,
    kFileMissing = 3,
    kConnectionFailed = 4,
    kUpgradeRefused = 5,
    kLoaderFailed = 6,
    kError = 7,
    kRefused = 8,
    kNotDeployed = 9,
    kNoFolder = 10,
    kBusy = 11,
};

const char* const kUsageText =
    "Usage: zentra-setup [--lock-timeout SECONDS] NAME\n"
    "       zentra-setup --connect-only\n"
    "       zentra-setup --help\n"
    "\n"
    "Installs the dial plan NAME into the Orvilex configuration database, or upgrades\n"
    "the installed one, from the files in the current folder: NAME.csv, NAME,\n"
    "NAMEReadMe.txt and uninstall.exe. On a machine that is not the database\n"
    "publisher it only deploys the dial plan's files.\n"
    "\n"
    "  --connect-only  connect to the configuration database, print \"DBConnection: N\"\n"
    "                  and exit with N (0 connected, 1 failed, 8 not the publisher)\n"
    "  --lock-timeout SECONDS\n"
    "                  how long to wait while another run or session holds the\n"
    "                  configuration database (default 30; ZENTRA_LOCK_TIMEOUT)\n"
    "  --help          print this text\n"
    "\n"
    "Exit status:\n"
    "   0  installed, upgraded, or files deployed on a machine that is not the publisher\n"
    "   2  usage error, or a dial plan name that cannot be used\n"
    "   3  the delivered file NAME.csv is missing, or could not be prepared for loading\n"
    "   4  the connection to the configuration database failed\n"
    "   5  the upgrade was refused: something it drops is still in use; nothing changed\n"
    "   6  the CSV loader failed; no file was deployed\n"
    "   7  a database error or another error stopped the installation\n"
    "   8  the installer refused the dial plan before changing anything\n"
    "   9  the dial-plan file could not be deployed\n"
    "  10  a folder the files are deployed into could not be created\n"
    "  11  another run or session held the configuration database longer than the\n"
    "      wait allows; nothing changed\n";

// What to look at when the connection fails.
const char* const kConnectionHint =
    "zentra-setup: could not connect to the configuration database. Check the registry value\n"
    "DBConnection0 under HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor: it must\n"
    "name the server (SERVER=...) and the database (DATABASE=...), and the database must be\n"
    "reachable through the ODBC driver \"SQL Server\".\n";

void Step(const std::string& text)
{
    std::cout << text << "... " << std::flush;
}

void Outcome(const std::string& text)
{
    std::cout << text << std::endl;
}

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

// Deploys the files and checks that the dial-plan file reached its folder; the
// installer has reported every failed copy in a message box.
int Deploy(CZentraSetup& setup, const std::string& name, bool withDatabase)
{
    Step(withDatabase ? "Deploying the dial plan files"
                      : "Deploying the dial plan files only (no database on this machine)");
    if (withDatabase) {
        CZentraSetupSteps::CopyDialPlanFile(setup);
    } else if (!CZentraSetupSteps::DeployWithoutDatabase(setup, name)) {
        Outcome("failed: the dial plan's log path is too long");
        return kNotDeployed;
    }
    if (!SameContent(name, std::string(kDialPlanFolder) + name)) {
        Outcome("failed: the dial-plan file " + name + " was not copied to " + kDialPlanFolder);
        return kNotDeployed;
    }
    Outcome("done");
    return kDone;
}

int ConnectOnly()
{
    CZentraSetup setup;
    Step("Connecting to the configuration database");
    const long result = setup.DBConnection();
    Outcome(result == 0 ? "connected (0)" : "not connected (" + std::to_string(result) + ")");
    std::cout << "DBConnection: " << result << std::endl;
    if (result == 1)
        std::cerr << kConnectionHint;
    return static_cast<int>(result);
}

// The new installation's database work and the deployment. Sets again when
// another run installed the dial plan meanwhile and nothing was done.
int FinishNewInstallation(CZentraSetup& setup, const std::string& name, bool& again)
{
    Step("Assigning free digit-analysis IDs and loading " + name + ".csv");
    const int loaded = CZentraSetupSteps::InstallNewDialPlan(setup, name);
    if (loaded == 14) {
        Outcome("another run has installed " + name + " meanwhile; nothing was changed (14)");
        again = true;
        return kDone;
    }
    if (loaded != 0) {
        Outcome("failed: " + name + ".csv could not be read");
        return kFileMissing;
    }
    Outcome("done (the delivered file is kept as " + name + "_new.csv)");

    const int deployed = Deploy(setup, name, true);
    if (deployed == kDone)
        Outcome("The dial plan " + name + " is installed.");
    return deployed;
}

int InstallOnce(const std::string& name, bool& again);

int Install(const std::string& name)
{
    Step("Checking the dial plan name " + name);
    const std::string problem = CheckDialPlanName(name);
    if (!problem.empty()) {
        Outcome("refused: " + problem);
        return kUsage;
    }
    Outcome("ok");

    const std::string csvFile = name + ".csv";
    Step("Checking the delivered file " + csvFile);
    if (!FileExists(csvFile)) {
        Outcome("missing: run zentra-setup in the folder that holds the dial plan's files");
        return kFileMissing;
    }
    Outcome("found");

    // Both folders the files are deployed into, before the database is touched:
    // the installer creates none, and a copy that fails after the loader has
    // committed leaves a dial plan in the database whose files are missing.
    for (const std::string& folder :
         {std::string(kDialPlanFolder), std::string(kZentraFolder) + name + "\\"}) {
        Step("Creating the folder " + folder);
        if (!MakeSureDirectoryPathExists(folder.c_str())) {
            Outcome("failed (GetLastError = " + std::to_string(GetLastError()) + ")");
            return kNoFolder;
        }
        Outcome("ok");
    }

    // A run decides inside its own transaction; when another run changed the
    // dial plan between the lookup and that transaction (installed it, or
    // removed it), nothing was done and the decision is made again.
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        bool again = false;
        const int status = InstallOnce(name, again);
        if (!again)
            return status;
    }
    Outcome("The dial plan " + name + " kept changing under other runs; nothing was changed.");
    return kError;
}

int InstallOnce(const std::string& name, bool& again)
{
    CZentraSetup setup;
    Step("Connecting to the configuration database");
    const long connection = setup.DBConnection();
    if (connection == 1) {
        Outcome("failed (1)");
        std::cerr << kConnectionHint;
        return kConnectionFailed;
    }
    if (connection == 8) {
        Outcome("this machine is not the database publisher (8)");
        const int deployed = Deploy(setup, name, false);
        if (deployed == kDone)
            Outcome("The dial plan's files are deployed; the database is installed on the "
                    "publisher.");
        return deployed;
    }
    Outcome("connected (" + std::to_string(connection) + ")");

    Step("Looking up the dial plan " + name);
    const int result = setup.DialPlanMain(name);
    switch (result) {
    case 6:
        Outcome("not installed: new installation (6)");
        return FinishNewInstallation(setup, name, again);
    case 7: {
        Outcome("installed: upgraded (7)");
        const int deployed = Deploy(setup, name, true);
        if (deployed == kDone)
            Outcome("The dial plan " + name + " is upgraded.");
        return deployed;
    }
    case 2:
        Outcome("installed: upgrade refused, a tag that the new version drops is in use (2)");
        return kUpgradeRefused;
    case 5:
        Outcome("installed: upgrade refused, a digit discard instruction that the new version "
                "drops is in use (5)");
        return kUpgradeRefused;
    case 12:
        Outcome("refused before anything was changed (12)");
        return kRefused;
    case 13:
        Outcome("another run has removed " + name + " meanwhile; nothing was changed (13)");
        again = true;
        return kDone;
    default:
        Outcome("unexpected result (" + std::to_string(result) + ")");
        return kError;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string name;
    bool connectOnly = false;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string& argument = arguments[k];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsageText;
            return kDone;
        }
        if (argument == "--connect-only") {
            connectOnly = true;
        } else if (argument == "--lock-timeout" || argument.rfind("--lock-timeout=", 0) == 0) {
            std::string seconds;
            if (argument == "--lock-timeout") {
                if (++k == arguments.size()) {
                    std::cerr << "zentra-setup: --lock-timeout needs a number of seconds\n" << kUsageText;
                    return kUsage;
                }
                seconds = arguments[k];
            } else {
                seconds = argument.substr(std::strlen("--lock-timeout="));
            }
            if (seconds.empty() || seconds.find_first_not_of("0123456789") != std::string::npos ||
                seconds.size() > 5) {
                std::cerr << "zentra-setup: --lock-timeout takes a whole number of seconds, not \"" << seconds
                          << "\"\n";
                return kUsage;
            }
            // The library reads it where the lock is taken.
            platform::SetProcessEnvironment("ZENTRA_LOCK_TIMEOUT", seconds);
        } else if (!argument.empty() && argument[0] == '-') {
            std::cerr << "zentra-setup: unknown option " << argument << "\n" << kUsageText;
            return kUsage;
        } else if (name.empty() && !connectOnly) {
            name = argument;
        } else {
            std::cerr << "zentra-setup: one dial plan name at most\n" << kUsageText;
            return kUsage;
        }
    }
    if (connectOnly == !name.empty()) {
        std::cerr << kUsageText;
        return kUsage;
    }

    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    try {
        if (connectOnly)
            return ConnectOnly();
        return Install(name);
    } catch (const odbc::LockNotGranted& error) {
        std::cout << std::endl;
        std::cerr << "zentra-setup: " << error.getMessage() << " Nothing has been changed." << std::endl;
        return kBusy;
    } catch (const quillet::DatabaseError& error) {
        std::cout << "failed: " << error.what() << std::endl;
        std::cerr << "zentra-setup: the CSV loader failed; nothing has been installed: " << error.what()
                  << std::endl;
        return kLoaderFailed;
    } catch (const odbc::SQLException& error) {
        std::cout << std::endl;
        std::cerr << "zentra-setup: database error: " << error.getMessage() << std::endl;
    } catch (const std::exception& error) {
        std::cout << std::endl;
        std::cerr << "zentra-setup: error: " << error.what() << std::endl;
    }
    return kError;
}
