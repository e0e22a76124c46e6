// The clauses of the six predefined digit discard instructions.

#include <algorithm>
#include <string>

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/SqlText.h"

void CZentraSetup::UpdatePredefinedDDI()
{
    zentra_run::Session step(*this);
    step.log("UpdatePredefinedDDI\n");
    // A file with fewer rows (the upgrade's file check refuses one) updates
    // only the instructions it has clauses for.
    const std::size_t rows = std::min(dialplan::kPredefinedCount, m_csvDdiClauses.size());
    for (std::size_t k = 0; k < rows; ++k) {
        // The file lists the predefined instructions first, in their order;
        // each file row's clause goes to the installed instruction of that name.
        const std::string update = "update DigitDiscardInstruction set clause = '" + SqlQuote(m_csvDdiClauses[k]) +
                                   "' where fkDialPlan = '" + SqlQuote(m_dialPlanPkid) + "' and name = '" +
                                   dialplan::kPredefinedInstructions[k] + "'";
        if (k == 0) {
            step.log("\n\n");
            step.log(update);
            step.execute(update);
        } else {
            step.execute(update);
            step.log("\n\n");
            step.log(update);
        }
    }
}
