#pragma once

// A private, empty prefix folder for one test, and short ways to write and read
// HKEY_LOCAL_MACHINE values. Files are read and written with the shared helpers.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Win32.h"
#include "support/TestSupport.h"

namespace zentra_test_local {

using zentra_test::FileExists;
using zentra_test::ReadFile;
using zentra_test::WriteFile;

// Sets (or, with nullptr, unsets) an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value)
    {
        if (value != nullptr)
            ::setenv(m_name.c_str(), value, 1);
        else
            ::unsetenv(m_name.c_str());
    }
    std::string m_name;
    std::optional<std::string> m_old;
};

// An empty prefix folder (also the current folder) that ZENTRA_PREFIX names
// while the object lives; unlike zentra_test::Prefix it maps no ODBC driver.
class ScopedPrefix {
public:
    const std::string& Path() const { return m_folder.path(); }
    std::string operator/(const std::string& relative) const { return Path() + "/" + relative; }

private:
    zentra_test::WorkFolder m_folder;
    ScopedEnv m_env{"ZENTRA_PREFIX", m_folder.path().c_str()};
};

// The names in a folder, sorted.
inline std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A key handle closed when the object goes.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

inline LONG OpenKey(const char* path, Key& key, REGSAM access = KEY_ALL_ACCESS)
{
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key.Out());
}

inline LONG CreateKey(const char* path, Key& key, DWORD* disposition = nullptr)
{
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key.Out(), disposition);
}

inline LONG SetValue(const char* path, const char* name, DWORD type, const std::vector<BYTE>& data)
{
    Key key;
    const LONG result = CreateKey(path, key);
    if (result != ERROR_SUCCESS)
        return result;
    return RegSetValueExA(key.Get(), name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

inline LONG SetString(const char* path, const char* name, const std::string& text)
{
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    return SetValue(path, name, REG_SZ, data);
}

// A value's type and bytes; on failure the type is 0xFFFFFFFF and *code tells why.
using Typed = std::pair<DWORD, std::vector<BYTE>>;
inline Typed Value(const char* path, const char* name, LONG* code = nullptr)
{
    Key key;
    Typed value;
    DWORD size = 0;
    LONG result = OpenKey(path, key, KEY_READ);
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExA(key.Get(), name, nullptr, &value.first, nullptr, &size);
    value.second.resize(size);
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExA(key.Get(), name, nullptr, &value.first, value.second.data(), &size);
    if (code != nullptr)
        *code = result;
    return result == ERROR_SUCCESS ? value : Typed(0xFFFFFFFFu, {});
}

// The text of a REG_SZ value, or "<error N>" / "<type N>" / "<unterminated>".
inline std::string GetString(const char* path, const char* name)
{
    LONG code = 0;
    const auto [type, data] = Value(path, name, &code);
    if (code != ERROR_SUCCESS)
        return "<error " + std::to_string(code) + ">";
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    if (data.empty() || data.back() != 0)
        return "<unterminated>";
    return std::string(data.begin(), data.end() - 1);
}

}  // namespace zentra_test_local
