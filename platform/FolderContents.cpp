#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dirent.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

#include "platform/Platform.h"

namespace platform {

#if defined(_WIN32)

std::vector<std::string> FolderEntries(const std::string& windowsFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((windowsFolder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

bool RemoveFolderTree(const std::string& windowsFolder)
{
    for (const std::string& name : FolderEntries(windowsFolder)) {
        const std::string path = windowsFolder + "\\" + name;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            RemoveFolderTree(path);
        else
            DeleteFileA(path.c_str());
    }
    return RemoveDirectoryA(windowsFolder.c_str()) != 0;
}

#else

namespace {

std::vector<std::string> Entries(const std::string& hostFolder)
{
    std::vector<std::string> names;
    DIR* folder = ::opendir(hostFolder.c_str());
    if (folder == nullptr)
        return names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

bool RemoveHostTree(const std::string& hostFolder)
{
    for (const std::string& name : Entries(hostFolder)) {
        const std::string path = hostFolder + "/" + name;
        struct stat st;
        // A link is removed itself, never followed.
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            RemoveHostTree(path);
        else
            ::unlink(path.c_str());
    }
    return ::rmdir(hostFolder.c_str()) == 0;
}

}  // namespace

std::vector<std::string> FolderEntries(const std::string& windowsFolder) { return Entries(HostPath(windowsFolder)); }

bool RemoveFolderTree(const std::string& windowsFolder) { return RemoveHostTree(HostPath(windowsFolder)); }

#endif

}  // namespace platform
