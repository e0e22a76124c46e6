#include <cstdio>
#include <optional>

#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/PlanFile.h"
#include "installer/run/PlanStatus.h"
#include "installer/run/Session.h"
#include "platform/Platform.h"
#include "setup/MachineRun.h"
#include "setup/Restore.h"

namespace setup {

namespace {

using zentra_run::DialPlanPaths;

bool WriteText(const std::string& file, const std::string& text)
{
    FILE* out = platform::OpenFile(file, "wb");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace

void Export(const std::string& name, const std::string& file, Outcome& outcome)
{
    std::string problem;
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name, &problem);
    if (!paths)
        return Decide(outcome, zentra::kExitUsage, "CheckDialPlanName", "refused", problem);
    CZentraSetup setup;
    const long connection = Connect(setup, outcome);
    if (connection == zentra::kNotPublisher)
        return Decide(outcome, zentra::kExitRefused, "DBConnection", "not the publisher",
                      "This machine is not the database publisher: the dial plan is read there.");
    if (connection != zentra::kConnected)
        return;
    zentra_run::Session session(setup, zentra_run::Session::Log::Closed);
    const std::optional<zentra_run::DialPlanRow> found = zentra_run::FindDialPlan(session, name);
    if (!found)
        return Decide(outcome, zentra::kExitRefused, "Export", "not installed", name + " is not installed.");
    std::string text;
    try {
        text = zentra_run::PlanFileText(session, found->pkid);
    } catch (const zentra_run::PlanFileError& error) {
        return Decide(outcome, zentra::kExitRefused, "Export", "refused", error.what());
    }
    if (file.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    } else if (!WriteText(file, text)) {
        return Decide(outcome, zentra::kExitError, "Export", "failed", "The file " + file + " cannot be written.");
    }
    Decide(outcome, zentra::kExitDone, "Export", "exported",
           "The dial plan " + name + " is written to " + (file.empty() ? "standard output" : file) + ".");
}

}  // namespace setup
