// The rows of one dial plan, as a report compares them before and after a run.

#include <string>

#include "installer/CZentraSetup.h"
#include "installer/RunReport.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

PlanRows CZentraSetup::ReadPlanRows(const std::string& dialPlanPkid)
{
    const std::string plan = "'" + SqlQuote(dialPlanPkid) + "'";
    const auto read = [this](const std::string& sql, std::map<std::string, PlanRows::Row>& rows) {
        odbc::ResultSet* result = RunQuery(sql);
        const int columns = result->getColumnCount();
        while (result->next()) {
            PlanRows::Row row;
            for (int column = 1; column <= columns; ++column)
                row.push_back(result->getString(column));
            rows[row.front()] = row;
        }
        ReleaseQuery();
    };
    PlanRows rows;
    read("select pkid, name, description from DialPlan where pkid = " + plan, rows.dialPlan);
    read("select pkid, tag, suppressFromRouteFilter, tkOperator_Max from DialPlanTag where fkDialPlan = " + plan,
         rows.tags);
    read("select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction where fkDialPlan = " + plan,
         rows.instructions);
    read("select pkid, fkDigitDiscardInstruction, fkDialPlanTag from DigitDiscardInstructionMember where "
         "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where fkDialPlan = " +
             plan + ") or fkDialPlanTag in (select pkid from DialPlanTag where fkDialPlan = " + plan + ")",
         rows.members);
    return rows;
}
