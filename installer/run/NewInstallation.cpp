// The database half of a new installation, as one run under the run lock: the
// free digit-analysis IDs are chosen and the rows loaded in one transaction, so
// that two installations at once can never be given the same IDs, and nothing
// of a failed load stays. The rewritten file reaches the disk only afterwards.

#include "installer/run/Installation.h"

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/csv/DeliveredFile.h"
#include "installer/csv/FreeIds.h"
#include "installer/csv/IdRewrite.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/RunScope.h"
#include "installer/run/Session.h"
#include "loader/DatabaseLoad.h"

namespace zentra_run {

int Installation::installNew(const std::string& name, const RunOptions& options)
{
    MessageDeferral messages(options.report != nullptr ? &options.report->messages : nullptr, !options.preview);
    const DialPlanPaths paths(name);
    // Cleared first: afterwards it is set only when the rewrite went ahead.
    setup_.m_csvPath.clear();
    Session session(setup_);
    session.log("\n\n");
    session.log("In ReplaceDAId\n");
    std::string delivered;
    if (!zentra_csv::ReadDeliveredFile(session, paths.deliveredCsv(), delivered))
        return options.decided("InstallNewDialPlan", zentra::kDeliveredFileUnreadable);

    RunScope run(session, options);
    // The lookup of DialPlanMain was made before the lock: another run may
    // have installed the dial plan since.
    const std::string lookup = "select pkid from DialPlan where name='" + SqlQuote(name) + "'";
    if (session.query(lookup)->next()) {
        session.log(lookup + "\n");
        session.log("The dial plan " + name +
                    " has been installed by another run since it was looked up. Nothing has been changed.\n");
        return run.decided("InstallNewDialPlan", zentra::kInstalledMeanwhile);
    }
    zentra_csv::FreeIdSequence freeIds(zentra_csv::UsedDigitAnalysisIds(session));
    const zentra_csv::RewrittenFile rewrite = zentra_csv::RewriteDigitAnalysisIds(delivered, freeIds);
    zentra_csv::LogRewrite(session, rewrite);
    session.log("End of the function\n");
    loadRewrittenFile(session, paths, rewrite, run);
    const int result = run.finish("InstallNewDialPlan", zentra::kLoaded);

    // Only what the database holds now is written and kept.
    if (!options.preview && zentra_csv::KeepDeliveredFile(session, paths.deliveredCsv(), paths.keptCsv())) {
        setup_.m_csvPath = paths.deliveredCsv();
        setup_.m_newCsvPath = paths.keptCsv();
        if (zentra_csv::WriteRewrittenFile(session, setup_.m_csvPath, rewrite, false))
            zentra_csv::CopyRewrittenFile(setup_.m_csvPath, paths.rewrittenCopy());
    }
    return result;
}

void Installation::loadRewrittenFile(Session& session, const DialPlanPaths& paths,
                                     const zentra_csv::RewrittenFile& rewrite, RunScope& run)
{
    session.log("Before calling ZentraInstallCSVFile\n");
    dialplan::DialPlanFile file;
    try {
        file.Parse(paths.deliveredCsv(), rewrite.text());
        quillet::InsertDialPlanRows(session.connection(), file);
    } catch (const std::exception& error) {
        session.log("After calling ZentraInstallCSVFile\n");
        session.log(std::string("The CSV loader failed: ") + error.what() + "\nNothing has been installed.\n");
        throw;
    }
    session.log("After calling ZentraInstallCSVFile\n");
    if (RunReport* report = run.report()) {
        const auto& instructions = file.section(dialplan::Table::DigitDiscardInstruction).rows;
        for (std::size_t k = 0; k < instructions.size() && k < rewrite.ids.size(); ++k)
            report->ids.emplace_back(std::string(instructions[k].values[1]), rewrite.ids[k]);
    }
    run.rowsAfter(std::string(file.section(dialplan::Table::DialPlan).rows.front().values[0]));
}

}  // namespace zentra_run
