#pragma once

// What the runs of zentra-setup that change a dial plan share: the check of
// the name, the machine's run lock from their first change to their last, the
// connection, and the options of the installer's steps.

#include <optional>
#include <string>

#include "installer/CZentraSetup.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/RunReport.h"
#include "runlock/MachineLock.h"
#include "setup/Outcome.h"

namespace setup {

// The dial plan's paths, telling the step; a name that cannot be used decides
// the outcome.
std::optional<zentra_run::DialPlanPaths> CheckName(const std::string& name, Outcome& outcome);

// Takes the machine's run lock (a preview takes none: it changes nothing) and
// removes what killed runs left behind; false, the outcome decided, when
// another run holds it longer than the wait allows.
bool HoldMachine(zentra_lock::MachineLock& lock, const zentra_run::DialPlanPaths& paths, bool preview,
                 Outcome& outcome);

// Connects, telling the step; a failed connection decides the outcome. The
// connection's result.
long Connect(CZentraSetup& setup, Outcome& outcome);

// The options of the installer's steps: a preview logs to NAME_preview.txt in
// the dial plan's folder when that exists; readChanges has the run read the
// changes it makes into the outcome.
zentra_run::RunOptions StepOptions(const zentra_run::DialPlanPaths& paths, bool preview, bool readChanges,
                                   Outcome& outcome);

}  // namespace setup
