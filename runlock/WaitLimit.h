#pragma once

// How long a run waits for another run or session, and what it says while it
// waits. One limit bounds every wait of a run: for the machine's lock file, for
// the database's run lock, and for every lock that a statement of the run has
// to wait for.

#include <chrono>
#include <string>

namespace zentra_lock {

// ZENTRA_LOCK_TIMEOUT seconds when that is a whole number from 0 (do not wait)
// to 86400; 30 seconds otherwise.
std::chrono::milliseconds WaitLimit();

// A limit as messages write it: "3 s", "2.5 s".
std::string Seconds(std::chrono::milliseconds limit);

enum class WaitFor { MachineLockFile, Database };

// The line that tells a person what the run waits for, and for how long at most.
std::string WaitingNotice(WaitFor what);

// Says the notice on standard error, once a process for each kind of wait;
// true when it was said now.
bool TellWaiting(WaitFor what);

}  // namespace zentra_lock
