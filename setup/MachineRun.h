#pragma once

// What the runs of zentra-setup that change a dial plan share: the machine's
// run lock from their first change to their last, and the connection.

#include "installer/CZentraSetup.h"
#include "installer/run/DialPlanPaths.h"
#include "runlock/MachineLock.h"
#include "setup/Outcome.h"

namespace setup {

// Takes the machine's run lock (a preview takes none: it changes nothing) and
// removes what killed runs left behind; false, the outcome decided, when
// another run holds it longer than the wait allows.
bool HoldMachine(zentra_lock::MachineLock& lock, const zentra_run::DialPlanPaths& paths, bool preview,
                 Outcome& outcome);

// Connects, telling the step; a failed connection decides the outcome. The
// connection's result.
long Connect(CZentraSetup& setup, Outcome& outcome);

}  // namespace setup
