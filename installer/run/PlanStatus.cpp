#include "installer/run/PlanStatus.h"

#include <map>

#include "dialplanfile/DialPlanFile.h"
#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/run/PlanFile.h"
#include "installer/run/References.h"
#include "installer/run/Session.h"
#include "installer/upgrade/PkidLookup.h"

namespace zentra_run {

namespace {

using zentra_upgrade::PkidKey;
using Counts = std::map<std::string, std::vector<std::string>>;

// The rows of a query by their first column as an identifier: the columns after it.
Counts ByPlan(Session& session, const std::string& sql)
{
    Counts byPlan;
    for (const auto& row : session.rows(sql))
        byPlan[PkidKey(row.at(0))] = std::vector<std::string>(row.begin() + 1, row.end());
    return byPlan;
}

std::string At(const Counts& byPlan, const std::string& pkid, std::size_t column)
{
    const auto found = byPlan.find(PkidKey(pkid));
    return found == byPlan.end() || found->second.size() <= column ? "" : found->second[column];
}

long long Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

// How many of the differences an upgrade keeps as installed: every changed
// tag and member, the DialPlan row when its name differs, and an instruction
// unless it is one of the predefined ones that differs in its clause alone.
std::size_t KeptByAnUpgrade(const PlanChanges& differences, const dialplan::DialPlanFile& file)
{
    const auto& rows = file.section(dialplan::Table::DigitDiscardInstruction).rows;
    std::size_t kept = differences.tags.changed.size() + differences.members.changed.size();
    for (const auto& change : differences.instructions.changed) {
        bool predefined = false;
        for (std::size_t k = 0; k < rows.size() && k < dialplan::kPredefinedCount; ++k)
            predefined = predefined || PkidKey(std::string(rows[k].values[0])) == change.after.at(0);
        if (!predefined || change.before.at(1) != change.after.at(1) || change.before.at(2) != change.after.at(2))
            ++kept;
    }
    for (const auto& change : differences.dialPlan.changed)
        if (change.before.at(1) != change.after.at(1))
            ++kept;
    return kept;
}

}  // namespace

std::vector<InstalledPlan> InstalledPlans(Session& session)
{
    const auto tags = ByPlan(session, "select fkDialPlan, count(*) from DialPlanTag group by fkDialPlan");
    const auto instructions = ByPlan(session, "select fkDialPlan, count(*), min(digitAnalysisID), "
                                              "max(digitAnalysisID) from DigitDiscardInstruction group by fkDialPlan");
    const auto members = ByPlan(session, "select i.fkDialPlan, count(*) from DigitDiscardInstructionMember m, "
                                         "DigitDiscardInstruction i where m.fkDigitDiscardInstruction = i.pkid group "
                                         "by i.fkDialPlan");
    std::vector<InstalledPlan> plans;
    for (const auto& row : session.rows("select pkid, name, description from DialPlan order by name")) {
        const std::string& pkid = row.at(0);
        plans.push_back({pkid, row.at(1), row.at(2), Number(At(tags, pkid, 0)), Number(At(instructions, pkid, 0)),
                         Number(At(members, pkid, 0)), At(instructions, pkid, 1), At(instructions, pkid, 2)});
    }
    return plans;
}

std::optional<DialPlanRow> FindDialPlan(Session& session, const std::string& name)
{
    const auto rows = session.rows("select pkid, description from DialPlan where name='" + SqlQuote(name) + "'");
    if (rows.empty())
        return std::nullopt;
    return DialPlanRow{rows.front().at(0), rows.front().at(1)};
}

FileDifferences CompareWithFile(Session& session, const std::string& installedPkid, const dialplan::DialPlanFile& file)
{
    const PlanRows installed = installedPkid.empty() ? PlanRows() : Keyed(ReadPlanRows(session, installedPkid));
    FileDifferences result;
    result.differences = CompareRows(installed, RowsOfFile(file));
    result.keptByAnUpgrade = KeptByAnUpgrade(result.differences, file);
    return result;
}

std::vector<BlockingRow> RoutesUsing(Session& session, const std::string& pkid, const std::string& name)
{
    std::vector<BlockingRow> routes;
    for (int result : {zentra::kPatternsRefer, zentra::kRouteListsRefer, zentra::kRouteFiltersRefer})
        for (BlockingRow& row : UsersOfDialPlan(session, result, pkid, name))
            routes.push_back(std::move(row));
    return routes;
}

}  // namespace zentra_run
