#include "BenchOutput.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "installer/upgrade/NewInstructionIds.h"

namespace bench {

std::string Quote(const std::string& value)
{
    std::string quoted;
    quoted.reserve(value.size() + 2);
    for (char c : value) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted;
}

namespace {

const char* const kLineEnd = "\r\n";

// The file's pkid without its braces, as the upgrade makes it bare.
std::string Bare(std::string pkid)
{
    const auto open = pkid.find('{');
    const auto close = pkid.find('}');
    if (open == std::string::npos || close == std::string::npos || close == 0)
        throw std::logic_error("pkid without braces: " + pkid);
    pkid.erase(open, 1);
    pkid.erase(close - 1, 1);
    return pkid;
}

std::string Values(const std::vector<std::string>& values)
{
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += values[i] == "NULL" ? values[i] : "'" + Quote(values[i]) + "'";
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

void AddPlanRows(const DialPlan& plan, const std::vector<long>& ids, bool braced, std::size_t rowsPerInsert,
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
                       ", '" + Quote(instruction.clause) + "'");
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

std::string DialPlanCsv(const DialPlan& plan)
{
    std::string csv;
    auto line = [&csv](const std::string& text) { csv += text + kLineEnd; };
    line("Table:DialPlan,,");
    line("pkid,name,description");
    line("UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)");
    line(Braced(plan.pkid) + "," + plan.name + "," + plan.description);
    line("");
    line("Table:DialPlanTag,,,,");
    line("pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max");
    line("UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)");
    for (const Tag& tag : plan.tags)
        line(Braced(tag.pkid) + "," + tag.tag + "," + Braced(plan.pkid) + "," + tag.suppress + "," + tag.operatorMax);
    line("");
    line("Table:DigitDiscardInstruction,,,,");
    line("pkid,name,fkDialPlan,digitAnalysisID,clause");
    line("UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText");
    for (const Instruction& instruction : plan.instructions)
        line(Braced(instruction.pkid) + "," + instruction.name + "," + Braced(plan.pkid) + "," +
             std::to_string(instruction.daId) + "," + instruction.clause);
    line("");
    line("Table:DigitDiscardInstructionMember,,");
    line("pkid,fkDigitDiscardInstruction,fkDialPlanTag");
    line("UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER");
    for (const Member& member : plan.members)
        line(Braced(member.pkid) + "," + Braced(member.instruction) + "," + Braced(member.tag));
    return csv;
}

std::vector<long> InstalledIds(const Scenario& scenario)
{
    std::set<long> used;
    for (const DialPlan& plan : scenario.others)
        for (const Instruction& instruction : plan.instructions)
            used.insert(instruction.daId);
    std::vector<long> ids;
    long candidate = 1;
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
        std::vector<long> ids;
        for (const Instruction& instruction : plan.instructions)
            ids.push_back(instruction.daId);
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
    out.push_back("select * from DialPlan where name='" + Quote(scenario.first.name) + "'");
    out.push_back("select * from DigitDiscardInstruction ORDER BY digitAnalysisID");
    AddPlanRows(scenario.first, InstalledIds(scenario), true, kRowsPerInsert, out);
    return out;
}

UpgradeWork UpgradeStatements(const Scenario& scenario)
{
    const DialPlan& installed = scenario.first;
    const DialPlan& file = scenario.second;
    const std::string& plan = installed.pkid;  // as the database returns it
    UpgradeWork work;
    auto& out = work.statements;

    // The file's lists, as the readers hold them (pkids in braces).
    std::vector<std::string> csvTagPkids, csvDdiPkids, csvMemberPkids, csvMemberDdis, csvMemberTags;
    for (const Tag& tag : file.tags)
        csvTagPkids.push_back(Braced(tag.pkid));
    for (const Instruction& instruction : file.instructions)
        csvDdiPkids.push_back(Braced(instruction.pkid));
    for (const Member& member : file.members) {
        csvMemberPkids.push_back(Braced(member.pkid));
        csvMemberDdis.push_back(Braced(member.instruction));
        csvMemberTags.push_back(Braced(member.tag));
    }
    // The installed rows: instructions in ascending digit-analysis ID, which
    // the installation gave in file order.
    // Bare forms, made once: Bare is a pure function of the text.
    auto bareAll = [](const std::vector<std::string>& pkids) {
        std::vector<std::string> bare;
        for (const std::string& pkid : pkids)
            bare.push_back(Bare(pkid));
        return bare;
    };
    const auto bareTagPkids = bareAll(csvTagPkids), bareDdiPkids = bareAll(csvDdiPkids);
    const auto bareMemberDdis = bareAll(csvMemberDdis), bareMemberTags = bareAll(csvMemberTags);
    std::vector<std::string> dbTagPkids, dbDdiPkids;
    for (const Tag& tag : installed.tags)
        dbTagPkids.push_back(tag.pkid);
    for (const Instruction& instruction : installed.instructions)
        dbDdiPkids.push_back(instruction.pkid);

    out.push_back("select * from DialPlan where name='" + Quote(installed.name) + "'");
    out.push_back("select * from DialPlanTag where fkDialPlan='" + Quote(plan) + "'");
    out.push_back("select * from DigitDiscardInstruction where fkDialPlan='" + Quote(plan) +
                  "' ORDER BY digitAnalysisID");

    // Obsolete tags and their reference check.
    std::vector<std::string> obsoleteTags;
    for (const std::string& pkid : dbTagPkids) {
        bool found = false;
        for (const std::string& entry : bareTagPkids)
            found = found || entry == pkid;
        if (!found)
            obsoleteTags.push_back(pkid);
    }
    for (const std::string& pkid : obsoleteTags)
        out.push_back("Select * from RouteFilterMember where fkDialPlanTag = '" + Quote(pkid) + "'");

    // Obsolete instructions and their two reference checks.
    std::vector<std::string> obsoleteDdis;
    for (const std::string& pkid : dbDdiPkids) {
        bool found = false;
        for (const std::string& entry : bareDdiPkids) {
            if (entry == pkid) {
                found = true;
                break;
            }
            ++work.walkLogLines;
        }
        if (!found)
            obsoleteDdis.push_back(pkid);
    }
    for (const std::string& pkid : obsoleteDdis)
        out.push_back("select * from NumPlan where fkDigitDiscardInstruction = '" + Quote(pkid) + "'");
    for (const std::string& pkid : obsoleteDdis)
        out.push_back("select * from RouteList where fkDigitDiscardInstruction = '" + Quote(pkid) + "'");
    for (const std::string& pkid : obsoleteDdis) {
        out.push_back("Delete from DigitDiscardInstructionMember where fkDigitDiscardInstruction = '" + Quote(pkid) +
                      "'");
        out.push_back("Delete from DigitDiscardInstruction where pkid = '" + Quote(pkid) + "'");
    }

    // New tags, the description, the predefined clauses.
    std::vector<std::size_t> newTags;
    for (std::size_t i = 0; i < file.tags.size(); ++i) {
        const std::string& bare = bareTagPkids[i];
        if (std::find(dbTagPkids.begin(), dbTagPkids.end(), bare) == dbTagPkids.end())
            newTags.push_back(i);
    }
    out.push_back("update DialPlan set description = '" + Quote(file.description) + "' where pkid='" + Quote(plan) +
                  "'");
    for (std::size_t k = 0; k < 6 && k < file.instructions.size(); ++k)
        out.push_back("update DigitDiscardInstruction set clause = '" + Quote(file.instructions[k].clause) +
                      "' where fkDialPlan = '" + Quote(plan) + "' and name = '" + kPredefinedNames[k] + "'");
    for (const std::string& pkid : obsoleteTags) {
        out.push_back("Delete from DigitDiscardInstructionMember where fkDialPlanTag = '" + Quote(pkid) + "'");
        out.push_back("Delete from DialPlanTag where pkid = '" + Quote(pkid) + "'");
    }
    std::vector<std::string> newTagPkids;
    for (std::size_t i : newTags) {
        const Tag& tag = file.tags[i];
        newTagPkids.push_back(bareTagPkids[i]);
        out.push_back(
            "insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter) VALUES ( '" +
            Quote(newTagPkids.back()) + "', '" + Quote(tag.tag) + "', '" + Quote(plan) + "', '" +
            Quote(tag.operatorMax.substr(0, 1)) + "', '" + Quote(tag.suppress) + "')");
    }

    // New instructions, with the IDs the upgrade gives them: the IDs in use
    // once the obsolete instructions have gone are read first.
    std::vector<std::size_t> newDdis;
    for (std::size_t i = 0; i < file.instructions.size(); ++i)
        if (std::find(dbDdiPkids.begin(), dbDdiPkids.end(), bareDdiPkids[i]) == dbDdiPkids.end())
            newDdis.push_back(i);
    std::vector<std::string> newDdiPkids;
    if (!newDdis.empty()) {
        out.push_back("select pkid, fkDialPlan, digitAnalysisID from DigitDiscardInstruction");
        std::vector<long long> used;
        for (const DialPlan& other : scenario.others)
            for (const Instruction& instruction : other.instructions)
                used.push_back(instruction.daId);
        const std::vector<long> installedIds = InstalledIds(scenario);
        long long floor = 0;
        for (std::size_t k = 0; k < installed.instructions.size(); ++k) {
            if (std::find(obsoleteDdis.begin(), obsoleteDdis.end(), installed.instructions[k].pkid) !=
                obsoleteDdis.end())
                continue;
            used.push_back(installedIds[k]);
            if (k < 6)
                floor = std::max<long long>(floor, installedIds[k]);
        }
        zentra_upgrade::NewInstructionIds ids(used, floor);
        for (std::size_t i : newDdis) {
            const Instruction& instruction = file.instructions[i];
            const long long id = ids.give(std::to_string(instruction.daId), i < 6).id;
            newDdiPkids.push_back(bareDdiPkids[i]);
            out.push_back(
                "Insert into DigitDiscardInstruction ( pkid, name, fkDialPlan, digitAnalysisID, clause) VALUES ('" +
                Quote(bareDdiPkids[i]) + "', '" + Quote(instruction.name) + "', '" + Quote(plan) + "', '" +
                std::to_string(id) + "', '" + Quote(instruction.clause) + "')");
        }
    }

    auto member = [](const std::string& pkid, const std::string& ddi, const std::string& tag) {
        return "Insert into DigitDiscardInstructionMember ( pkid, fkDigitDiscardInstruction, fkDialPlanTag) VALUES ( "
               "'" +
               Quote(pkid) + "', '" + Quote(ddi) + "', '" + Quote(tag) + "')";
    };
    // Members joining the six predefined instructions to the new tags: the
    // first matching file row of each pair.
    for (std::size_t d = 0; d < 6 && d < dbDdiPkids.size(); ++d) {
        for (const std::string& tag : newTagPkids) {
            for (std::size_t m = 0; m < csvMemberPkids.size(); ++m) {
                if (bareMemberTags[m] == tag && bareMemberDdis[m] == dbDdiPkids[d]) {
                    out.push_back(member(csvMemberPkids[m], dbDdiPkids[d], csvMemberTags[m]));
                    ++work.predefinedMembers;
                    break;
                }
            }
        }
    }
    // Members of the new instructions, as the file writes them.
    for (std::size_t m = 0; m < csvMemberPkids.size(); ++m) {
        const std::string& ddi = bareMemberDdis[m];
        if (std::find(newDdiPkids.begin(), newDdiPkids.end(), ddi) != newDdiPkids.end()) {
            out.push_back(member(csvMemberPkids[m], csvMemberDdis[m], csvMemberTags[m]));
            ++work.newInstructionMembers;
        }
    }

    work.obsoleteTags = obsoleteTags.size();
    work.obsoleteInstructions = obsoleteDdis.size();
    work.newTags = newTagPkids.size();
    work.newInstructions = newDdiPkids.size();
    return work;
}

std::vector<std::string> RemovalStatements(const Scenario& scenario)
{
    const std::string name = Quote(scenario.first.name);
    const std::string plan = Quote(scenario.first.pkid);
    return {
        "select pkid from DialPlan where name='" + name + "'",
        "select * from NumPlan where fkDialPlan='" + plan + "'",
        "Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= '" + plan +
            "' and T1.fkDigitDiscardInstruction = T2.pkid",
        "select * from RouteFilter where fkDialPlan='" + plan + "'",
        "delete from DigitDiscardInstructionMember where (fkDigitDiscardInstruction in (select pkid from "
        "DigitDiscardInstruction where fkDialPlan = '" +
            plan + "'))",
        "delete from DigitDiscardInstruction where fkDialPlan='" + plan + "'",
        "delete from DialPlanTag where fkDialPlan='" + plan + "'",
        "delete from DialPlan where Name='" + name + "'",
    };
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
