#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace zentra_upgrade {

// The pkids of a list as a set, for lookups by exact text (letter case counts).
inline std::unordered_set<std::string> PkidSet(const std::vector<std::string>& pkids)
{
    return std::unordered_set<std::string>(pkids.begin(), pkids.end());
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
