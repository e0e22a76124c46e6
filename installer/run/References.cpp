#include "installer/run/References.h"

#include <algorithm>
#include <set>

#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/run/Session.h"
#include "odbc/odbc.h"

namespace zentra_run {

const Reference kTagInRouteFilter = {
    Used::Tag, "route filter", "RouteFilterMember", "fkDialPlanTag", "fkRouteFilter", "RouteFilter", "name", "Select"};
const Reference kInstructionInPattern = {
    Used::Instruction, "pattern", "NumPlan", "fkDigitDiscardInstruction", "pkid", "NumPlan", "dnOrPattern", "select"};
const Reference kInstructionInRouteList = {
    Used::Instruction, "route list", "RouteList", "fkDigitDiscardInstruction", "pkid", "RouteList", "name", "select"};
const Reference kDialPlanInPattern = {Used::DialPlan, "pattern", "NumPlan",     "fkDialPlan",
                                      "pkid",         "NumPlan", "dnOrPattern", "select"};
const Reference kDialPlanInRouteFilter = {Used::DialPlan, "route filter", "RouteFilter", "fkDialPlan",
                                          "pkid",         "RouteFilter",  "name",        "select"};

const std::vector<std::string>& RouteTables()
{
    static const std::vector<std::string> tables = [] {
        std::vector<std::string> names;
        for (const Reference* reference : {&kInstructionInPattern, &kInstructionInRouteList, &kDialPlanInPattern,
                                           &kDialPlanInRouteFilter, &kTagInRouteFilter})
            for (const char* table : {reference->table, reference->nameTable})
                if (std::find(names.begin(), names.end(), table) == names.end())
                    names.push_back(table);
        return names;
    }();
    return tables;
}

namespace {

// The table of the used rows and the column that names them.
const char* UsedTable(Used used)
{
    switch (used) {
    case Used::Tag:
        return "DialPlanTag";
    case Used::Instruction:
        return "DigitDiscardInstruction";
    case Used::DialPlan:
        break;
    }
    return "DialPlan";
}

const char* UsedName(Used used) { return used == Used::Tag ? "tag" : "name"; }

const char* UsedKind(Used used)
{
    switch (used) {
    case Used::Tag:
        return "tag";
    case Used::Instruction:
        return "instruction";
    case Used::DialPlan:
        break;
    }
    return "dial plan";
}

// The using rows of the used rows that condition (on x, the used table)
// selects: the user's pkid and name, the used row's pkid and name.
std::vector<BlockingRow> Users(Session& session, const Reference& reference, const std::string& condition)
{
    const std::string sql = std::string("select distinct r.") + reference.userKey + ", n." + reference.nameColumn +
                            ", x.pkid, x." + UsedName(reference.used) + " from " + reference.table + " r left join " +
                            reference.nameTable + " n on n.pkid = r." + reference.userKey + " join " +
                            UsedTable(reference.used) + " x on x.pkid = r." + reference.column + " where " + condition +
                            " order by r." + reference.userKey;
    std::vector<BlockingRow> users;
    for (const auto& row : session.rows(sql))
        users.push_back({UsedKind(reference.used), row.at(3), row.at(2), reference.user, row.at(1), row.at(0)});
    return users;
}

}  // namespace

std::string CheckQuery(const Reference& reference, const std::string& usedPkid)
{
    return std::string(reference.select) + " * from " + reference.table + " where " + reference.column + " = " +
           SqlLiteral(usedPkid);
}

std::string RemovalCheck::query(const std::string& dialPlanPkid) const
{
    const std::string plan = SqlLiteral(dialPlanPkid);
    const Reference& r = *reference;
    if (r.used == Used::DialPlan)
        return std::string("select * from ") + r.table + " where " + r.column + "=" + plan;
    // A route list is found through a join, a pattern or a route filter member
    // through the rows of the dial plan that it uses.
    if (&r == &kInstructionInRouteList)
        return std::string("Select * from ") + r.table + " T1, " + UsedTable(r.used) +
               " T2 where T2.fkDialPlan= " + plan + " and T1." + r.column + " = T2.pkid";
    return std::string("select * from ") + r.table + " where " + r.column + " in (select pkid from " +
           UsedTable(r.used) + " where fkDialPlan = " + plan + ")";
}

const std::vector<RemovalCheck>& RemovalChecks()
{
    // Besides the rows that name the dial plan, patterns that use one of its
    // instructions and route filter members that use one of its tags block it:
    // they would be left pointing at deleted rows.
    static const std::vector<RemovalCheck> checks = {
        {&kDialPlanInPattern, zentra::kPatternsRefer},        {&kInstructionInPattern, zentra::kPatternsRefer},
        {&kInstructionInRouteList, zentra::kRouteListsRefer}, {&kDialPlanInRouteFilter, zentra::kRouteFiltersRefer},
        {&kTagInRouteFilter, zentra::kRouteFiltersRefer},
    };
    return checks;
}

std::vector<BlockingRow> UsersOf(Session& session, const Reference& reference, const std::string& usedPkid)
{
    return Users(session, reference, "r." + std::string(reference.column) + " = " + SqlLiteral(usedPkid));
}

std::vector<BlockingRow> UsersOfDialPlan(Session& session, int result, const std::string& dialPlanPkid,
                                         const std::string& name)
{
    // A user is named once for a result: as a user of the dial plan itself
    // when it names it, else of the dial plan's row that it uses.
    std::vector<BlockingRow> users;
    std::set<std::string> named;
    for (const RemovalCheck& check : RemovalChecks()) {
        if (check.result != result)
            continue;
        const Reference& reference = *check.reference;
        const std::string plan = SqlLiteral(dialPlanPkid);
        std::vector<BlockingRow> found =
            Users(session, reference, reference.used == Used::DialPlan ? "x.pkid = " + plan : "x.fkDialPlan = " + plan);
        const std::set<std::string> before = named;
        for (BlockingRow& row : found) {
            if (before.count(row.userPkid) != 0)
                continue;
            if (reference.used == Used::DialPlan) {
                row.usedName = name;
                row.usedPkid = dialPlanPkid;
            }
            named.insert(row.userPkid);
            users.push_back(std::move(row));
        }
    }
    return users;
}

std::vector<std::string> NamesInUse(Session& session, const char* heading, const Reference& reference,
                                    const std::vector<std::string>& pkids, const std::vector<std::string>& names)
{
    std::vector<std::string> inUse;
    session.log(heading);
    for (std::size_t i = 0; i < pkids.size(); ++i) {
        const std::string query = CheckQuery(reference, pkids[i]);
        session.log("\n\n");
        session.log(query);
        if (session.query(query)->next())
            inUse.push_back(names.at(i));
    }
    return inUse;
}

}  // namespace zentra_run
