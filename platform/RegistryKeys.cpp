#if !defined(_WIN32)

// Registry key functions of the stand-in: open, create, close, delete, enumerate.

#  include <algorithm>
#  include <cstring>

#  include "platform/RegistryHandles.h"
#  include "platform/RegistryHive.h"
#  include "platform/RegistryStore.h"
#  include "platform/Win32.h"

using namespace platform::registry;

namespace {

// Loads the hive of target; ERROR_KEY_DELETED when target's own key is gone.
LONG LoadTarget(const Target& target, Hive& hive)
{
    const LONG result = LoadHive(*target.root, hive);
    if (result != ERROR_SUCCESS)
        return result;
    return hive.Find(target.path) != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Resolves key and the path of subKey below it.
LONG ResolveSubkey(HKEY key, LPCSTR subKey, Target& target, std::string& path)
{
    const LONG code = Resolve(key, target);
    if (code != ERROR_SUCCESS)
        return code;
    return JoinSubkey(target.path, subKey, path);
}

// Resolves key with the rights needed and loads its hive.
LONG LoadKey(HKEY key, REGSAM needed, Target& target, Hive& hive)
{
    const LONG code = ResolveFor(key, needed, target);
    if (code != ERROR_SUCCESS)
        return code;
    return LoadTarget(target, hive);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Target target;
    std::string path;
    LONG code = ResolveSubkey(key, subKey, target, path);
    if (code != ERROR_SUCCESS)
        return code;
    Hive hive;
    code = LoadTarget(target, hive);
    if (code != ERROR_SUCCESS)
        return code;
    const Key* found = hive.Find(path);
    if (found == nullptr)
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(target.root, found->path, access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/, DWORD /*options*/, REGSAM access,
                     LPSECURITY_ATTRIBUTES /*security*/, PHKEY result, LPDWORD disposition)
{
    if (result == nullptr || subKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Target target;
    std::string path;
    LONG code = ResolveSubkey(key, subKey, target, path);
    if (code != ERROR_SUCCESS)
        return code;

    // An existing key is opened without taking the lock or writing the file.
    Hive hive;
    code = LoadTarget(target, hive);
    if (code != ERROR_SUCCESS)
        return code;
    std::string stored;
    bool created = false;
    if (const Key* found = hive.Find(path)) {
        stored = found->path;
    } else {
        if (!Allows(target.access, KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        code = ChangeHive(*target.root, [&](Hive& current, bool& changed) -> LONG {
            if (current.Find(target.path) == nullptr)
                return ERROR_KEY_DELETED;
            stored = current.Create(path, created).path;
            changed = created;
            return ERROR_SUCCESS;
        });
        if (code != ERROR_SUCCESS)
            return code;
    }
    if (disposition != nullptr)
        *disposition = static_cast<DWORD>(created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY);
    *result = NewHandle(target.root, stored, access);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) { return FreeHandle(key); }

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    if (subKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target target;
    std::string path;
    LONG code = ResolveSubkey(key, subKey, target, path);
    if (code != ERROR_SUCCESS)
        return code;
    if (path.empty())
        return ERROR_ACCESS_DENIED;  // a root is never deleted

    Hive hive;
    code = LoadTarget(target, hive);
    if (code != ERROR_SUCCESS)
        return code;
    if (hive.Find(path) == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return ChangeHive(*target.root, [&](Hive& current, bool& changed) -> LONG {
        if (current.Find(path) == nullptr)
            return ERROR_FILE_NOT_FOUND;
        if (current.HasChildren(path))
            return ERROR_ACCESS_DENIED;  // as Windows: leaves first
        current.Erase(path);
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD keyClassSize, LPDWORD /*reserved*/, LPDWORD subKeys,
                      LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen,
                      LPDWORD maxValueLen, LPDWORD securityDescriptorSize, PFILETIME /*lastWriteTime*/)
{
    if (keyClass != nullptr && keyClassSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target target;
    Hive hive;
    const LONG code = LoadKey(key, KEY_QUERY_VALUE, target, hive);
    if (code != ERROR_SUCCESS)
        return code;
    const Key& self = *hive.Find(target.path);
    const std::vector<const Key*> children = hive.Children(target.path);

    DWORD longestSubkey = 0;
    for (const Key* child : children)
        longestSubkey = std::max(longestSubkey, static_cast<DWORD>(LeafName(child->path).size()));
    DWORD longestName = 0;
    DWORD largestData = 0;
    for (const Value& value : self.values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        largestData = std::max(largestData, static_cast<DWORD>(value.data.size()));
    }
    // Keys of the stand-in have no class.
    if (keyClass != nullptr && *keyClassSize > 0)
        keyClass[0] = '\0';
    if (keyClassSize != nullptr)
        *keyClassSize = 0;
    if (subKeys != nullptr)
        *subKeys = static_cast<DWORD>(children.size());
    if (maxSubKeyLen != nullptr)
        *maxSubKeyLen = longestSubkey;
    if (maxClassLen != nullptr)
        *maxClassLen = 0;
    if (values != nullptr)
        *values = static_cast<DWORD>(self.values.size());
    if (maxValueNameLen != nullptr)
        *maxValueNameLen = longestName;
    if (maxValueLen != nullptr)
        *maxValueLen = largestData;
    if (securityDescriptorSize != nullptr)
        *securityDescriptorSize = 0;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD /*reserved*/, LPSTR keyClass,
                   LPDWORD keyClassSize, PFILETIME /*lastWriteTime*/)
{
    if (name == nullptr || nameSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (keyClass != nullptr && keyClassSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target target;
    Hive hive;
    const LONG code = LoadKey(key, KEY_ENUMERATE_SUB_KEYS, target, hive);
    if (code != ERROR_SUCCESS)
        return code;
    const std::vector<const Key*> children = hive.Children(target.path);
    if (index >= children.size())
        return ERROR_NO_MORE_ITEMS;

    const std::string leaf = LeafName(children[index]->path);
    if (leaf.size() + 1 > *nameSize)
        return ERROR_MORE_DATA;  // name and size untouched
    std::memcpy(name, leaf.c_str(), leaf.size() + 1);
    *nameSize = static_cast<DWORD>(leaf.size());
    if (keyClass != nullptr && *keyClassSize > 0)
        keyClass[0] = '\0';
    if (keyClassSize != nullptr)
        *keyClassSize = 0;
    return ERROR_SUCCESS;
}

#endif
