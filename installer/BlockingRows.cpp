// The rows that keep a change from being made, named for the person who has to
// remove them first: after a refusal, the route filters, patterns and route
// lists that still use what the change would drop, one line each in the log
// after the refusal's own lines.

#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/RunReport.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

namespace {

std::string Quoted(const std::string& value) { return "'" + SqlQuote(value) + "'"; }

}  // namespace

void CZentraSetup::ListUsers(const std::string& sql, const BlockingRow& pattern, RunReport* report)
{
    std::vector<BlockingRow> rows;
    odbc::ResultSet* result = RunQuery(sql);
    const int columns = result->getColumnCount();
    while (result->next()) {
        BlockingRow row = pattern;
        row.userPkid = result->getString(1);
        row.userName = result->getString(2);
        if (columns >= 4) {
            row.usedPkid = result->getString(3);
            row.usedName = result->getString(4);
        }
        rows.push_back(row);
    }
    ReleaseQuery();

    OpenLog();
    for (const BlockingRow& row : rows) {
        Log(row.text() + "\n");
        if (report != nullptr)
            report->blocking.push_back(row);
    }
    CloseLog();
}

void CZentraSetup::ListTagUsers(RunReport* report)
{
    // A route filter is named once for each tag, however many members use it.
    for (std::size_t i = 0; i < m_obsoleteTagPkids.size(); ++i)
        ListUsers("select distinct m.fkRouteFilter, f.name from RouteFilterMember m left join RouteFilter f on "
                  "f.pkid = m.fkRouteFilter where m.fkDialPlanTag = " +
                      Quoted(m_obsoleteTagPkids[i]) + " order by m.fkRouteFilter",
                  {"tag", m_obsoleteTags.at(i), m_obsoleteTagPkids[i], "route filter", "", ""}, report);
}

void CZentraSetup::ListInstructionUsers(bool patterns, RunReport* report)
{
    for (std::size_t i = 0; i < m_obsoleteDdiPkids.size(); ++i) {
        const std::string pkid = Quoted(m_obsoleteDdiPkids[i]);
        const BlockingRow used{"instruction", m_obsoleteDdiNames.at(i), m_obsoleteDdiPkids[i], "", "", ""};
        BlockingRow pattern = used;
        pattern.user = patterns ? "pattern" : "route list";
        ListUsers(patterns
                      ? "select pkid, dnOrPattern from NumPlan where fkDigitDiscardInstruction = " + pkid +
                            " order by pkid"
                      : "select pkid, name from RouteList where fkDigitDiscardInstruction = " + pkid + " order by pkid",
                  pattern, report);
    }
}

void CZentraSetup::ListDialPlanUsers(const std::string& dialPlanPkid, const std::string& name, int result,
                                     RunReport* report)
{
    const std::string plan = Quoted(dialPlanPkid);
    const BlockingRow dialPlan{"dial plan", name, dialPlanPkid, "", "", ""};
    const auto as = [](BlockingRow row, const char* used, const char* user) {
        row.used = used;
        row.user = user;
        return row;
    };
    switch (result) {
    case 9:
        ListUsers("select pkid, dnOrPattern from NumPlan where fkDialPlan = " + plan + " order by pkid",
                  as(dialPlan, "dial plan", "pattern"), report);
        ListUsers("select n.pkid, n.dnOrPattern, i.pkid, i.name from NumPlan n, DigitDiscardInstruction i where "
                  "i.fkDialPlan = " +
                      plan +
                      " and n.fkDigitDiscardInstruction = i.pkid and (n.fkDialPlan is null "
                      "or n.fkDialPlan <> " +
                      plan + ") order by n.pkid",
                  as(dialPlan, "instruction", "pattern"), report);
        break;
    case 10:
        ListUsers("select r.pkid, r.name, i.pkid, i.name from RouteList r, DigitDiscardInstruction i where "
                  "i.fkDialPlan = " +
                      plan + " and r.fkDigitDiscardInstruction = i.pkid order by r.pkid",
                  as(dialPlan, "instruction", "route list"), report);
        break;
    case 11:
        ListUsers("select pkid, name from RouteFilter where fkDialPlan = " + plan + " order by pkid",
                  as(dialPlan, "dial plan", "route filter"), report);
        ListUsers("select distinct m.fkRouteFilter, f.name, t.pkid, t.tag from DialPlanTag t join RouteFilterMember "
                  "m on m.fkDialPlanTag = t.pkid left join RouteFilter f on f.pkid = m.fkRouteFilter where "
                  "t.fkDialPlan = " +
                      plan + " and (f.fkDialPlan is null or f.fkDialPlan <> " + plan + ") order by m.fkRouteFilter",
                  as(dialPlan, "tag", "route filter"), report);
        break;
    default:
        break;
    }
}
