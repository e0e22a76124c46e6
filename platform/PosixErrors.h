#pragma once

// Translation of errno values into the Windows codes the stand-in reports.

#if !defined(_WIN32)

#  include <string>

#  include "platform/Win32.h"

namespace platform::detail {

// The Windows code for an errno value, without regard to any path.
DWORD ErrorFromErrno(int err);

// The Windows code for an errno value from an operation on hostPath: a missing
// entry is ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD PathError(int err, const std::string& hostPath);

// True when the folder holding hostPath exists.
bool ParentFolderExists(const std::string& hostPath);

}  // namespace platform::detail

#endif
