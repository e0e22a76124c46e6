#include "BenchOutput.h"

#include <algorithm>
#include <set>

#include "installer/SqlText.h"

namespace bench {

namespace {

std::string Values(const std::vector<std::string>& values)
{
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += values[i] == "NULL" ? values[i] : "'" + SqlQuote(values[i]) + "'";
    }
    return text;
}

std::string OrNull(const std::string& value) { return value.empty() ? "NULL" : value; }

// The rows of one table as INSERT statements of up to rowsPerInsert rows each.
void AddInserts(const std::string& head, const std::vector<std::string>& rows, std::size_t rowsPerInsert,
                std::vector<std::string>& out)
{
    for (std::size_t first = 0; first < rows.size(); first += rowsPerInsert) {
        std::string statement = head;
        const std::size_t last = std::min(rows.size(), first + rowsPerInsert);
        for (std::size_t i = first; i < last; ++i)
            statement += (i > first ? ", (" : "(") + rows[i] + ")";
        out.push_back(statement);
    }
}

void AddPlanRows(const DialPlan& plan, const std::vector<int>& ids, bool braced, std::size_t rowsPerInsert,
                 std::vector<std::string>& out)
{
    auto id = [braced](const std::string& pkid) { return braced ? Braced(pkid) : pkid; };
    AddInserts("INSERT INTO DialPlan (pkid, name, description) VALUES ",
               {Values({id(plan.pkid), plan.name, plan.description})}, rowsPerInsert, out);
    std::vector<std::string> rows;
    for (const Tag& tag : plan.tags)
        rows.push_back(Values({id(tag.pkid), tag.tag, id(plan.pkid), tag.suppress, tag.operatorMax}));
    AddInserts("INSERT INTO DialPlanTag (pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max) VALUES ", rows,
               rowsPerInsert, out);
    rows.clear();
    for (std::size_t i = 0; i < plan.instructions.size(); ++i) {
        const Instruction& instruction = plan.instructions[i];
        rows.push_back(Values({id(instruction.pkid), instruction.name, id(plan.pkid)}) + ", " + std::to_string(ids[i]) +
                       ", '" + SqlQuote(instruction.clause) + "'");
    }
    AddInserts("INSERT INTO DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) VALUES ", rows,
               rowsPerInsert, out);
    rows.clear();
    for (const Member& member : plan.members)
        rows.push_back(Values({id(member.pkid), id(member.instruction), id(member.tag)}));
    AddInserts("INSERT INTO DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, fkDialPlanTag) VALUES ",
               rows, rowsPerInsert, out);
}

void AddRoutingRows(const Routing& routing, std::vector<std::string>& out)
{
    for (const auto& row : routing.filters)
        out.push_back("INSERT INTO RouteFilter (pkid, name, fkDialPlan, clause) VALUES (" +
                      Values({row.pkid, row.name, row.dialPlan, row.clause}) + ")");
    for (const auto& row : routing.filterMembers)
        out.push_back("INSERT INTO RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) VALUES (" +
                      Values({row.pkid, row.routeFilter, row.tag, row.digits}) + ")");
    for (const auto& row : routing.patterns)
        out.push_back(
            "INSERT INTO NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction, fkRouteFilter, "
            "description) VALUES (" +
            Values({row.pkid, row.pattern, row.dialPlan, row.instruction, OrNull(row.routeFilter), row.description}) +
            ")");
    for (const auto& row : routing.routeLists)
        out.push_back("INSERT INTO RouteList (pkid, name, fkDigitDiscardInstruction, description) VALUES (" +
                      Values({row.pkid, row.name, row.instruction, row.description}) + ")");
}

std::string InList(const std::vector<std::string>& pkids)
{
    std::string text = "(";
    for (std::size_t i = 0; i < pkids.size(); ++i)
        text += (i > 0 ? ", '" : "'") + pkids[i] + "'";
    return text + ")";
}

template <typename Row>
std::vector<std::string> Pkids(const std::vector<Row>& rows)
{
    std::vector<std::string> pkids;
    for (const Row& row : rows)
        pkids.push_back(row.pkid);
    return pkids;
}

}  // namespace

std::vector<int> InstalledIds(const Scenario& scenario)
{
    std::set<int> used;
    for (const DialPlan& plan : scenario.others)
        for (const Instruction& instruction : plan.instructions)
            used.insert(instruction.analysisId);
    std::vector<int> ids;
    int candidate = 1;
    for (std::size_t k = 0; k < scenario.first.instructions.size(); ++k) {
        while (used.count(candidate) != 0)
            ++candidate;
        ids.push_back(candidate++);
    }
    return ids;
}

std::vector<std::string> HostStatements(const Scenario& scenario)
{
    std::vector<std::string> out;
    for (const DialPlan& plan : scenario.others) {
        std::vector<int> ids;
        for (const Instruction& instruction : plan.instructions)
            ids.push_back(instruction.analysisId);
        AddPlanRows(plan, ids, false, 1, out);
    }
    AddRoutingRows(scenario.otherRouting, out);
    return out;
}

std::vector<std::string> PlanRoutingStatements(const Scenario& scenario)
{
    std::vector<std::string> out;
    AddRoutingRows(scenario.planRouting, out);
    return out;
}

std::vector<std::string> DetachStatements(const Scenario& scenario)
{
    const Routing& routing = scenario.planRouting;
    std::vector<std::string> out;
    if (!routing.filterMembers.empty())
        out.push_back("DELETE FROM RouteFilterMember WHERE pkid IN " + InList(Pkids(routing.filterMembers)));
    if (!routing.patterns.empty())
        out.push_back("DELETE FROM NumPlan WHERE pkid IN " + InList(Pkids(routing.patterns)));
    if (!routing.routeLists.empty())
        out.push_back("DELETE FROM RouteList WHERE pkid IN " + InList(Pkids(routing.routeLists)));
    if (!routing.filters.empty())
        out.push_back("DELETE FROM RouteFilter WHERE pkid IN " + InList(Pkids(routing.filters)));
    return out;
}

std::vector<std::string> InstallStatements(const Scenario& scenario)
{
    std::vector<std::string> out;
    out.push_back("select * from DialPlan where name='" + SqlQuote(scenario.first.name) + "'");
    out.push_back("select * from DigitDiscardInstruction ORDER BY digitAnalysisID");
    AddPlanRows(scenario.first, InstalledIds(scenario), true, kRowsPerInsert, out);
    return out;
}

std::string Script(const std::vector<std::string>& statements, bool transaction)
{
    std::string script;
    if (transaction)
        script += "BEGIN;\n";
    for (const std::string& statement : statements)
        script += statement + ";\n";
    if (transaction)
        script += "COMMIT;\n";
    return script;
}

}  // namespace bench
