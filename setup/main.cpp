// zentra-setup: installs a dial plan into the Orvilex configuration database, or
// upgrades the installed one, from the files delivered in the current folder:
// NAME.csv (the dial plan's rows), NAME (the dial-plan file of the
// call-processing service), NAMEReadMe.txt and uninstall.exe. It also previews
// a run (--dry-run), shows what is installed (--status) and checks the
// connection (--connect-only). The usage text (setup/Options.cpp) and
// docs/programs.md tell the options and the exit statuses.
//
// Every step prints one line; failures also show the installer's message
// boxes. With --json the lines go to standard error and standard output holds
// one JSON document.

#include <exception>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Journal.h"
#include "installer/run/Snapshot.h"
#include "dialplanfile/FileText.h"
#include "loader/DatabaseLoad.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "runlock/LockNotGranted.h"
#include "setup/Install.h"
#include "setup/Options.h"
#include "setup/Outcome.h"
#include "setup/Restore.h"
#include "setup/Status.h"
#include "zentra_version.h"

namespace {

const char* ModeName(const setup::Options& options)
{
    switch (options.mode) {
    case setup::Mode::Install:
        return options.preview ? "dry-run" : "install";
    case setup::Mode::Restore:
        return "restore";
    case setup::Mode::Export:
        return "export";
    case setup::Mode::History:
        return "history";
    case setup::Mode::Status:
        return "status";
    case setup::Mode::ConnectOnly:
        return "connect-only";
    default:
        return "install";
    }
}

// Runs the mode; errors that end a run become its outcome.
void Run(const setup::Options& options, setup::Outcome& outcome)
{
    using namespace setup;
    try {
        switch (options.mode) {
        case Mode::ConnectOnly:
            return ConnectOnly(outcome);
        case Mode::Status:
            return Status(options.name, outcome);
        case Mode::Install:
            return Install(options.name, options.preview, options.json, outcome);
        case Mode::Restore:
            return Restore(options.name, options.second, options.preview, options.json, outcome);
        case Mode::Export:
            return Export(options.name, options.second, outcome);
        case Mode::History:
            return History(options.name, outcome);
        default:
            return;
        }
    } catch (const zentra_lock::LockNotGranted& error) {
        Done("");
        outcome.exitStatus = zentra::kExitBusy;
        outcome.result = "busy";
        outcome.message = error.getMessage() + " Nothing has been changed.";
    } catch (const zentra_run::SnapshotError& error) {
        Done("");
        outcome.exitStatus = zentra::kExitRefused;
        outcome.result = "refused";
        outcome.message = error.what();
    } catch (const quillet::DatabaseError& error) {
        Done("failed: " + std::string(error.what()));
        outcome.exitStatus = zentra::kExitLoaderFailed;
        outcome.decidedBy = "InstallNewDialPlan";
        outcome.result = "failed";
        outcome.message = "The CSV loader failed; nothing has been installed: " + std::string(error.what());
    } catch (const odbc::SQLException& error) {
        Done("");
        outcome.exitStatus = zentra::kExitError;
        outcome.result = "failed";
        outcome.message = "Database error: " + error.getMessage();
    } catch (const std::exception& error) {
        Done("");
        outcome.exitStatus = zentra::kExitError;
        outcome.result = "failed";
        outcome.message = std::string("Error: ") + error.what();
    }
}

// The SHA-256 of the delivered NAME.csv, read before the run rewrites it; ""
// when there is none.
std::string DeliveredDigest(const setup::Options& options)
{
    std::string text;
    int error = 0;
    if (options.mode != setup::Mode::Install ||
        dialplan::ReadFileText(options.name + ".csv", text, error) != dialplan::FileRead::Done)
        return "";
    return platform::Sha256Hex(text);
}

// The run's line in the dial plan's journal: every installation, upgrade and
// restore, refused or failed ones and previews included.
void Record(const setup::Options& options, const setup::Outcome& outcome, const std::string& digest)
{
    if (options.mode != setup::Mode::Install && options.mode != setup::Mode::Restore)
        return;
    const std::optional<zentra_run::DialPlanPaths> paths = zentra_run::DialPlanPaths::Of(options.name);
    if (!paths)
        return;
    zentra_run::JournalRecord record;
    record.program = "zentra-setup";
    record.operation = options.mode == setup::Mode::Restore ? "restore"
                       : outcome.road == "upgrade"          ? "upgrade"
                       : outcome.road == "files only"       ? "files only"
                                                            : "install";
    record.preview = options.preview;
    record.csvSha256 = digest;
    record.result = outcome.result;
    record.exitStatus = outcome.exitStatus;
    record.snapshot = outcome.run.snapshot;
    if (!zentra_run::AppendToJournal(*paths, record))
        std::cerr << "zentra-setup: warning: the run could not be added to the journal " << paths->journal() << "\n";
}

// The last word: for a person, unless the steps have said it already; for a
// preview what the run would change.
void Finish(const setup::Options& options, const setup::Outcome& outcome)
{
    using setup::Say;
    const bool done = outcome.exitStatus == zentra::kExitDone;
    if (!done && !outcome.message.empty() && outcome.mode != "connect-only")
        std::cerr << "zentra-setup: " << outcome.message << "\n";
    else if (done && !outcome.message.empty() && outcome.mode != "status" && outcome.mode != "connect-only")
        Say() << outcome.message << "\n";
    if (!options.preview)
        return;
    if (done) {
        Say() << "What the run would change:\n";
        setup::PrintChanges(Say(), outcome.run.changes);
        if (!outcome.run.ids.empty() || !outcome.run.changes.instructions.added.empty()) {
            Say() << "Digit-analysis IDs it would give:";
            if (!outcome.run.ids.empty())
                for (const auto& [name, id] : outcome.run.ids)
                    Say() << " " << name << " " << id << ";";
            else
                for (const auto& row : outcome.run.changes.instructions.added)
                    Say() << " " << row.at(1) << " " << row.at(2) << ";";
            Say() << "\n";
        }
    }
    Say() << "The run would exit with " << outcome.exitStatus << "; nothing has been changed.\n";
}

}  // namespace

int main(int argc, char** argv)
{
    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    setup::Options options;
    std::string problem;
    if (!setup::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, problem)) {
        std::cerr << "zentra-setup: " << problem << "\nTry 'zentra-setup --help'.\n";
        return zentra::kExitUsage;
    }
    if (options.mode == setup::Mode::Help) {
        std::cout << "zentra-setup " << ZENTRA_VERSION << "\n" << setup::kUsageText;
        return zentra::kExitDone;
    }
    if (options.mode == setup::Mode::Version) {
        std::cout << "zentra-setup " << ZENTRA_VERSION << "\n";
        return zentra::kExitDone;
    }

    // Standard output holds the JSON document, or the exported file.
    setup::SayToStandardError(options.json || (options.mode == setup::Mode::Export && options.second.empty()));
    setup::Outcome outcome;
    outcome.mode = ModeName(options);
    outcome.name = options.name;
    const std::string digest = DeliveredDigest(options);
    Run(options, outcome);
    Record(options, outcome, digest);
    Finish(options, outcome);
    if (options.json)
        std::cout << setup::ToJson(outcome).dump(2) << std::endl;
    return outcome.exitStatus;
}
