// The database half of a new installation, as one run under the run lock: the
// free digit-analysis IDs are chosen and the rows loaded in one transaction, so
// that two installations at once can never be given the same IDs, and nothing
// of a failed load stays. The rewritten file reaches the disk only afterwards.

#include "installer/CZentraSetup.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/MessageDeferral.h"
#include "installer/RunReport.h"
#include "installer/SqlText.h"
#include "installer/csv/FreeIds.h"
#include "installer/csv/IdRewrite.h"
#include "loader/DatabaseLoad.h"
#include "odbc/odbc.h"

int CZentraSetup::InstallNewDialPlan(std::string name, const RunOptions& options)
{
    RunReport* const report = options.report;
    const auto decided = [report](int result) {
        if (report != nullptr)
            report->decidedBy = "InstallNewDialPlan";
        return result;
    };
    MessageDeferral messages(report != nullptr ? &report->messages : nullptr, !options.preview);

    OpenLog();
    Log("\n\n");
    Log("In ReplaceDAId\n");
    try {
        std::string delivered;
        if (!ReadDeliveredFile(name, delivered))
            return decided(3);

        std::unique_ptr<odbc::ExclusiveTransaction> run = BeginRun();
        struct Release {
            CZentraSetup& setup;
            ~Release() { setup.ReleaseQuery(); }
        } release{*this};

        // The lookup of DialPlanMain was made before the lock: another run may
        // have installed the dial plan since.
        const std::string lookup = "select pkid from DialPlan where name='" + SqlQuote(name) + "'";
        if (RunQuery(lookup)->next()) {
            Log(lookup + "\n");
            Log("The dial plan " + name +
                " has been installed by another run since it was looked up. Nothing has "
                "been changed.\n");
            CloseLog();
            return decided(14);
        }

        zentra_csv::FreeIdSequence freeIds(UsedDigitAnalysisIds());
        const zentra_csv::RewrittenFile rewrite = zentra_csv::RewriteDigitAnalysisIds(delivered, freeIds);
        LogRewrite(rewrite);
        Log("End of the function\n");

        Log("Before calling ZentraInstallCSVFile\n");
        dialplan::DialPlanFile file;
        try {
            file.Parse(name + ".csv", rewrite.text());
            quillet::InsertDialPlanRows(Database(), file);
        } catch (const std::exception& error) {
            Log("After calling ZentraInstallCSVFile\n");
            Log(std::string("The CSV loader failed: ") + error.what() + "\nNothing has been installed.\n");
            throw;
        }
        Log("After calling ZentraInstallCSVFile\n");

        if (report != nullptr) {
            const auto& instructions = file.section(dialplan::Table::DigitDiscardInstruction).rows;
            for (std::size_t k = 0; k < instructions.size() && k < rewrite.ids.size(); ++k)
                report->ids.emplace_back(std::string(instructions[k].values[1]), rewrite.ids[k]);
            if (options.changes) {
                const std::string pkid(file.section(dialplan::Table::DialPlan).rows.front().values[0]);
                report->changes = CompareRows(PlanRows(), ReadPlanRows(pkid));
            }
        }
        ReleaseQuery();
        if (options.preview) {
            run->rollback();
            CloseLog();
            return decided(0);
        }
        run->commit();

        // Only what the database holds now is written and kept.
        if (KeepDeliveredFile(name) && WriteRewrittenFile(rewrite, false))
            CopyRewrittenFile(name);
    } catch (...) {
        CloseLog();
        throw;
    }
    CloseLog();
    return decided(0);
}
