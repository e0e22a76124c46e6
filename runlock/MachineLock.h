#pragma once

// The machine's run lock: the programs of one machine hold it from their first
// change to their last, database and deployed files together, so that the
// files they deploy or delete agree with the database, and that no run removes
// a file that another run is still writing.

#include "platform/Platform.h"

namespace zentra_lock {

// The lock file lies beside the dial plans' folders, where no dial plan's
// folder can take its name.
constexpr const char* kMachineLockFile = "C:\\Program Files\\Norvane\\Orvilex\\Zentra.lock";

class MachineLock {
public:
    enum class Result { Held, Busy, NoFile };

    // Takes the lock, waiting at most the wait limit while another run holds
    // it, and telling the wait once.
    Result acquire();

private:
    platform::FileLock lock_;
};

}  // namespace zentra_lock
