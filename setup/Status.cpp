#include "setup/Status.h"

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/PlanStatus.h"
#include "installer/run/RunReportJson.h"
#include "installer/run/Session.h"
#include "setup/Install.h"

namespace setup {

namespace {

// Every installed dial plan, with the size of its tables.
void ListDialPlans(zentra_run::Session& session, Outcome& outcome)
{
    const std::vector<zentra_run::InstalledPlan> plans = zentra_run::InstalledPlans(session);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    Say() << plans.size() << " dial plan" << (plans.size() == 1 ? "" : "s") << " installed\n";
    for (const zentra_run::InstalledPlan& plan : plans) {
        nlohmann::ordered_json entry = {
            {"pkid", plan.pkid},
            {"name", plan.name},
            {"description", plan.description},
            {"tags", plan.tags},
            {"instructions", plan.instructions},
            {"members", plan.members},
            {"digitAnalysisIDs", nullptr},
        };
        std::string range = "none";
        if (plan.instructions != 0) {
            entry["digitAnalysisIDs"] = {{"lowest", std::stoll(plan.lowestId)},
                                         {"highest", std::stoll(plan.highestId)}};
            range = plan.lowestId + " to " + plan.highestId;
        }
        Say() << "  " << plan.name << " (" << plan.pkid << "): " << plan.tags << " tags, " << plan.instructions
              << " instructions, " << plan.members << " members, digit-analysis IDs " << range << "\n"
              << "    " << plan.description << "\n";
        list.push_back(entry);
    }
    outcome.status = {{"dialPlans", list}};
}

// The delivered file against the installed rows (none when pkid is empty).
void ShowDifferences(zentra_run::Session& session, const std::string& pkid, const dialplan::DialPlanFile& file,
                     Outcome& outcome)
{
    const zentra_run::FileDifferences found = zentra_run::CompareWithFile(session, pkid, file);
    Say() << file.path() << " against " << (pkid.empty() ? "an empty database" : "the installed rows")
          << " (+ the file adds, - the file drops, ~ differs):\n";
    PrintChanges(Say(), found.differences);
    outcome.status["differences"] = ChangesToJson(found.differences);
    outcome.status["counts"] = CountsToJson(found.differences);
    outcome.status["keptByAnUpgrade"] = found.keptByAnUpgrade;
    if (found.keptByAnUpgrade > 0)
        Say() << "  " << found.keptByAnUpgrade
              << " of the differing rows differ in values that an upgrade keeps as installed "
              << "(it writes only the description and the clauses of the six predefined instructions).\n";
}

void ShowRoutes(zentra_run::Session& session, const std::string& pkid, const std::string& name, Outcome& outcome)
{
    const std::vector<zentra_run::BlockingRow> routes = zentra_run::RoutesUsing(session, pkid, name);
    Say() << "Routes that use " << name << ": " << (routes.empty() ? "none" : "") << "\n";
    for (const zentra_run::BlockingRow& row : routes)
        Say() << "  " << row.text() << "\n";
    outcome.status["routes"] = zentra_run::BlockingRowsJson(routes);
}

// One dial plan against the delivered file, and the routes that use it.
void ShowDialPlan(zentra_run::Session& session, const std::string& name, Outcome& outcome)
{
    const std::string csvFile = name + ".csv";
    dialplan::DialPlanFile file;
    std::string fileProblem;
    try {
        file.Read(csvFile);
    } catch (const dialplan::FileError& error) {
        fileProblem = error.what();
    }
    const bool haveFile = fileProblem.empty();

    outcome.status = {{"installed", false},
                      {"file", haveFile ? nlohmann::ordered_json(csvFile) : nlohmann::ordered_json(nullptr)}};
    const std::optional<zentra_run::DialPlanRow> found = zentra_run::FindDialPlan(session, name);
    if (!found) {
        Say() << name << " is not installed.\n";
    } else {
        outcome.status["installed"] = true;
        outcome.status["pkid"] = found->pkid;
        outcome.status["description"] = found->description;
        Say() << name << " is installed (" << found->pkid << "): " << found->description << "\n";
    }

    if (haveFile) {
        ShowDifferences(session, found ? found->pkid : "", file, outcome);
    } else {
        Say() << "The delivered file: " << fileProblem << "\n";
        outcome.status["fileProblem"] = fileProblem;
        if (fileProblem.find(": cannot open the file") == std::string::npos) {
            outcome.exitStatus = zentra::kExitRefused;
            outcome.decidedBy = "DialPlanFile";
            outcome.result = "damaged file";
            outcome.message = fileProblem;
        }
    }
    if (found)
        ShowRoutes(session, found->pkid, name, outcome);
}

}  // namespace

void Status(const std::string& name, Outcome& outcome)
{
    CZentraSetup setup;
    const long connection = setup.DBConnection();
    if (connection != zentra::kConnected) {
        const bool elsewhere = connection == zentra::kNotPublisher;
        outcome.exitStatus = elsewhere ? zentra::kExitRefused : zentra::kExitConnectionFailed;
        outcome.decidedBy = "DBConnection";
        outcome.result = elsewhere ? "not the publisher" : "not connected";
        outcome.message = elsewhere ? "This machine is not the database publisher: the status is read there."
                                    : "The connection to the configuration database failed; check the "
                                      "registry value DBConnection0.";
        Say() << outcome.message << "\n";
        return;
    }
    outcome.exitStatus = zentra::kExitDone;
    outcome.decidedBy = "Status";
    outcome.result = "shown";
    zentra_run::Session session(setup, zentra_run::Session::Log::Closed);
    if (name.empty())
        ListDialPlans(session, outcome);
    else
        ShowDialPlan(session, name, outcome);
}

}  // namespace setup
