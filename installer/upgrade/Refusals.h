#pragma once

// What the user is told when a change would drop a tag or a digit discard
// instruction that a route still uses: the upgrade's refusals, which a restore
// gives in the same words.

#include <string>
#include <vector>

#include "installer/upgrade/PkidLookup.h"

namespace zentra_upgrade {

inline std::string TagsInUseMessage(const std::vector<std::string>& tags)
{
    return "The tags " + JoinWithCommas(tags) + " have clause configured but are deleted in the new dial plan version";
}

// patterns: a route or translation pattern uses them, else a route list.
inline std::string InstructionsInUseMessage(const std::vector<std::string>& instructions, bool patterns)
{
    return "The DDIs " + JoinWithCommas(instructions) + " are associated with " +
           (patterns ? "Route/Translation Patterns" : "Route Lists") + " but are deleted in the new dial plan version";
}

}  // namespace zentra_upgrade
