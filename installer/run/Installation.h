#pragma once

// An installation of a dial plan as the programs make it, on an installer
// object that DBConnection has connected: the install driver and the upgrade
// made as the run's options say (a preview, a report of what was done), the
// database part of a new installation in one transaction, and the deployment
// of the files. The prescribed methods of CZentraSetup run the same code with
// the plain options.

#include <optional>
#include <string>

#include "installer/run/DialPlanPaths.h"
#include "installer/run/RunReport.h"

class CZentraSetup;

namespace zentra_csv {
struct RewrittenFile;
}  // namespace zentra_csv

namespace zentra_run {

class RunScope;
class Session;

class Installation {
public:
    explicit Installation(CZentraSetup& setup) : setup_(setup) {}

    // DialPlanMain: the name, the log and the delivered file checked, the
    // dial plan looked up, and an installed one upgraded. A preview shows no
    // message box (the report keeps them), logs to its own log or none, and
    // rolls the upgrade back once every change is made.
    int main(const std::string& name, const RunOptions& options);
    // UpgradeDialPlan: the file read, then in one transaction under the run
    // lock the installed rows read, the upgrade refused while something that
    // the new version drops is in use, and the difference applied.
    int upgrade(const std::string& name, const RunOptions& options);
    // After main gave kNewInstallation: free digit-analysis IDs chosen, the
    // file rewritten in memory and loaded, all in one transaction under the
    // run lock; only after the commit is the rewritten file written as
    // NAME.csv (the delivered one kept as NAME_new.csv) and copied into the
    // dial plan's folder. A zentra::NewInstallationResult; a failed load
    // throws quillet::DatabaseError with everything rolled back.
    int installNew(const std::string& name, const RunOptions& options);
    // CopyDialPlanFile: the files deployed after a new installation or an
    // upgrade, and the user told.
    void deploy();
    // On a machine that is not the publisher: the files deployed alone,
    // logged to the dial plan's install log.
    void deployFilesOnly(const DialPlanPaths& paths);

private:
    // The upgrade's refusal, when something it drops is in use: told, its
    // blocking rows listed; nothing when it goes on.
    std::optional<int> refusal(Session& session, RunScope& run);
    void applyUpgrade();
    // The rewritten file loaded in the run's transaction; the IDs given and
    // the rows added go to the report.
    void loadRewrittenFile(Session& session, const DialPlanPaths& paths, const zentra_csv::RewrittenFile& rewrite,
                           RunScope& run);

    CZentraSetup& setup_;
};

}  // namespace zentra_run
