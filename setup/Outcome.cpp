#include "setup/Outcome.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "installer/run/RunReportJson.h"
#include "zentra_version.h"

namespace setup {

namespace {

using zentra_run::PlanChanges;
using zentra_run::PlanRows;

bool g_toStandardError = false;

// The columns of each table's rows, in the order the installer reads them.
struct TableColumns {
    const char* table;
    const PlanChanges::Table PlanChanges::*changes;
    std::vector<const char*> columns;
};
const TableColumns kTables[] = {
    {"DialPlan", &PlanChanges::dialPlan, {"pkid", "name", "description"}},
    {"DialPlanTag", &PlanChanges::tags, {"pkid", "tag", "suppressFromRouteFilter", "tkOperator_Max"}},
    {"DigitDiscardInstruction", &PlanChanges::instructions, {"pkid", "name", "digitAnalysisID", "clause"}},
    {"DigitDiscardInstructionMember", &PlanChanges::members, {"pkid", "fkDigitDiscardInstruction", "fkDialPlanTag"}},
};

nlohmann::ordered_json RowJson(const TableColumns& table, const PlanRows::Row& row)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (std::size_t k = 0; k < table.columns.size() && k < row.size(); ++k)
        object[table.columns[k]] = row[k];
    return object;
}

nlohmann::ordered_json ChangesJsonOf(const PlanChanges& changes)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::object();
    for (const TableColumns& table : kTables) {
        const PlanChanges::Table& rows = changes.*table.changes;
        nlohmann::ordered_json json = {{"added", nlohmann::ordered_json::array()},
                                       {"deleted", nlohmann::ordered_json::array()},
                                       {"changed", nlohmann::ordered_json::array()}};
        for (const auto& row : rows.added)
            json["added"].push_back(RowJson(table, row));
        for (const auto& row : rows.deleted)
            json["deleted"].push_back(RowJson(table, row));
        for (const auto& change : rows.changed)
            json["changed"].push_back(
                {{"before", RowJson(table, change.before)}, {"after", RowJson(table, change.after)}});
        all[table.table] = json;
    }
    return all;
}

nlohmann::ordered_json CountsJsonOf(const PlanChanges& changes)
{
    nlohmann::ordered_json counts = nlohmann::ordered_json::object();
    for (const TableColumns& table : kTables) {
        const PlanChanges::Table& rows = changes.*table.changes;
        counts[table.table] = {
            {"added", rows.added.size()}, {"deleted", rows.deleted.size()}, {"changed", rows.changed.size()}};
    }
    return counts;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// What changed between two rows of a table: "column: before -> after; ...".
std::string Differences(const TableColumns& table, const PlanChanges::Changed& change)
{
    std::string text;
    for (std::size_t k = 1; k < table.columns.size() && k < change.before.size() && k < change.after.size(); ++k)
        if (change.before[k] != change.after[k])
            text += (text.empty() ? "" : "; ") + std::string(table.columns[k]) + " " + Quoted(change.before[k]) +
                    " -> " + Quoted(change.after[k]);
    return text;
}

}  // namespace

void Decide(Outcome& outcome, int exitStatus, const std::string& decidedBy, const std::string& result,
            const std::string& message)
{
    outcome.exitStatus = exitStatus;
    outcome.decidedBy = decidedBy.empty() ? outcome.run.decidedBy : decidedBy;
    outcome.result = result;
    outcome.message = message;
}

nlohmann::ordered_json ChangesToJson(const PlanChanges& changes) { return ChangesJsonOf(changes); }

nlohmann::ordered_json CountsToJson(const PlanChanges& changes) { return CountsJsonOf(changes); }

nlohmann::ordered_json ToJson(const Outcome& outcome)
{
    nlohmann::ordered_json json = {
        {"program", "zentra-setup"},
        {"version", ZENTRA_VERSION},
        {"mode", outcome.mode},
        {"name", zentra_run::TextOrNull(outcome.name)},
        {"exitStatus", outcome.exitStatus},
        {"result", outcome.result},
        {"road", zentra_run::TextOrNull(outcome.road)},
        {"decidedBy", outcome.decidedBy},
        {"message", outcome.message},
        {"log", zentra_run::TextOrNull(outcome.run.logPath)},
    };
    json["messages"] = nlohmann::ordered_json::array();
    for (const auto& [caption, text] : outcome.run.messages)
        json["messages"].push_back({{"caption", caption}, {"text", text}});
    json["blocking"] = zentra_run::BlockingRowsJson(outcome.run.blocking);
    json["counts"] = CountsJsonOf(outcome.run.changes);
    json["changes"] = ChangesJsonOf(outcome.run.changes);
    json["ids"] = nlohmann::ordered_json::array();
    for (const auto& [name, id] : outcome.run.ids)
        json["ids"].push_back({{"instruction", name}, {"digitAnalysisID", id}});
    json["snapshot"] = zentra_run::TextOrNull(outcome.run.snapshot);
    if (!outcome.run.restoredFrom.empty())
        json["restoredFrom"] = outcome.run.restoredFrom;
    if (!outcome.run.conflicts.empty())
        json["conflicts"] = outcome.run.conflicts;
    if (!outcome.status.is_null())
        json["status"] = outcome.status;
    if (!outcome.history.is_null())
        json["history"] = outcome.history;
    return json;
}

void PrintChanges(std::ostream& out, const PlanChanges& changes)
{
    for (const TableColumns& table : kTables) {
        const PlanChanges::Table& rows = changes.*table.changes;
        out << "  " << table.table << ": " << rows.added.size() << " added, " << rows.deleted.size() << " deleted, "
            << rows.changed.size() << " changed\n";
        if (std::string(table.table) == "DigitDiscardInstructionMember")
            continue;  // many, and named by their keys only: the JSON document lists them
        // Instructions in digit-analysis order, the order that makes the
        // first six the predefined ones.
        std::vector<PlanRows::Row> added = rows.added;
        const bool instructions = std::string(table.table) == "DigitDiscardInstruction";
        if (instructions)
            std::stable_sort(added.begin(), added.end(), [](const PlanRows::Row& a, const PlanRows::Row& b) {
                return std::atoll(a.at(2).c_str()) < std::atoll(b.at(2).c_str());
            });
        for (const auto& row : added)
            out << "    + " << row.at(1) << " (" << row.at(0) << ")"
                << (instructions ? ", digitAnalysisID " + row.at(2) : "") << "\n";
        for (const auto& row : rows.deleted)
            out << "    - " << row.at(1) << " (" << row.at(0) << ")\n";
        for (const auto& change : rows.changed)
            out << "    ~ " << change.after.at(1) << " (" << change.after.at(0) << "): " << Differences(table, change)
                << "\n";
    }
}

std::ostream& Say() { return g_toStandardError ? std::cerr : std::cout; }

void SayToStandardError(bool toStandardError) { g_toStandardError = toStandardError; }

void Step(const std::string& text) { Say() << text << "... " << std::flush; }

void Done(const std::string& text) { Say() << text << std::endl; }

}  // namespace setup
