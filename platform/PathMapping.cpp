#if !defined(_WIN32)

#  include <cctype>
#  include <cerrno>
#  include <cstdlib>
#  include <pwd.h>
#  include <unistd.h>
#  include <vector>

#  include "platform/Platform.h"
#  include "platform/PosixErrors.h"
#  include "platform/Win32.h"

namespace platform {

namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    // No HOME (a service, a cron job): the account's home from the user database.
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0')
        return found->pw_dir;
    return ".";
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string Join(const std::string& folder, const std::string& rest)
{
    if (rest.empty())
        return folder;
    if (!folder.empty() && folder.back() == '/')
        return folder + rest;
    return folder + "/" + rest;
}

std::string WithoutLeadingSlashes(const std::string& path)
{
    const std::string::size_type first = path.find_first_not_of('/');
    return first == std::string::npos ? std::string() : path.substr(first);
}

}  // namespace

std::string PrefixFolder()
{
    const char* prefix = std::getenv("ZENTRA_PREFIX");
    if (prefix != nullptr && *prefix != '\0')
        return WithoutTrailingSlashes(prefix);
    return Join(WithoutTrailingSlashes(HomeFolder()), ".zentra");
}

std::string HostPath(const std::string& windowsPath)
{
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';

    const bool hasDrive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])) != 0;
    if (hasDrive) {
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
        return Join(Join(PrefixFolder(), std::string("drive_") + letter), WithoutLeadingSlashes(path.substr(2)));
    }
    if (windowsPath.compare(0, 2, "\\\\") == 0)  // \\server\share
        return Join(Join(PrefixFolder(), "unc"), WithoutLeadingSlashes(path));
    if (!windowsPath.empty() && windowsPath[0] == '\\')  // the root of the current drive
        return Join(Join(PrefixFolder(), "drive_c"), WithoutLeadingSlashes(path));
    return path;  // relative, or already a host path
}

FILE* OpenFile(const std::string& windowsPath, const char* mode)
{
    if (mode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Keep the standard mode letters; drop the Windows run-time's own ("t", "ccs=").
    std::string hostMode;
    for (const char* m = mode; *m != '\0' && *m != ','; ++m)
        if (std::string("rwa+bx").find(*m) != std::string::npos)
            hostMode += *m;

    const std::string hostPath = HostPath(windowsPath);
    FILE* file = std::fopen(hostPath.c_str(), hostMode.c_str());
    if (file == nullptr)
        SetLastError(detail::PathError(errno, hostPath));
    return file;
}

}  // namespace platform

#endif
