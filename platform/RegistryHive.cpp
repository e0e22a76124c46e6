#if !defined(_WIN32)

#  include "platform/RegistryHive.h"

namespace platform::registry {

namespace {

char Fold(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    if (c == '\\')
        return '\x01';
    return c;
}

}  // namespace

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::string::size_type i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

std::string FoldPath(const std::string& path)
{
    std::string folded = path;
    for (char& c : folded)
        c = Fold(c);
    return folded;
}

std::string LeafName(const std::string& path)
{
    const std::string::size_type slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Value* Key::FindValue(const std::string& name)
{
    for (Value& value : values)
        if (SameName(value.name, name))
            return &value;
    return nullptr;
}

const Value* Key::FindValue(const std::string& name) const
{
    for (const Value& value : values)
        if (SameName(value.name, name))
            return &value;
    return nullptr;
}

Hive::Hive() { m_keys[""] = Key(); }

Key* Hive::Find(const std::string& path)
{
    const auto it = m_keys.find(FoldPath(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

const Key* Hive::Find(const std::string& path) const
{
    const auto it = m_keys.find(FoldPath(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

Key& Hive::Create(const std::string& path, bool& created)
{
    created = false;
    if (Key* existing = Find(path))
        return *existing;
    // Parents first, each in the case given here unless it exists already.
    std::string::size_type slash = path.find('\\');
    while (slash != std::string::npos) {
        bool parentCreated = false;
        Create(path.substr(0, slash), parentCreated);
        slash = path.find('\\', slash + 1);
    }
    Key& key = m_keys[FoldPath(path)];
    // Keep the parents' stored case in the child's path.
    const std::string::size_type last = path.rfind('\\');
    key.path = last == std::string::npos ? path : Find(path.substr(0, last))->path + path.substr(last);
    created = true;
    return key;
}

std::vector<const Key*> Hive::Children(const std::string& path) const
{
    std::vector<const Key*> children;
    const std::string prefix = path.empty() ? std::string() : FoldPath(path) + '\x01';
    for (auto it = m_keys.lower_bound(prefix); it != m_keys.end(); ++it) {
        const std::string& folded = it->first;
        if (folded.compare(0, prefix.size(), prefix) != 0)
            break;
        if (folded.size() == prefix.size())
            continue;  // the root itself
        if (folded.find('\x01', prefix.size()) == std::string::npos)
            children.push_back(&it->second);
    }
    return children;
}

bool Hive::HasChildren(const std::string& path) const { return !Children(path).empty(); }

void Hive::Erase(const std::string& path)
{
    if (!path.empty())
        m_keys.erase(FoldPath(path));
}

void Hive::EraseTree(const std::string& path)
{
    if (path.empty()) {
        m_keys.clear();
        m_keys[""] = Key();
        return;
    }
    const std::string folded = FoldPath(path);
    const std::string prefix = folded + '\x01';
    m_keys.erase(folded);
    auto it = m_keys.lower_bound(prefix);
    while (it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = m_keys.erase(it);
}

}  // namespace platform::registry

#endif
