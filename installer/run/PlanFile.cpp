#include "installer/run/PlanFile.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "installer/SqlText.h"
#include "installer/run/Session.h"
#include "installer/upgrade/PkidLookup.h"
#include "odbc/odbc.h"

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

// The query's rows, each as its fields, one after the other; the fields are
// read into the same strings row after row.
template <typename Each>
void ForEachRow(Session& session, const std::string& sql, std::size_t columns, Each each)
{
    odbc::ResultSet* result = session.query(sql);
    std::vector<std::string> fields(columns);
    while (result->next()) {
        for (std::size_t column = 0; column < columns; ++column)
            fields[column] = result->getString(static_cast<int>(column) + 1);
        each(fields);
    }
    session.release();
}

}  // namespace

std::string PlanFileText(Session& session, const std::string& dialPlanPkid)
{
    const std::string plan = SqlLiteral(dialPlanPkid);
    std::string text;
    int dialPlans = 0;
    AppendSectionHead(text, Table::DialPlan);
    ForEachRow(session, "select pkid, name, description from DialPlan where pkid = " + plan, 3,
               [&](const std::vector<std::string>& row) {
                   AppendLine(text, Table::DialPlan, {{row[0], true}, {row[1]}, {row[2]}});
                   ++dialPlans;
               });
    if (dialPlans != 1)
        throw PlanFileError("the dial plan's DialPlan row is not there to be written");
    text.append("\r\n");

    // The members to write join the plan's own instructions and tags, matched
    // as identifiers.
    std::unordered_set<std::string> own;
    AppendSectionHead(text, Table::DialPlanTag);
    ForEachRow(
        session,
        "select pkid, tag, suppressFromRouteFilter, tkOperator_Max from DialPlanTag where fkDialPlan = " + plan +
            " order by pkid",
        4, [&](const std::vector<std::string>& row) {
            if (row[3].size() > 1)
                throw PlanFileError("the DialPlanTag row " + row[0] +
                                    " holds a tkOperator_Max of more than one character, "
                                    "which a dial-plan file cannot carry: \"" +
                                    row[3] + "\"");
            AppendLine(text, Table::DialPlanTag, {{row[0], true}, {row[1]}, {dialPlanPkid, true}, {row[2]}, {row[3]}});
            own.insert(PkidKey(row[0]));
        });
    text.append("\r\n");
    AppendSectionHead(text, Table::DigitDiscardInstruction);
    ForEachRow(session,
               "select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction where fkDialPlan = " + plan +
                   " order by digitAnalysisID, pkid",
               4, [&](const std::vector<std::string>& row) {
                   AppendLine(text, Table::DigitDiscardInstruction,
                              {{row[0], true}, {row[1]}, {dialPlanPkid, true}, {row[2]}, {row[3]}});
                   own.insert(PkidKey(row[0]));
               });
    text.append("\r\n");
    AppendSectionHead(text, Table::DigitDiscardInstructionMember);
    ForEachRow(session, MembersQuery(plan) + " order by pkid", 3, [&](const std::vector<std::string>& row) {
        if (own.count(PkidKey(row[1])) != 0 && own.count(PkidKey(row[2])) != 0)
            AppendLine(text, Table::DigitDiscardInstructionMember, {{row[0], true}, {row[1], true}, {row[2], true}});
    });
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
