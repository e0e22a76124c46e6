#pragma once

// What a run that was killed part way leaves in a dial plan's folders: the
// hidden temporary copies of the files it was deploying, and the hidden folder
// of a snapshot it was writing. Neither is ever taken for the real thing; the
// next run removes them.

#include "installer/run/DialPlanPaths.h"

namespace zentra_run {

// Only for a run that holds the machine's run lock: no other run's copy or
// snapshot can be under way then.
void RemoveLeftovers(const DialPlanPaths& paths);

}  // namespace zentra_run
