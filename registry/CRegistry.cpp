#include "registry/CRegistry.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<registry_trace::Sink> g_traceSink{nullptr};

const size_t kBufferSize = 256;

// Copies a subkey path into the class's path buffer. A null path, or one that
// does not fit with its NUL, is refused before the registry is touched.
long CopyPath(const char* path, char (&buffer)[kBufferSize])
{
    if (path == nullptr)
        return ERROR_INVALID_PARAMETER;
    const size_t length = strnlen(path, kBufferSize);
    if (length >= kBufferSize)
        return ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(buffer, path, length + 1);
    return ERROR_SUCCESS;
}

// DWORD values travel as little-endian bytes, the registry's order.
void ToBytes(DWORD value, BYTE (&bytes)[4])
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD FromBytes(const BYTE (&bytes)[4])
{
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

}  // namespace

void RegistryTrace(const char* text)
{
    const registry_trace::Sink sink = g_traceSink.load();
    if (sink != nullptr && text != nullptr)
        sink(text);
}

namespace registry_trace {

Sink SetSink(Sink sink) { return g_traceSink.exchange(sink); }

}  // namespace registry_trace

CRegistry::CRegistry(HKEY rootKey) : m_IsSubOpen(0), m_hRootKey(rootKey), m_hSubKey(0) {}

CRegistry::~CRegistry()
{
    // A handle left by a direct CreateSubkey is released too, not leaked.
    if (m_IsSubOpen || m_hSubKey != 0)
        CloseSubkey();
}

long CRegistry::OpenSubkey(const char* subkeyPath)
{
    RegistryTrace("-->   CRegistry::OpenSubkey\r\n");
    char path[kBufferSize];
    long result = CopyPath(subkeyPath, path);
    if (result != ERROR_SUCCESS) {
        RegistryTrace("ERROR in RegOpenKeyEx\r\n");
        RegistryTrace("<--   ERROR CRegistry::OpenSubkey\r\n");
        return result;
    }
    if (m_IsSubOpen) {
        RegistryTrace("<--   ERROR CRegistry::OpenSubkey\r\n");
        return ERROR_CANTOPEN;
    }
    result = RegOpenKeyExA(m_hRootKey, path, 0, KEY_ALL_ACCESS, &m_hSubKey);
    if (result != ERROR_SUCCESS) {
        m_hSubKey = 0;
        RegistryTrace("Subkey did NOT already exist so attempting CreateSubkey\r\n");
        result = CreateSubkey(path);
        if (result != ERROR_SUCCESS) {
            RegistryTrace("ERROR in RegOpenKeyEx\r\n");
            RegistryTrace("<--   ERROR CRegistry::OpenSubkey\r\n");
            return result;
        }
    }
    m_IsSubOpen = 1;
    RegistryTrace("<--   CRegistry::OpenSubkey\r\n");
    return ERROR_SUCCESS;
}

long CRegistry::CloseSubkey()
{
    RegistryTrace("-->   CRegistry::CloseSubkey\r\n");
    if (m_hSubKey != 0) {
        const long result = RegCloseKey(m_hSubKey);
        if (result != ERROR_SUCCESS) {
            RegistryTrace("<--   ERROR   CRegistry::CloseSubkey\r\n");
            return result;
        }
    }
    m_IsSubOpen = 0;
    m_hSubKey = 0;
    RegistryTrace("<--   CRegistry::CloseSubkey\r\n");
    return ERROR_SUCCESS;
}

long CRegistry::CreateSubkey(const char* subkeyPath)
{
    RegistryTrace("-->   CRegistry::CreateSubkey\r\n");
    char path[kBufferSize];
    long result = CopyPath(subkeyPath, path);
    if (result != ERROR_SUCCESS) {
        RegistryTrace("<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n");
        return result;
    }
    if (m_IsSubOpen || m_hSubKey != 0) {
        RegistryTrace("ERROR     if ((!m_IsSubOpen) && (m_hSubKey == 0))\r\n");
        RegistryTrace("<--   CRegistry::CreateSubkey\r\n");
        return ERROR_BADKEY;
    }
    HKEY created = 0;
    DWORD disposition = 0;
    result = RegCreateKeyExA(m_hRootKey, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created,
                             &disposition);
    if (result != ERROR_SUCCESS) {
        RegistryTrace("<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n");
        return result;
    }
    m_hSubKey = created;
    RegistryTrace("<--   CRegistry::CreateSubkey\r\n");
    return ERROR_SUCCESS;
}

