#include "installer/run/PlanRows.h"

#include "installer/SqlText.h"
#include "installer/run/Session.h"

namespace zentra_run {

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

void Read(Session& session, const std::string& sql, std::map<std::string, PlanRows::Row>& rows)
{
    for (auto& row : session.rows(sql)) {
        const std::string pkid = row.front();
        rows[pkid] = std::move(row);
    }
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

std::string MembersQuery(const std::string& plan)
{
    return "select pkid, fkDigitDiscardInstruction, fkDialPlanTag from DigitDiscardInstructionMember where "
           "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where fkDialPlan = " +
           plan + ") or fkDialPlanTag in (select pkid from DialPlanTag where fkDialPlan = " + plan + ")";
}

PlanRows ReadPlanRows(Session& session, const std::string& dialPlanPkid)
{
    const std::string plan = SqlLiteral(dialPlanPkid);
    PlanRows rows;
    Read(session, "select pkid, name, description from DialPlan where pkid = " + plan, rows.dialPlan);
    Read(session,
         "select pkid, tag, suppressFromRouteFilter, tkOperator_Max from DialPlanTag where fkDialPlan = " + plan,
         rows.tags);
    Read(session, "select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction where fkDialPlan = " + plan,
         rows.instructions);
    Read(session, MembersQuery(plan), rows.members);
    return rows;
}

}  // namespace zentra_run
