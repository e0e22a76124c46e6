#pragma once

// What every run that changes a dial plan is made of, made once: the message
// boxes kept until the run's transaction has ended, the transaction under the
// database's run lock, what the report tells of it, and its end, committed or,
// for a preview, rolled back. The new installation, the upgrade and the
// removal all run in one.

#include <string>

#include "installer/run/DialPlanPaths.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/PlanRows.h"
#include "installer/run/RunReport.h"
#include "runlock/LockedTransaction.h"

namespace zentra_run {

class Session;

class RunScope {
public:
    // Opens the transaction of a run made as options say; a wait for the run
    // lock is told on standard error and in the log of session, the entry's.
    RunScope(Session& session, const RunOptions& options);
    // Rolls back a run that has not finished.
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

    const RunOptions& options() const { return options_; }
    RunReport* report() const { return options_.report; }

    // Notes the step whose result decides how the run ends; the result. A run
    // left this way rolls back.
    int decided(const char* step, int result) const { return options_.decided(step, result); }

    // Holds the installed dial plan's row against other sessions until the run
    // ends; false when it is gone. Holds the routes, which the reference
    // checks read, still against writes until the run ends.
    bool holdDialPlan(const std::string& pkid);
    void holdRoutes();

    // When the report tells changes: the dial plan's rows before the changes,
    // then after them (pkid may name a dial plan that the run adds).
    void rowsBefore(const std::string& pkid);
    void rowsAfter(const std::string& pkid);

    // Saves what the run is about to replace, before its first change: the
    // rows of the dial plan pkid as this transaction sees them (none when pkid
    // is empty: not installed) and its deployed files. Its id, also in the
    // report; a preview changes nothing and takes none. Throws SnapshotError.
    std::string snapshot(const DialPlanPaths& paths, const char* operation, const std::string& pkid);

    // Ends the run as decided by step: commits, or for a preview rolls back.
    int finish(const char* step, int result);

private:
    Session& session_;
    const RunOptions& options_;
    // First made and last gone: its boxes show once the transaction has ended.
    MessageDeferral deferral_;
    zentra_lock::LockedTransaction transaction_;
    PlanRows before_;
};

}  // namespace zentra_run
