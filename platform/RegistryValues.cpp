#if !defined(_WIN32)

// Registry value functions of the stand-in: query, set, delete.

#  include <cstring>

#  include "platform/RegistryHandles.h"
#  include "platform/RegistryHive.h"
#  include "platform/RegistryStore.h"
#  include "platform/Win32.h"

using namespace platform::registry;

namespace {

// A line break cannot be written in a value name of the file.
bool WritableName(const std::string& name) { return name.find_first_of("\r\n") == std::string::npos; }

}  // namespace

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (data != nullptr && dataSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target target;
    LONG code = ResolveFor(key, KEY_QUERY_VALUE, target);
    if (code != ERROR_SUCCESS)
        return code;
    Hive hive;
    code = LoadHive(*target.root, hive);
    if (code != ERROR_SUCCESS)
        return code;
    const Key* self = hive.Find(target.path);
    if (self == nullptr)
        return ERROR_KEY_DELETED;
    const Value* value = self->FindValue(valueName != nullptr ? valueName : "");
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;

    const DWORD needed = static_cast<DWORD>(value->data.size());
    if (type != nullptr)
        *type = value->type;
    if (data != nullptr) {
        if (*dataSize < needed) {
            *dataSize = needed;  // the buffer is left as it was
            return ERROR_MORE_DATA;
        }
        if (needed > 0)
            std::memcpy(data, value->data.data(), needed);
    }
    if (dataSize != nullptr)
        *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (data == nullptr && dataSize > 0)
        return ERROR_INVALID_PARAMETER;
    const std::string name = valueName != nullptr ? valueName : "";
    if (!WritableName(name))
        return ERROR_INVALID_PARAMETER;
    Target target;
    const LONG code = ResolveFor(key, KEY_SET_VALUE, target);
    if (code != ERROR_SUCCESS)
        return code;
    const std::vector<BYTE> bytes(data, data + (data != nullptr ? dataSize : 0));

    return ChangeHive(*target.root, [&](Hive& hive, bool& changed) -> LONG {
        Key* self = hive.Find(target.path);
        if (self == nullptr)
            return ERROR_KEY_DELETED;
        if (Value* existing = self->FindValue(name)) {
            changed = existing->type != type || existing->data != bytes;
            existing->type = type;  // the name keeps the case it was first written in
            existing->data = bytes;
        } else {
            Value value;
            value.name = name;
            value.type = type;
            value.data = bytes;
            self->values.push_back(value);
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    const std::string name = valueName != nullptr ? valueName : "";
    Target target;
    LONG code = ResolveFor(key, KEY_SET_VALUE, target);
    if (code != ERROR_SUCCESS)
        return code;

    // A missing value is reported without taking the lock or writing the file.
    Hive hive;
    code = LoadHive(*target.root, hive);
    if (code != ERROR_SUCCESS)
        return code;
    const Key* self = hive.Find(target.path);
    if (self == nullptr)
        return ERROR_KEY_DELETED;
    if (self->FindValue(name) == nullptr)
        return ERROR_FILE_NOT_FOUND;

    return ChangeHive(*target.root, [&](Hive& current, bool& changed) -> LONG {
        Key* owner = current.Find(target.path);
        if (owner == nullptr)
            return ERROR_KEY_DELETED;
        for (auto it = owner->values.begin(); it != owner->values.end(); ++it) {
            if (SameName(it->name, name)) {
                owner->values.erase(it);
                changed = true;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    });
}

#endif
