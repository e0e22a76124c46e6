#include "installer/run/Installation.h"

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/References.h"
#include "installer/run/RunScope.h"
#include "installer/run/Session.h"
#include "platform/Platform.h"

namespace zentra_run {

namespace {

// Refuses an installation before anything is touched.
int RefuseInstallation(const std::string& reason)
{
    ShowInstallerMessage(reason, "Installation Failed");
    return zentra::kRefusedBeforeChange;
}

// Why the delivered file NAME.csv cannot be installed as the dial plan name,
// or "" when it can.
std::string DeliveredFileProblem(const DialPlanPaths& paths)
{
    dialplan::DialPlanFile file;
    try {
        file.Read(paths.deliveredCsv());
        file.CheckInstallable(paths.name());
    } catch (const dialplan::FileError& error) {
        return error.what();
    }
    return "";
}

bool CanAppend(const std::string& path)
{
    FILE* probe = platform::OpenFile(path, "a");
    if (probe == nullptr)
        return false;
    std::fclose(probe);
    return true;
}

// The rows that keep the upgrade from dropping the rows of pkids, logged and
// added to the report.
void ListUsers(Session& session, const Reference& reference, const std::vector<std::string>& pkids, RunReport* report)
{
    for (const std::string& pkid : pkids) {
        for (const BlockingRow& row : UsersOf(session, reference, pkid)) {
            session.log(row.text() + "\n");
            if (report != nullptr)
                report->blocking.push_back(row);
        }
    }
}

}  // namespace

int Installation::main(const std::string& name, const RunOptions& options)
{
    // A preview shows no message box: it tells what it would show.
    MessageDeferral messages(options.report != nullptr ? &options.report->messages : nullptr, !options.preview);
    std::string problem;
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name, &problem);
    if (!paths)
        return options.decided("DialPlanMain", RefuseInstallation("The dial plan cannot be installed. " + problem));
    const std::string logPath = options.ownLog ? paths->installLog() : options.logPath;
    if (logPath.size() >= kPathBufferSize)
        return options.decided("DialPlanMain", RefuseInstallation("The dial plan cannot be installed. Its log path " +
                                                                  logPath + " is too long."));
    if (options.ownLog && !CanAppend(logPath))
        return options.decided("DialPlanMain",
                               RefuseInstallation("The dial plan cannot be installed. Its log file " + logPath +
                                                  " cannot be opened for appending; the folder must exist and be "
                                                  "writable."));
    Session session(setup_, Session::Log::Closed);
    session.setLogPath(logPath);
    if (options.report != nullptr)
        options.report->logPath = logPath;

    // Both roads work from the delivered file, and an upgrade deletes whatever
    // it does not list: a damaged file is refused before anything happens.
    const std::string fileProblem = DeliveredFileProblem(*paths);
    if (!fileProblem.empty()) {
        session.openLog();
        session.log("The dial plan file is refused: " + fileProblem + "\n");
        session.closeLog();
        return options.decided("DialPlanMain",
                               RefuseInstallation("The dial plan file " + paths->deliveredCsv() +
                                                  " cannot be installed; nothing has been changed.\n" + fileProblem));
    }
    if (setup_.CheckNewDialPlan(name))
        return options.decided("CheckNewDialPlan", zentra::kNewInstallation);
    return upgrade(name, options);
}

int Installation::upgrade(const std::string& name, const RunOptions& options)
{
    // DialPlanMain has checked the file: it is whole and well formed.
    setup_.m_csvPath = DialPlanPaths(name).deliveredCsv();
    setup_.CSVReadDialPlanDescription();
    setup_.CSVReadDialPlanTagTable();
    setup_.CSVReadDigitDiscardInstructionTable();
    setup_.CSVReadDigitDiscardInstructionMemberTable();

    // Everything from here on is decided on what this transaction sees, and
    // no other run changes it meanwhile.
    Session session(setup_, Session::Log::Closed);
    RunScope run(session, options);
    const std::string& pkid = setup_.m_dialPlanPkid;
    if (!run.holdDialPlan(pkid)) {
        session.openLog();
        session.log("The dial plan " + name +
                    " is no longer installed: another run has removed it since it was looked up. Nothing has been "
                    "changed.\n");
        return run.decided("UpgradeDialPlan", zentra::kRemovedMeanwhile);
    }
    run.holdRoutes();
    run.rowsBefore(pkid);
    if (const std::optional<int> refused = refusal(session, run))
        return *refused;
    run.snapshot(DialPlanPaths(name), "upgrade", pkid);
    applyUpgrade();
    run.rowsAfter(pkid);
    return run.finish("UpgradeDialPlan", zentra::kUpgraded);
}

std::optional<int> Installation::refusal(Session& session, RunScope& run)
{
    setup_.DBReadDialPlanTagTable();
    setup_.DBReadDigitDiscardInstructionTable();

    setup_.ObsoleteDialPlanTag();
    setup_.ObsoleteTagInUse();
    const auto refused = [&](const Reference& users, const std::vector<std::string>& pkids, const char* step,
                             int result) {
        session.openLog();
        ListUsers(session, users, pkids, run.report());
        session.closeLog();
        return run.decided(step, result);
    };
    if (setup_.CheckObsoleteTagInUse() == zentra::kTagInUse)
        return refused(kTagInRouteFilter, setup_.m_obsoleteTagPkids, "CheckObsoleteTagInUse",
                       zentra::kUpgradeRefusedByTag);

    setup_.ObsoleteDigitDiscardInstruction();
    setup_.ObsoleteDDIInUse_RP_TP();
    if (setup_.CheckObsoleteDDIInUse() == zentra::kInstructionInUse)
        return refused(kInstructionInPattern, setup_.m_obsoleteDdiPkids, "CheckObsoleteDDIInUse",
                       zentra::kUpgradeRefusedByInstruction);
    setup_.ObsoleteDDIInUse_RL();
    if (setup_.CheckObsoleteDDIInUse() == zentra::kInstructionInUse)
        return refused(kInstructionInRouteList, setup_.m_obsoleteDdiPkids, "CheckObsoleteDDIInUse",
                       zentra::kUpgradeRefusedByInstruction);
    return std::nullopt;
}

void Installation::applyUpgrade()
{
    setup_.DeleteObsoleteDDI_NOT_IN_USE();
    setup_.NewDialPlanTag();
    setup_.UpdateDialPlanDescription();
    setup_.UpdatePredefinedDDI();
    setup_.DeleteObsoleteTags();
    setup_.InsertNewTags();
    setup_.NewDigitDiscardInstructions();
    setup_.InsertNewDigitDiscardInstructions();
    setup_.InsertDDIMPredefinedDDI();
    setup_.InsertDDIMNewDDI();
}

void Installation::deploy() { setup_.CopyDialPlanFile(); }

void Installation::deployFilesOnly(const DialPlanPaths& paths)
{
    Session(setup_, Session::Log::Closed).setLogPath(paths.installLog());
    setup_.m_csvPath = paths.deliveredCsv();
    setup_.CopyDialPlanFile();
}

}  // namespace zentra_run
