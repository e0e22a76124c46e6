#pragma once

// The files that hold the registry roots of the stand-in, and safe changes to them.

#if !defined(_WIN32)

#  include <functional>
#  include <string>

#  include "platform/RegistryHive.h"
#  include "platform/Win32.h"

namespace platform::registry {

struct Root {
    const char* name;      // as written in key lines, e.g. "HKEY_LOCAL_MACHINE"
    const char* fileName;  // in the prefix folder, e.g. "system.reg"
};

// The root kept for a predefined key, or null when the stand-in has none.
const Root* RootOf(HKEY predefined);

// Reads the root's file; a missing file is an empty hive. ERROR_SUCCESS,
// ERROR_BADDB for a malformed file, or the code of a failed read.
LONG LoadHive(const Root& root, Hive& hive);

// A change: returns a code; sets changed when the hive must be written back.
using Change = std::function<LONG(Hive& hive, bool& changed)>;

// Applies a change under an exclusive lock of the root's file: the file is read
// again under the lock, changed, and replaced atomically, so that changes of
// other processes are never lost. A malformed file is left as it is.
LONG ChangeHive(const Root& root, const Change& change);

}  // namespace platform::registry

#endif
