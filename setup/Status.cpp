#include "setup/Status.h"

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/CZentraSetupSteps.h"
#include "installer/RunReportJson.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"
#include "setup/Install.h"

namespace setup {

namespace {

using Rows = std::vector<std::vector<std::string>>;
using zentra_upgrade::PkidKey;

std::string Quoted(const std::string& value) { return "'" + SqlQuote(value) + "'"; }

// How many rows of each dial plan a query counts: pkid -> its columns after the first.
std::map<std::string, std::vector<std::string>> ByPlan(const Rows& rows)
{
    std::map<std::string, std::vector<std::string>> byPlan;
    for (const auto& row : rows)
        byPlan[PkidKey(row.at(0))] = std::vector<std::string>(row.begin() + 1, row.end());
    return byPlan;
}

std::string At(const std::map<std::string, std::vector<std::string>>& byPlan, const std::string& pkid,
               std::size_t column, const char* otherwise)
{
    const auto found = byPlan.find(PkidKey(pkid));
    return found == byPlan.end() || found->second.size() <= column ? otherwise : found->second[column];
}

long long Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

// Every installed dial plan, with the size of its tables.
void ListDialPlans(CZentraSetup& setup, Outcome& outcome)
{
    const Rows plans = CZentraSetupSteps::Query(setup, "select pkid, name, description from DialPlan order by name");
    const auto tags =
        ByPlan(CZentraSetupSteps::Query(setup, "select fkDialPlan, count(*) from DialPlanTag group by fkDialPlan"));
    const auto instructions = ByPlan(CZentraSetupSteps::Query(
        setup, "select fkDialPlan, count(*), min(digitAnalysisID), max(digitAnalysisID) from DigitDiscardInstruction "
               "group by fkDialPlan"));
    const auto members = ByPlan(CZentraSetupSteps::Query(
        setup, "select i.fkDialPlan, count(*) from DigitDiscardInstructionMember m, DigitDiscardInstruction i where "
               "m.fkDigitDiscardInstruction = i.pkid group by i.fkDialPlan"));

    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    Say() << plans.size() << " dial plan" << (plans.size() == 1 ? "" : "s") << " installed\n";
    for (const auto& plan : plans) {
        const std::string& pkid = plan.at(0);
        nlohmann::ordered_json entry = {
            {"pkid", pkid},
            {"name", plan.at(1)},
            {"description", plan.at(2)},
            {"tags", Number(At(tags, pkid, 0, "0"))},
            {"instructions", Number(At(instructions, pkid, 0, "0"))},
            {"members", Number(At(members, pkid, 0, "0"))},
            {"digitAnalysisIDs", nullptr},
        };
        std::string range = "none";
        if (entry["instructions"] != 0) {
            entry["digitAnalysisIDs"] = {{"lowest", Number(At(instructions, pkid, 1, "0"))},
                                         {"highest", Number(At(instructions, pkid, 2, "0"))}};
            range = At(instructions, pkid, 1, "") + " to " + At(instructions, pkid, 2, "");
        }
        Say() << "  " << plan.at(1) << " (" << pkid << "): " << entry["tags"] << " tags, " << entry["instructions"]
              << " instructions, " << entry["members"] << " members, digit-analysis IDs " << range << "\n"
              << "    " << plan.at(2) << "\n";
        list.push_back(entry);
    }
    outcome.status = {{"dialPlans", list}};
}

// The rows of a checked file in the form the installer reads the database in,
// keyed and written as identifiers, whatever the file's letter case.
PlanRows FileRows(const dialplan::DialPlanFile& file)
{
    using dialplan::Table;
    const auto values = [](const dialplan::Row& row, std::initializer_list<std::size_t> columns,
                           std::initializer_list<std::size_t> identifiers) {
        PlanRows::Row out;
        for (std::size_t column : columns) {
            std::string value(row.values[column]);
            for (std::size_t identifier : identifiers)
                if (identifier == column)
                    value = PkidKey(value);
            out.push_back(value);
        }
        return out;
    };
    PlanRows rows;
    for (const auto& row : file.section(Table::DialPlan).rows)
        rows.dialPlan[PkidKey(std::string(row.values[0]))] = values(row, {0, 1, 2}, {0});
    for (const auto& row : file.section(Table::DialPlanTag).rows)
        rows.tags[PkidKey(std::string(row.values[0]))] = values(row, {0, 1, 3, 4}, {0});
    for (const auto& row : file.section(Table::DigitDiscardInstruction).rows)
        rows.instructions[PkidKey(std::string(row.values[0]))] = values(row, {0, 1, 3, 4}, {0});
    for (const auto& row : file.section(Table::DigitDiscardInstructionMember).rows)
        rows.members[PkidKey(std::string(row.values[0]))] = values(row, {0, 1, 2}, {0, 1, 2});
    return rows;
}

// Keys of the installed rows as identifiers too, so that both sides compare.
PlanRows Keyed(const PlanRows& installed)
{
    const auto key = [](const std::map<std::string, PlanRows::Row>& rows) {
        std::map<std::string, PlanRows::Row> keyed;
        for (const auto& [pkid, row] : rows)
            keyed[PkidKey(pkid)] = row;
        return keyed;
    };
    return {key(installed.dialPlan), key(installed.tags), key(installed.instructions), key(installed.members)};
}

// One dial plan against the delivered file, and the routes that use it.
void ShowDialPlan(CZentraSetup& setup, const std::string& name, Outcome& outcome)
{
    const std::string csvFile = name + ".csv";
    dialplan::DialPlanFile file;
    bool haveFile = false;
    std::string fileProblem;
    try {
        file.Read(csvFile);
        haveFile = true;
    } catch (const dialplan::FileError& error) {
        fileProblem = error.what();
    }

    outcome.status = {{"installed", false},
                      {"file", haveFile ? nlohmann::ordered_json(csvFile) : nlohmann::ordered_json(nullptr)}};
    const Rows found =
        CZentraSetupSteps::Query(setup, "select pkid, description from DialPlan where name=" + Quoted(name));
    if (found.empty()) {
        Say() << name << " is not installed.\n";
    } else {
        const std::string pkid = found.front().at(0);
        outcome.status["installed"] = true;
        outcome.status["pkid"] = pkid;
        outcome.status["description"] = found.front().at(1);
        Say() << name << " is installed (" << pkid << "): " << found.front().at(1) << "\n";
    }

    if (!haveFile) {
        Say() << "The delivered file: " << fileProblem << "\n";
        outcome.status["fileProblem"] = fileProblem;
        if (fileProblem.find(": cannot open the file") == std::string::npos) {
            outcome.exitStatus = kRefused;
            outcome.decidedBy = "DialPlanFile";
            outcome.result = "damaged file";
            outcome.message = fileProblem;
        }
    } else {
        const PlanRows installed =
            found.empty() ? PlanRows() : Keyed(CZentraSetupSteps::ReadPlanRows(setup, found.front().at(0)));
        const PlanChanges differences = CompareRows(installed, FileRows(file));
        Say() << csvFile << " against " << (found.empty() ? "an empty database" : "the installed rows")
              << " (+ the file adds, - the file drops, ~ differs):\n";
        PrintChanges(Say(), differences);
        outcome.status["differences"] = ChangesToJson(differences);
        outcome.status["counts"] = CountsToJson(differences);
        // What of the differences an upgrade writes: the description and the
        // clauses of the six predefined instructions; the other values of
        // installed rows stay as they are.
        std::size_t kept = 0;
        for (const auto& change : differences.instructions.changed) {
            const auto& rows = file.section(dialplan::Table::DigitDiscardInstruction).rows;
            bool predefined = false;
            for (std::size_t k = 0; k < rows.size() && k < 6; ++k)
                predefined = predefined || PkidKey(std::string(rows[k].values[0])) == change.after.at(0);
            if (!predefined || change.before.at(1) != change.after.at(1) || change.before.at(2) != change.after.at(2))
                ++kept;
        }
        kept += differences.tags.changed.size() + differences.members.changed.size();
        for (const auto& change : differences.dialPlan.changed)
            if (change.before.at(1) != change.after.at(1))
                ++kept;
        outcome.status["keptByAnUpgrade"] = kept;
        if (kept > 0)
            Say() << "  " << kept << " of the differing rows differ in values that an upgrade keeps as installed "
                  << "(it writes only the description and the clauses of the six predefined instructions).\n";
    }

    if (!found.empty()) {
        RunReport routes;
        for (int result : {9, 10, 11})
            CZentraSetupSteps::ListDialPlanUsers(setup, found.front().at(0), name, result, routes);
        Say() << "Routes that use " << name << ": " << (routes.blocking.empty() ? "none" : "") << "\n";
        for (const BlockingRow& row : routes.blocking)
            Say() << "  " << row.text() << "\n";
        const nlohmann::ordered_json list = BlockingRowsJson(routes.blocking);
        outcome.status["routes"] = list;
    }
}

}  // namespace

void Status(const std::string& name, Outcome& outcome)
{
    CZentraSetup setup;
    const long connection = setup.DBConnection();
    if (connection != 0) {
        outcome.exitStatus = connection == 8 ? kRefused : kConnectionFailed;
        outcome.decidedBy = "DBConnection";
        outcome.result = connection == 8 ? "not the publisher" : "not connected";
        outcome.message = connection == 8 ? "This machine is not the database publisher: the status is read there."
                                          : "The connection to the configuration database failed; check the "
                                            "registry value DBConnection0.";
        Say() << outcome.message << "\n";
        return;
    }
    outcome.exitStatus = kDone;
    outcome.decidedBy = "Status";
    outcome.result = "shown";
    if (name.empty())
        ListDialPlans(setup, outcome);
    else
        ShowDialPlan(setup, name, outcome);
}

}  // namespace setup
