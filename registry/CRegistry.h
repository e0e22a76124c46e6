#pragma once

#include "platform/Win32.h"

// Receives the trace texts of CRegistry; discards them unless a sink is installed.
void RegistryTrace(const char* text);

namespace registry_trace {
using Sink = void (*)(const char* text);
// Installs a sink for RegistryTrace (nullptr restores discarding); returns the previous one.
Sink SetSink(Sink sink);
}  // namespace registry_trace

// A registry root key with at most one subkey open below it at a time.
// Operations return Windows status codes: 0 on success, the failing registry
// function's code, or 1011 (no subkey open / one already open), 1010 (CreateSubkey
// while a subkey is held), -1 (value of another type than the one asked for).
class CRegistry {
public:
    explicit CRegistry(HKEY rootKey);
    virtual ~CRegistry();

    long OpenSubkey(const char* subkeyPath);
    long CloseSubkey();
    long CreateSubkey(const char* subkeyPath);

    long GetString(char* buffer, const char* valueName);  // buffer of 256 characters
    long SetString(const char* text, const char* valueName);
    long GetDWORD(DWORD* value, const char* valueName);
    long SetDWORD(DWORD value, const char* valueName);
    long GetSubkeyCount(DWORD* count);
    long EnumSubkey(DWORD index, char* buffer);  // buffer of 256 characters
    long DeleteValue(const char* valueName);
    long DeleteSubkeyValue(const char* valueName, const char* subkeyPath);
    long DeleteSubkey(const char* subkeyPath);
    int SubkeyExists(const char* subkeyPath);

    int IsSubOpen() const { return m_IsSubOpen; }

private:
    int m_IsSubOpen;
    HKEY m_hRootKey;
    HKEY m_hSubKey;
};
