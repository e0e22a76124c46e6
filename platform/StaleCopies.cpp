#include <cctype>
#include <string>

#if !defined(_WIN32)
#  include <dirent.h>
#  include <unistd.h>

#  include "platform/PosixFiles.h"
#endif

#include "platform/Platform.h"

namespace platform {

#if defined(_WIN32)

int RemoveStaleCopies(const std::string&) { return 0; }

#else

namespace {

// Whether name is one of the temporary names of a copy: the prefix, then six
// of mkostemp's letters and digits.
bool IsTemporaryName(const std::string& name, const std::string& prefix)
{
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (std::size_t k = prefix.size(); k < name.size(); ++k)
        if (std::isalnum(static_cast<unsigned char>(name[k])) == 0)
            return false;
    return true;
}

}  // namespace

int RemoveStaleCopies(const std::string& windowsTarget)
{
    const std::string target = HostPath(windowsTarget);
    const std::string folder = detail::FolderOf(target);
    const std::string prefix = detail::TempPrefix(target).substr(folder.size() + 1);
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (IsTemporaryName(name, prefix) && ::unlink((folder + "/" + name).c_str()) == 0)
            ++removed;
    }
    ::closedir(entries);
    return removed;
}

#endif

}  // namespace platform
