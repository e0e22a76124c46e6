#pragma once

// What is installed, read only: the installed dial plans with the size of
// their tables, one dial plan against a delivered file, and the routes that
// use a dial plan. The programs' --status shows it.

#include <optional>
#include <string>
#include <vector>

#include "installer/run/PlanRows.h"
#include "installer/run/RunReport.h"

namespace dialplan {
class DialPlanFile;
}  // namespace dialplan

namespace zentra_run {

class Session;

struct InstalledPlan {
    std::string pkid, name, description;
    long long tags = 0, instructions = 0, members = 0;
    // The lowest and highest digit-analysis ID of its instructions ("" without any).
    std::string lowestId, highestId;
};

// Every installed dial plan, by name.
std::vector<InstalledPlan> InstalledPlans(Session& session);

// The DialPlan row of this name: its pkid and description; nothing when no
// dial plan has the name.
struct DialPlanRow {
    std::string pkid, description;
};
std::optional<DialPlanRow> FindDialPlan(Session& session, const std::string& name);

// The installed rows of the dial plan (none when installedPkid is empty)
// against the rows of a checked file, rows matched by pkid whatever its letter
// case; and how many of the differing rows differ in values that an upgrade
// keeps as installed, since it writes only the description and the clauses of
// the six predefined instructions of installed rows.
struct FileDifferences {
    PlanChanges differences;
    std::size_t keptByAnUpgrade = 0;
};
FileDifferences CompareWithFile(Session& session, const std::string& installedPkid, const dialplan::DialPlanFile& file);

// The patterns, route lists and route filters that use the dial plan or its
// rows, each named once for each kind of reference that blocks a removal.
std::vector<BlockingRow> RoutesUsing(Session& session, const std::string& pkid, const std::string& name);

}  // namespace zentra_run
