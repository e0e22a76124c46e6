#pragma once

// Short ways to write and read HKEY_LOCAL_MACHINE values in tests.

#include <cstring>
#include <string>
#include <vector>

#include "platform/Win32.h"

namespace zentra_test_local {

// A key handle closed when the object goes.
class Key {
public:
    Key() = default;
    ~Key() {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

inline LONG SetValue(const char* path, const char* name, DWORD type, const std::vector<BYTE>& data) {
    Key key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, key.Out(), nullptr);
    if (result != ERROR_SUCCESS) return result;
    return RegSetValueExA(key.Get(), name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

inline LONG SetString(const char* path, const char* name, const std::string& text) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    return SetValue(path, name, REG_SZ, data);
}

inline LONG SetDword(const char* path, const char* name, DWORD value) {
    return SetValue(path, name, REG_DWORD,
                    {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)});
}

// Reads any value: its type and bytes; the result is the registry's code.
inline LONG GetValue(const char* path, const char* name, DWORD& type, std::vector<BYTE>& data) {
    Key key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Out());
    if (result != ERROR_SUCCESS) return result;
    DWORD size = 0;
    result = RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    data.assign(size, 0);
    return RegQueryValueExA(key.Get(), name, nullptr, &type, data.data(), &size);
}

// The text of a REG_SZ value, or "<error N>" / "<type N>".
inline std::string GetString(const char* path, const char* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    const LONG result = GetValue(path, name, type, data);
    if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
    if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
    if (data.empty() || data.back() != 0) return "<unterminated>";
    return std::string(data.begin(), data.end() - 1);
}

inline std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

}  // namespace zentra_test_local
