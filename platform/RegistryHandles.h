#pragma once

// Registry key handles of the stand-in: heap objects naming a root and a key path.

#if !defined(_WIN32)

#  include <string>

#  include "platform/RegistryStore.h"
#  include "platform/Win32.h"

namespace platform::registry {

// What a handle stands for.
struct Target {
    const Root* root = nullptr;
    std::string path;  // below the root, in stored case; "" for the root itself
    REGSAM access = 0;
};

// ERROR_SUCCESS; ERROR_INVALID_HANDLE for null, closed or unknown handles;
// ERROR_FILE_NOT_FOUND for a predefined root that the stand-in does not keep.
LONG Resolve(HKEY key, Target& target);

bool IsPredefined(HKEY key);

// A new handle (RegCloseKey frees it).
HKEY NewHandle(const Root* root, const std::string& path, REGSAM access);

// Frees a handle made by NewHandle; ERROR_INVALID_HANDLE for any other value.
LONG FreeHandle(HKEY key);

// True when access holds every right of needed.
inline bool Allows(REGSAM access, REGSAM needed) { return (access & needed) == needed; }

// Resolve, then ERROR_ACCESS_DENIED unless the handle holds the rights needed.
inline LONG ResolveFor(HKEY key, REGSAM needed, Target& target)
{
    const LONG code = Resolve(key, target);
    if (code != ERROR_SUCCESS)
        return code;
    return Allows(target.access, needed) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// base joined with a relative subkey path (null or "" is base itself). A leading
// backslash or an empty name is ERROR_BAD_PATHNAME; a name longer than 255
// characters or holding a line break (which the file cannot hold) is
// ERROR_INVALID_PARAMETER. One trailing backslash is allowed.
LONG JoinSubkey(const std::string& base, LPCSTR subKey, std::string& path);

}  // namespace platform::registry

#endif
