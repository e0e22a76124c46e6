#if !defined(_WIN32)

#  include "platform/Platform.h"
#  include "platform/PosixFiles.h"
#  include "platform/Win32.h"

// Creates the folders of dirPath up to its last separator; what follows it is a
// file name (or nothing, when the path ends with a backslash).
BOOL MakeSureDirectoryPathExists(PCSTR dirPath)
{
    if (dirPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = platform::HostPath(dirPath);
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return TRUE;  // a bare name: no folder to make
    const DWORD error = platform::detail::CreateFolders(path.substr(0, slash));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

#endif
