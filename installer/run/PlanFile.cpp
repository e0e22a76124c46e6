#include "installer/run/PlanFile.h"

#include <algorithm>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/upgrade/PkidLookup.h"

namespace zentra_run {

namespace {

using dialplan::Table;
using zentra_upgrade::PkidKey;

std::string Braced(const std::string& pkid) { return "{" + pkid + "}"; }

// The head of a section: its marker line, the column names, the type row.
std::string SectionHead(Table table)
{
    const dialplan::TableLayout& layout = dialplan::Layout(table);
    std::string names;
    for (std::size_t column = 0; column < layout.columnCount; ++column)
        names += (column > 0 ? "," : "") + std::string(layout.columns[column]);
    return std::string(layout.marker) + "\r\n" + names + "\r\n" + layout.typeRow + "\r\n";
}

// A row's fields joined; every field but the last must hold no comma, and no
// field a line break.
std::string Line(Table table, const std::vector<std::string>& fields)
{
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const bool last = k + 1 == fields.size();
        if (fields[k].find_first_of(last ? "\r\n" : ",\r\n") != std::string::npos)
            throw PlanFileError(std::string("the ") + dialplan::Layout(table).name + " row " + fields.front() +
                                " holds a value that a dial-plan file cannot carry in its field " +
                                dialplan::Layout(table).columns[k] + ": \"" + fields[k] + "\"");
    }
    std::string line;
    for (std::size_t k = 0; k < fields.size(); ++k)
        line += (k > 0 ? "," : "") + fields[k];
    return line + "\r\n";
}

long long Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

std::string Instructions(const PlanRows& rows, const std::string& plan)
{
    std::vector<const PlanRows::Row*> ordered;
    for (const auto& [pkid, row] : rows.instructions)
        ordered.push_back(&row);
    std::stable_sort(ordered.begin(), ordered.end(), [](const PlanRows::Row* a, const PlanRows::Row* b) {
        return Number(a->at(2)) < Number(b->at(2));
    });
    std::string text = SectionHead(Table::DigitDiscardInstruction);
    for (const PlanRows::Row* row : ordered)
        text += Line(Table::DigitDiscardInstruction,
                     {Braced(row->at(0)), row->at(1), Braced(plan), row->at(2), row->at(3)});
    return text;
}

std::string Members(const PlanRows& rows)
{
    std::set<std::string> own;
    for (const auto* table : {&rows.tags, &rows.instructions})
        for (const auto& [pkid, row] : *table)
            own.insert(PkidKey(pkid));
    std::string text = SectionHead(Table::DigitDiscardInstructionMember);
    for (const auto& [pkid, row] : rows.members)
        if (own.count(PkidKey(row.at(1))) != 0 && own.count(PkidKey(row.at(2))) != 0)
            text +=
                Line(Table::DigitDiscardInstructionMember, {Braced(row.at(0)), Braced(row.at(1)), Braced(row.at(2))});
    return text;
}

}  // namespace

std::string PlanFileText(const PlanRows& rows)
{
    if (rows.dialPlan.size() != 1)
        throw PlanFileError("the dial plan's DialPlan row is not there to be written");
    const PlanRows::Row& dialPlan = rows.dialPlan.begin()->second;
    const std::string& plan = dialPlan.at(0);
    std::string text =
        SectionHead(Table::DialPlan) + Line(Table::DialPlan, {Braced(plan), dialPlan.at(1), dialPlan.at(2)}) + "\r\n";
    text += SectionHead(Table::DialPlanTag);
    for (const auto& [pkid, row] : rows.tags) {
        if (row.at(3).size() > 1)
            throw PlanFileError("the DialPlanTag row " + pkid +
                                " holds a tkOperator_Max of more than one character, "
                                "which a dial-plan file cannot carry: \"" +
                                row.at(3) + "\"");
        text += Line(Table::DialPlanTag, {Braced(row.at(0)), row.at(1), Braced(plan), row.at(2), row.at(3)});
    }
    text += "\r\n" + Instructions(rows, plan) + "\r\n" + Members(rows);
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