long CRegistry::GetString(char* buffer, const char* valueName)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    if (buffer == nullptr)
        return ERROR_INVALID_PARAMETER;
    // Read into a buffer of our own, so that the caller's is only written with a
    // whole, terminated text.
    BYTE data[kBufferSize];
    DWORD size = sizeof data;
    DWORD type = REG_SZ;
    const long result = RegQueryValueExA(m_hSubKey, valueName, nullptr, &type, data, &size);
    if ((result == ERROR_SUCCESS || result == ERROR_MORE_DATA) && type != REG_SZ)
        return -1;
    if (result != ERROR_SUCCESS)
        return result;
    // A string stored without its NUL gets one, when there is room for it.
    size_t length = 0;
    while (length < size && data[length] != 0)
        ++length;
    if (length == kBufferSize)
        return ERROR_MORE_DATA;
    data[length] = 0;
    std::memcpy(buffer, data, length + 1);
    return ERROR_SUCCESS;
}

long CRegistry::SetString(const char* text, const char* valueName)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    if (text == nullptr)
        return ERROR_SUCCESS;
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(m_hSubKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
}

long CRegistry::GetDWORD(DWORD* value, const char* valueName)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    RegistryTrace("-->   CRegistry::GetDWORD\r\n");
    long result = ERROR_INVALID_PARAMETER;
    if (value != nullptr) {
        BYTE data[4] = {0, 0, 0, 0};
        DWORD size = sizeof data;
        DWORD type = REG_DWORD;
        result = RegQueryValueExA(m_hSubKey, valueName, nullptr, &type, data, &size);
        if ((result == ERROR_SUCCESS || result == ERROR_MORE_DATA) && type != REG_DWORD)
            result = -1;
        if (result == ERROR_SUCCESS)
            *value = FromBytes(data);
    }
    RegistryTrace("<--   CRegistry::GetDWORD\r\n");
    return result;
}

long CRegistry::SetDWORD(DWORD value, const char* valueName)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    RegistryTrace("-->  CRegistry::SetDWORD\r\n");
    RegistryTrace("Subkey OPEN so attempting to set DWORD\r\n");
    BYTE data[4];
    ToBytes(value, data);
    const long result = RegSetValueExA(m_hSubKey, valueName, 0, REG_DWORD, data, sizeof data);
    RegistryTrace("<--  CRegistry::SetDWORD\r\n");
    return result;
}

long CRegistry::GetSubkeyCount(DWORD* count)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    return RegQueryInfoKeyA(m_hSubKey, nullptr, nullptr, nullptr, count, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr);
}

long CRegistry::EnumSubkey(DWORD index, char* buffer)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    if (buffer == nullptr)
        return ERROR_INVALID_PARAMETER;
    DWORD size = kBufferSize;
    return RegEnumKeyExA(m_hSubKey, index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
}

long CRegistry::DeleteValue(const char* valueName)
{
    if (m_IsSubOpen != 1)
        return ERROR_CANTOPEN;
    return RegDeleteValueA(m_hSubKey, valueName);
}

long CRegistry::DeleteSubkeyValue(const char* valueName, const char* subkeyPath)
{
    char path[kBufferSize];
    long result = CopyPath(subkeyPath, path);
    if (result != ERROR_SUCCESS)
        return result;
    HKEY key = 0;
    result = RegOpenKeyExA(m_hRootKey, path, 0, KEY_SET_VALUE, &key);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return result;
}

long CRegistry::DeleteSubkey(const char* subkeyPath)
{
    char path[kBufferSize];
    const long result = CopyPath(subkeyPath, path);
    if (result != ERROR_SUCCESS)
        return result;
    return RegDeleteKeyA(m_hRootKey, path);
}

int CRegistry::SubkeyExists(const char* subkeyPath)
{
    char path[kBufferSize];
    if (CopyPath(subkeyPath, path) != ERROR_SUCCESS)
        return 0;
    HKEY key = 0;
    if (RegOpenKeyExA(m_hRootKey, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS || key == 0)
        return 0;
    RegCloseKey(key);
    return 1;
}
