#pragma once

// The rows of one dial plan as the database holds them, read inside a run's
// own transaction, and what a run added, deleted and changed of them.

#include <map>
#include <string>
#include <vector>

namespace zentra_run {

class Session;

// The rows of one dial plan: the DialPlan row, its tags, its instructions and
// the members that join its instructions or its tags. Each row is its column
// values in a fixed order, keyed by its pkid as the database holds it.
struct PlanRows {
    using Row = std::vector<std::string>;
    // pkid, name, description
    std::map<std::string, Row> dialPlan;
    // pkid, tag, suppressFromRouteFilter, tkOperator_Max
    std::map<std::string, Row> tags;
    // pkid, name, digitAnalysisID, clause
    std::map<std::string, Row> instructions;
    // pkid, fkDigitDiscardInstruction, fkDialPlanTag
    std::map<std::string, Row> members;
};

// The rows that a run added, deleted and changed, table by table.
struct PlanChanges {
    struct Changed {
        PlanRows::Row before;
        PlanRows::Row after;
    };
    struct Table {
        std::vector<PlanRows::Row> added;
        std::vector<PlanRows::Row> deleted;
        std::vector<Changed> changed;
        bool empty() const { return added.empty() && deleted.empty() && changed.empty(); }
    };
    Table dialPlan, tags, instructions, members;
};

PlanChanges CompareRows(const PlanRows& before, const PlanRows& after);

// The query of the members of a dial plan, given as a quoted SQL literal:
// those that join its instructions or its tags.
std::string MembersQuery(const std::string& plan);

// The rows of the dial plan with this pkid.
PlanRows ReadPlanRows(Session& session, const std::string& dialPlanPkid);

}  // namespace zentra_run
