// Gives the digit discard instructions of a new dial plan's file digit-analysis
// IDs that no instruction of the database uses yet. The delivered file is kept
// as NAME_new.csv, NAME.csv is written anew with the new IDs (CR LF line ends),
// and a copy goes into the dial plan's folder.

#include "installer/CZentraSetup.h"

#include <string>
#include <vector>

#include "installer/csv/DeliveredFile.h"
#include "installer/csv/FreeIds.h"
#include "installer/csv/IdRewrite.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Session.h"

void CZentraSetup::ReplaceDAId(std::string name)
{
    const zentra_run::DialPlanPaths paths(name);
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("In ReplaceDAId\n");

    // Without the delivered file nothing is moved or written, and m_csvPath
    // stays unset.
    std::string delivered;
    if (!zentra_csv::ReadDeliveredFile(step, paths.deliveredCsv(), delivered))
        return;

    // The smallest free IDs, one per row, ascending in file order, so that the
    // six predefined instructions at the head of the section get the dial
    // plan's six lowest IDs.
    zentra_csv::FreeIdSequence freeIds(zentra_csv::UsedDigitAnalysisIds(step));
    const zentra_csv::RewrittenFile rewrite = zentra_csv::RewriteDigitAnalysisIds(delivered, freeIds);

    if (!zentra_csv::KeepDeliveredFile(step, paths.deliveredCsv(), paths.keptCsv()))
        return;
    m_csvPath = paths.deliveredCsv();
    m_newCsvPath = paths.keptCsv();
    if (!zentra_csv::WriteRewrittenFile(step, m_csvPath, rewrite, true))
        return;
    step.log("End of the function\n");
    step.closeLog();
    zentra_csv::CopyRewrittenFile(m_csvPath, paths.rewrittenCopy());
}
