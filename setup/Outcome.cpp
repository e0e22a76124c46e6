#include "setup/Outcome.h"

#include <iostream>

#include "zentra_version.h"

namespace setup {

namespace {

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

nlohmann::json RowJson(const TableColumns& table, const PlanRows::Row& row)
{
    nlohmann::json object = nlohmann::json::object();
    for (std::size_t k = 0; k < table.columns.size() && k < row.size(); ++k)
        object[table.columns[k]] = row[k];
    return object;
}

nlohmann::json ChangesJsonOf(const PlanChanges& changes)
{
    nlohmann::json all = nlohmann::json::object();
    for (const TableColumns& table : kTables) {
        const PlanChanges::Table& rows = changes.*table.changes;
        nlohmann::json json = {{"added", nlohmann::json::array()},
                               {"deleted", nlohmann::json::array()},
                               {"changed", nlohmann::json::array()}};
        for (const auto& row : rows.added)
            json["added"].push_back(RowJson(table, row));
        for (const auto& row : rows.deleted)
            json["deleted"].push_back(RowJson(table, row));
        for (const auto& change : rows.changed)
            json["changed"].push_back({{"before", RowJson(table, change.before)}, {"after", RowJson(table, change.after)}});
        all[table.table] = json;
    }
    return all;
}

nlohmann::json CountsJsonOf(const PlanChanges& changes)
{
    nlohmann::json counts = nlohmann::json::object();
    for (const TableColumns& table : kTables) {
        const PlanChanges::Table& rows = changes.*table.changes;
        counts[table.table] = {{"added", rows.added.size()},
                               {"deleted", rows.deleted.size()},
                               {"changed", rows.changed.size()}};
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

nlohmann::json ChangesToJson(const PlanChanges& changes) { return ChangesJsonOf(changes); }

nlohmann::json CountsToJson(const PlanChanges& changes) { return CountsJsonOf(changes); }

nlohmann::json ToJson(const Outcome& outcome)
{
    nlohmann::json json = {
        {"program", "zentra-setup"},
        {"version", ZENTRA_VERSION},
        {"mode", outcome.mode},
        {"name", outcome.name.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.name)},
        {"exitStatus", outcome.exitStatus},
        {"result", outcome.result},
        {"road", outcome.road.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.road)},
        {"decidedBy", outcome.decidedBy},
        {"message", outcome.message},
        {"log", outcome.run.logPath.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.run.logPath)},
    };
    json["messages"] = nlohmann::json::array();
    for (const auto& [caption, text] : outcome.run.messages)
        json["messages"].push_back({{"caption", caption}, {"text", text}});
    json["blocking"] = nlohmann::json::array();
    for (const BlockingRow& row : outcome.run.blocking)
        json["blocking"].push_back({{"used", row.used},
                                    {"usedName", row.usedName},
                                    {"usedPkid", row.usedPkid},
                                    {"user", row.user},
                                    {"userName", row.userName},
                                    {"userPkid", row.userPkid},
                                    {"text", row.text()}});
    json["counts"] = CountsJsonOf(outcome.run.changes);
    json["changes"] = ChangesJsonOf(outcome.run.changes);
    json["ids"] = nlohmann::json::array();
    for (const auto& [name, id] : outcome.run.ids)
        json["ids"].push_back({{"instruction", name}, {"digitAnalysisID", id}});
    if (!outcome.status.is_null())
        json["status"] = outcome.status;
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
        for (const auto& row : rows.added)
            out << "    + " << row.at(1) << " (" << row.at(0) << ")"
                << (std::string(table.table) == "DigitDiscardInstruction" ? ", digitAnalysisID " + row.at(2) : "")
                << "\n";
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
