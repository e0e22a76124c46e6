#pragma once

// The lock that every run that changes the configuration database takes first:
// a new installation (the choice of free IDs and the load), an upgrade, a
// removal, and the loader called on its own. Runs then go one at a time, and
// each decides on what it sees inside its own transaction.

#include <chrono>
#include <functional>

#include "odbc/odbc.h"

namespace quillet {

// How long a run waits for the lock: ZENTRA_LOCK_TIMEOUT seconds when that is
// set to a number (0 allowed: do not wait), 30 seconds otherwise.
std::chrono::milliseconds RunLockTimeout();

// The lock, with its timeout; waiting is called once when the run has to wait.
odbc::RunLock ConfigurationDatabaseLock(std::function<void()> waiting);

// The line that tells a person why a run waits.
std::string WaitingNotice();

}  // namespace quillet
