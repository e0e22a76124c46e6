#include "installer/RunReport.h"

namespace {

void Compare(const std::map<std::string, PlanRows::Row>& before, const std::map<std::string, PlanRows::Row>& after,
             PlanChanges::Table& table)
{
    for (const auto& [pkid, row] : before) {
        const auto found = after.find(pkid);
        if (found == after.end())
            table.deleted.push_back(row);
        else if (found->second != row)
            table.changed.push_back({row, found->second});
    }
    for (const auto& [pkid, row] : after)
        if (before.count(pkid) == 0)
            table.added.push_back(row);
}

std::string Named(const std::string& kind, const std::string& name, const std::string& pkid)
{
    return kind + " " + (name.empty() ? std::string("(no name)") : name) + " (" + pkid + ")";
}

}  // namespace

PlanChanges CompareRows(const PlanRows& before, const PlanRows& after)
{
    PlanChanges changes;
    Compare(before.dialPlan, after.dialPlan, changes.dialPlan);
    Compare(before.tags, after.tags, changes.tags);
    Compare(before.instructions, after.instructions, changes.instructions);
    Compare(before.members, after.members, changes.members);
    return changes;
}

std::string BlockingRow::text() const
{
    return Named(used, usedName, usedPkid) + " is used by " + Named(user, userName, userPkid);
}
