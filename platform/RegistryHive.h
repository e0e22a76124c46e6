#pragma once

// The keys and values of one registry root as the stand-in holds them in memory.

#if !defined(_WIN32)

#  include <map>
#  include <string>
#  include <vector>

#  include "platform/Win32.h"

namespace platform::registry {

struct Value {
    std::string name;  // as first written; "" is the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;  // exactly the bytes written (REG_SZ with its NUL)
};

struct Key {
    std::string path;           // below the root, in the case first created; "" is the root
    std::vector<Value> values;  // in the order first written

    Value* FindValue(const std::string& name);
    const Value* FindValue(const std::string& name) const;
};

// Names compare as Windows compares them: ASCII letters without regard to case.
bool SameName(const std::string& a, const std::string& b);

// The key of a path in the hive's map: case folded, and the separator ordered
// before every other character so that a key's descendants follow it directly.
std::string FoldPath(const std::string& path);

// The last name of a key path.
std::string LeafName(const std::string& path);

class Hive {
public:
    Hive();

    Key* Find(const std::string& path);
    const Key* Find(const std::string& path) const;

    // Creates the key and its missing parents; created tells whether it was new.
    Key& Create(const std::string& path, bool& created);

    // The direct subkeys of path, ordered by name without regard to case.
    std::vector<const Key*> Children(const std::string& path) const;
    bool HasChildren(const std::string& path) const;

    // Removes one key (its subkeys stay; callers check first) or a whole tree.
    void Erase(const std::string& path);
    void EraseTree(const std::string& path);

    const std::map<std::string, Key>& Keys() const { return m_keys; }

private:
    std::map<std::string, Key> m_keys;  // by FoldPath; the root "" always present
};

// Reads the text of a registry export file for the root named rootName (for
// example "HKEY_LOCAL_MACHINE"): single-byte, UTF-8 with a byte-order mark, or
// UTF-16LE with a byte-order mark; header "Windows Registry Editor Version 5.00"
// or "REGEDIT4". Returns ERROR_SUCCESS or ERROR_BADDB for a malformed file.
LONG ParseRegistryText(const std::string& bytes, const std::string& rootName, Hive& hive);

// Writes the hive as single-byte text with the version 5.00 header, keys in
// order, a blank line after each key. A REG_SZ value that a quoted string cannot
// hold (line breaks, inner NULs, no final NUL) is written as hex(1): with its
// bytes; REG_DWORD of 4 bytes as dword:, every other value as hex:/hex(n):.
std::string FormatRegistryText(const Hive& hive, const std::string& rootName);

}  // namespace platform::registry

#endif
