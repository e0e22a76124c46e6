#include "runlock/MachineLock.h"

#include "runlock/WaitLimit.h"

namespace zentra_lock {

MachineLock::Result MachineLock::acquire()
{
    switch (lock_.acquire(kMachineLockFile, WaitLimit(), [] { TellWaiting(WaitFor::MachineLockFile); })) {
    case platform::FileLock::Result::Held:
        return Result::Held;
    case platform::FileLock::Result::Busy:
        return Result::Busy;
    case platform::FileLock::Result::NoFile:
        break;
    }
    return Result::NoFile;
}

}  // namespace zentra_lock
