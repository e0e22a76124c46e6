#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#  include <winsock2.h>
#  include <windows.h>
#else
#  include <sys/stat.h>
#  include <unistd.h>
#endif

#include "platform/Platform.h"

namespace platform {

bool IsFolder(const std::string& windowsPath)
{
#if defined(_WIN32)
    const DWORD attributes = GetFileAttributesA(windowsPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat st;
    return ::stat(HostPath(windowsPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool IsReadableFile(const std::string& windowsPath)
{
    FILE* file = OpenFile(windowsPath, "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return "";
    return name;
}

void SetProcessEnvironment(const std::string& name, const std::string& value)
{
#if defined(_WIN32)
    // The run-time's own copy of the environment, which getenv reads.
    _putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

}  // namespace platform
