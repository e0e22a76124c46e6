#if !defined(_WIN32)

#  include "platform/RegistryHandles.h"

#  include <cstdint>
#  include <mutex>
#  include <unordered_set>

// The object behind an HKEY of the stand-in.
struct ZentraRegistryKey {
    const platform::registry::Root* root;
    std::string path;
    REGSAM access;
};

namespace platform::registry {

namespace {

// Live handles, so that a closed or foreign handle is refused rather than followed.
std::mutex g_handlesMutex;
std::unordered_set<HKEY> g_handles;

const std::string::size_type kMaxKeyName = 255;

}  // namespace

bool IsPredefined(HKEY key)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(key);
    return value >= 0x80000000u && value <= 0x80000006u;
}

LONG Resolve(HKEY key, Target& target)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (IsPredefined(key)) {
        target.root = RootOf(key);
        if (target.root == nullptr)
            return ERROR_FILE_NOT_FOUND;
        target.path.clear();
        target.access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    if (g_handles.count(key) == 0)
        return ERROR_INVALID_HANDLE;
    target.root = key->root;
    target.path = key->path;
    target.access = key->access;
    return ERROR_SUCCESS;
}

HKEY NewHandle(const Root* root, const std::string& path, REGSAM access)
{
    HKEY key = new ZentraRegistryKey{root, path, access};
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    g_handles.insert(key);
    return key;
}

LONG FreeHandle(HKEY key)
{
    if (key == nullptr || IsPredefined(key))
        return ERROR_INVALID_HANDLE;
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        if (g_handles.erase(key) == 0)
            return ERROR_INVALID_HANDLE;
    }
    delete key;
    return ERROR_SUCCESS;
}

LONG JoinSubkey(const std::string& base, LPCSTR subKey, std::string& path)
{
    std::string relative = subKey != nullptr ? subKey : "";
    if (!relative.empty() && relative[0] == '\\')
        return ERROR_BAD_PATHNAME;
    if (!relative.empty() && relative.back() == '\\')
        relative.pop_back();
    path = base;
    if (relative.empty())
        return ERROR_SUCCESS;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = relative.find('\\', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(start, end - start);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxKeyName || name.find_first_of("\r\n") != std::string::npos)
            return ERROR_INVALID_PARAMETER;
        if (!path.empty())
            path += '\\';
        path += name;
        if (end == relative.size())
            return ERROR_SUCCESS;
        start = end + 1;
    }
}

}  // namespace platform::registry

#endif
