// The clauses of the six predefined digit discard instructions.

#include <algorithm>
#include <string>

#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/SqlText.h"

void CZentraSetup::UpdatePredefinedDDI()
{
    // The file lists the predefined instructions first, in this order; each
    // file row's clause goes to the installed instruction of that name.
    static const char* const kClosingTexts[6] = {
        "' and name = 'NoDigits'",
        "' and name = 'PreDot'",
        "' and name = 'PreAt'",
        "' and name = 'Trailing-#'",
        "' and name = 'PreDot Trailing-#'",
        "' and name = 'PreAt Trailing-#'",
    };

    zentra_run::Session step(*this);
    step.log("UpdatePredefinedDDI\n");
    // A file with fewer rows (the upgrade's file check refuses one) updates
    // only the instructions it has clauses for.
    const std::size_t rows = std::min<std::size_t>(6, m_csvDdiClauses.size());
    for (std::size_t k = 0; k < rows; ++k) {
        const std::string update = "update DigitDiscardInstruction set clause = '" + SqlQuote(m_csvDdiClauses[k]) +
                                   "' where fkDialPlan = '" + SqlQuote(m_dialPlanPkid) + kClosingTexts[k];
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
