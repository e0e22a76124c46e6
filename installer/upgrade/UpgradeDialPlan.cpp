// The upgrade of an installed dial plan: reads the file, then, in one
// transaction under the run lock, reads the installed rows, refuses while
// something that the new version drops is in use, and applies the difference.

#include <memory>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/MessageDeferral.h"
#include "installer/RunReport.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

namespace {

// The routes that the reference checks read: held still from the checks to the
// commit, so that no route can come to use a row the upgrade deletes.
const std::vector<std::string> kRouteTables = {"NumPlan", "RouteList", "RouteFilter", "RouteFilterMember"};

}  // namespace

int CZentraSetup::UpgradeDialPlan(std::string name) { return UpgradeInTransaction(name, RunOptions()); }

int CZentraSetup::UpgradeInTransaction(const std::string& name, const RunOptions& options)
{
    RunReport* const report = options.report;
    const auto decided = [report](const char* step, int result) {
        if (report != nullptr)
            report->decidedBy = step;
        return result;
    };

    // DialPlanMain has checked the file: it is whole and well formed.
    m_csvPath = name + ".csv";

    // The refusals' message boxes wait until the transaction has ended.
    MessageDeferral deferral;
    try {
        CSVReadDialPlanDescription();
        CSVReadDialPlanTagTable();
        CSVReadDigitDiscardInstructionTable();
        CSVReadDigitDiscardInstructionMemberTable();

        // Everything from here on is decided on what this transaction sees,
        // and no other run changes it meanwhile.
        std::unique_ptr<odbc::ExclusiveTransaction> run = BeginRun();
        // Statements go before the transaction ends, however it ends.
        struct Release {
            CZentraSetup& setup;
            ~Release() { setup.ReleaseQuery(); }
        } release{*this};

        if (run->lockRows("DialPlan", "pkid = '" + SqlQuote(m_dialPlanPkid) + "'") != 1) {
            OpenLog();
            Log("The dial plan " + name +
                " is no longer installed: another run has removed it since it was "
                "looked up. Nothing has been changed.\n");
            CloseLog();
            return decided("UpgradeDialPlan", 13);
        }
        run->lockTablesAgainstWrites(kRouteTables);
        const bool tellChanges = report != nullptr && options.changes;
        PlanRows before;
        if (tellChanges)
            before = ReadPlanRows(m_dialPlanPkid);

        DBReadDialPlanTagTable();
        DBReadDigitDiscardInstructionTable();

        ObsoleteDialPlanTag();
        ObsoleteTagInUse();
        if (CheckObsoleteTagInUse() == 2) {
            ListTagUsers(report);
            return decided("CheckObsoleteTagInUse", 2);
        }

        ObsoleteDigitDiscardInstruction();
        ObsoleteDDIInUse_RP_TP();
        if (CheckObsoleteDDIInUse() == 5) {
            ListInstructionUsers(true, report);
            return decided("CheckObsoleteDDIInUse", 5);
        }
        ObsoleteDDIInUse_RL();
        if (CheckObsoleteDDIInUse() == 5) {
            ListInstructionUsers(false, report);
            return decided("CheckObsoleteDDIInUse", 5);
        }

        DeleteObsoleteDDI_NOT_IN_USE();
        NewDialPlanTag();
        UpdateDialPlanDescription();
        UpdatePredefinedDDI();
        DeleteObsoleteTags();
        InsertNewTags();
        NewDigitDiscardInstructions();
        InsertNewDigitDiscardInstructions();
        InsertDDIMPredefinedDDI();
        InsertDDIMNewDDI();

        if (tellChanges)
            report->changes = CompareRows(before, ReadPlanRows(m_dialPlanPkid));
        ReleaseQuery();
        if (options.preview)
            run->rollback();
        else
            run->commit();
    } catch (...) {
        // A step left by an error has not closed its log.
        CloseLog();
        throw;
    }
    return decided("UpgradeDialPlan", 7);
}
