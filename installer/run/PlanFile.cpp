#include "installer/run/PlanFile.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/upgrade/PkidLookup.h"

namespace zentra_run {

namespace {

using dialplan::Table;
using zentra_upgrade::PkidKey;

// The head of a section: its marker line, the column names, the type row.
void AppendSectionHead(std::string& text, Table table)
{
    const dialplan::TableLayout& layout = dialplan::Layout(table);
    text.append(layout.marker).append("\r\n");
    for (std::size_t column = 0; column < layout.columnCount; ++column)
        text.append(column > 0 ? "," : "").append(layout.columns[column]);
    text.append("\r\n").append(layout.typeRow).append("\r\n");
}

// A field of a row; a pkid or a foreign key is written within braces.
struct Field {
    const std::string& value;
    bool braced = false;
};

// Appends a row's line; every field but the last must hold no comma, and no
// field a line break.
void AppendLine(std::string& text, Table table, std::initializer_list<Field> fields)
{
    std::size_t k = 0;
    for (const Field& field : fields) {
        const bool last = k + 1 == fields.size();
        if (field.value.find_first_of(last ? "\r\n" : ",\r\n") != std::string::npos)
            throw PlanFileError(std::string("the ") + dialplan::Layout(table).name + " row {" + fields.begin()->value +
                                "} holds a value that a dial-plan file cannot carry in its field " +
                                dialplan::Layout(table).columns[k] + ": \"" + field.value + "\"");
        if (k++ > 0)
            text += ',';
        if (field.braced)
            text.append("{").append(field.value).append("}");
        else
            text.append(field.value);
    }
    text.append("\r\n");
}

long long Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

void AppendInstructions(std::string& text, const PlanRows& rows, const std::string& plan)
{
    std::vector<std::pair<long long, const PlanRows::Row*>> ordered;
    ordered.reserve(rows.instructions.size());
    for (const auto& [pkid, row] : rows.instructions)
        ordered.emplace_back(Number(row.at(2)), &row);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    AppendSectionHead(text, Table::DigitDiscardInstruction);
    for (const auto& [id, row] : ordered)
        AppendLine(text, Table::DigitDiscardInstruction,
                   {{row->at(0), true}, {row->at(1)}, {plan, true}, {row->at(2)}, {row->at(3)}});
}

// The members that join the dial plan's own instructions and tags.
void AppendMembers(std::string& text, const PlanRows& rows)
{
    std::unordered_set<std::string> own;
    own.reserve(rows.tags.size() + rows.instructions.size());
    for (const auto* table : {&rows.tags, &rows.instructions})
        for (const auto& [pkid, row] : *table)
            own.insert(PkidKey(pkid));
    AppendSectionHead(text, Table::DigitDiscardInstructionMember);
    for (const auto& [pkid, row] : rows.members)
        if (own.count(PkidKey(row.at(1))) != 0 && own.count(PkidKey(row.at(2))) != 0)
            AppendLine(text, Table::DigitDiscardInstructionMember,
                       {{row.at(0), true}, {row.at(1), true}, {row.at(2), true}});
}

// About what a row's line takes, so that the text grows once.
std::size_t RoughSize(const PlanRows& rows)
{
    return 4096 + 160 * (rows.tags.size() + rows.instructions.size()) + 120 * rows.members.size();
}

}  // namespace

std::string PlanFileText(const PlanRows& rows)
{
    if (rows.dialPlan.size() != 1)
        throw PlanFileError("the dial plan's DialPlan row is not there to be written");
    const PlanRows::Row& dialPlan = rows.dialPlan.begin()->second;
    const std::string& plan = dialPlan.at(0);
    std::string text;
    text.reserve(RoughSize(rows));
    AppendSectionHead(text, Table::DialPlan);
    AppendLine(text, Table::DialPlan, {{plan, true}, {dialPlan.at(1)}, {dialPlan.at(2)}});
    text.append("\r\n");
    AppendSectionHead(text, Table::DialPlanTag);
    for (const auto& [pkid, row] : rows.tags) {
        if (row.at(3).size() > 1)
            throw PlanFileError("the DialPlanTag row " + pkid +
                                " holds a tkOperator_Max of more than one character, "
                                "which a dial-plan file cannot carry: \"" +
                                row.at(3) + "\"");
        AppendLine(text, Table::DialPlanTag, {{row.at(0), true}, {row.at(1)}, {plan, true}, {row.at(2)}, {row.at(3)}});
    }
    text.append("\r\n");
    AppendInstructions(text, rows, plan);
    text.append("\r\n");
    AppendMembers(text, rows);
    return text;
}

PlanRows RowsOfFile(const dialplan::DialPlanFile& file)
{
    const auto values = [](const dialplan::Row& row, std::initializer_list<std::size_t> columns,
                           std::initializer_list<std::size_t> identifiers) {
        PlanRows::Row out;
        for (std::size_t column : columns) {
            std::string value(row.values[column]);
            if (std::find(identifiers.begin(), identifiers.end(), column) != identifiers.end())
                value = PkidKey(value);
            out.push_back(std::move(value));
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

}  // namespace zentra_run
