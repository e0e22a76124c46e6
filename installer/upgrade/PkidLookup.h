#pragma once

#include <cctype>
#include <string>
#include <unordered_set>
#include <vector>

namespace zentra_upgrade {

// The form in which a file pkid (made bare) and an installed one are matched:
// as identifiers, whatever letter case either is written in. The database
// keeps them in upper case; a file may write them in lower case.
inline std::string PkidKey(std::string pkid)
{
    for (char& c : pkid)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return pkid;
}

// The keys of a list of pkids, for lookups.
inline std::unordered_set<std::string> PkidSet(const std::vector<std::string>& pkids)
{
    std::unordered_set<std::string> keys;
    keys.reserve(pkids.size());
    for (const std::string& pkid : pkids)
        keys.insert(PkidKey(pkid));
    return keys;
}

// Names joined with a single comma between neighbours, as the refusal messages
// list them.
inline std::string JoinWithCommas(const std::vector<std::string>& values)
{
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            joined += ",";
        joined += values[i];
    }
    return joined;
}

}  // namespace zentra_upgrade
