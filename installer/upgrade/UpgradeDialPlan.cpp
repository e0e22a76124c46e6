// The upgrade of an installed dial plan: reads the file and the installed
// rows, refuses while something that the new version drops is in use, and
// applies the difference in one transaction.

#include <string>

#include "installer/CZentraSetup.h"
#include "installer/upgrade/UpgradeFileCheck.h"
#include "odbc/odbc.h"
#include "platform/Win32.h"

int CZentraSetup::UpgradeDialPlan(std::string name)
{
    m_csvPath = name + ".csv";

    // The upgrade deletes whatever the file no longer lists: a file that is
    // missing or damaged is refused before the database is looked at.
    const zentra_upgrade::FileProblem problem = zentra_upgrade::CheckUpgradeFile(m_csvPath);
    if (problem.refused) {
        const std::string message = zentra_upgrade::FileRefusalMessage(m_csvPath, problem);
        OpenLog();
        Log("UpgradeDialPlan refused: " + message + "\n");
        CloseLog();
        MessageBoxA(NULL, message.c_str(), "Installation Failed", MB_OK);
        return 12;
    }

    try {
        CSVReadDialPlanDescription();
        CSVReadDialPlanTagTable();
        CSVReadDigitDiscardInstructionTable();
        CSVReadDigitDiscardInstructionMemberTable();

        DBReadDialPlanTagTable();
        DBReadDigitDiscardInstructionTable();

        ObsoleteDialPlanTag();
        ObsoleteTagInUse();
        if (CheckObsoleteTagInUse() == 2)
            return 2;

        ObsoleteDigitDiscardInstruction();
        ObsoleteDDIInUse_RP_TP();
        if (CheckObsoleteDDIInUse() == 5)
            return 5;
        ObsoleteDDIInUse_RL();
        if (CheckObsoleteDDIInUse() == 5)
            return 5;

        // Every change of the upgrade or none: an error on the way rolls back
        // what the earlier statements did.
        ReleaseQuery();
        odbc::Transaction transaction(Database());
        try {
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
        } catch (...) {
            // Statements go before the rollback that leaving the scope does.
            ReleaseQuery();
            throw;
        }
        ReleaseQuery();
        transaction.commit();
    } catch (...) {
        // A step left by an error has not closed its log.
        CloseLog();
        throw;
    }
    return 7;
}
