#include "loader/DatabaseLoad.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "odbc/OdbcApi.h"
#include "odbc/odbc.h"
#include "runlock/LockNotGranted.h"

namespace quillet {

using dialplan::ColumnList;
using dialplan::DialPlanFile;
using dialplan::Layout;
using dialplan::ParseInt32;
using dialplan::Row;
using dialplan::Table;
using dialplan::TableLayout;

namespace {

// A lock that was not granted in time is no failure of the load: the run stops
// as it stops for every wait that runs out.
void PassLockRefusals(const odbc::SQLException& error)
{
    if (zentra_lock::IsLockRefusal(error))
        zentra_lock::Rethrow(error);
}

constexpr Table kLoadOrder[] = {Table::DialPlan, Table::DialPlanTag, Table::DigitDiscardInstruction,
                                Table::DigitDiscardInstructionMember};

bool IsIntegerType(int type)
{
    return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT;
}

// The ODBC types of the table's columns, as the host database declares them.
std::vector<int> ColumnTypes(odbc::Connection& connection, const TableLayout& layout)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("select " + ColumnList(layout) + " from " + layout.name + " where 1=0"));
    std::vector<int> types;
    for (std::size_t column = 0; column < layout.columnCount; ++column)
        types.push_back(result->getColumnType(static_cast<int>(column) + 1));
    return types;
}

// Rows go in batches: one statement of kRowsPerInsert rows, prepared once and
// executed for every full batch, and one of the rows left over. A batch costs
// one round trip to the server instead of one per row. 100 rows of 5 columns
// stay well below the parameter limits of the common servers (SQLite 999,
// SQL Server 2,100) and below SQL Server's 1,000 rows of one VALUES list.
constexpr std::size_t kRowsPerInsert = 100;

std::string InsertText(const TableLayout& layout, std::size_t rows)
{
    std::string markers = "(";
    for (std::size_t column = 0; column < layout.columnCount; ++column)
        markers += column > 0 ? ", ?" : "?";
    markers += ")";
    std::string text = "insert into " + std::string(layout.name) + " (" + ColumnList(layout) + ") values ";
    for (std::size_t row = 0; row < rows; ++row) {
        if (row > 0)
            text += ", ";
        text += markers;
    }
    return text;
}

std::string Lines(const std::string& path, long first, long last)
{
    if (first == last)
        return path + ": line " + std::to_string(first) + ": ";
    return path + ": lines " + std::to_string(first) + " to " + std::to_string(last) + ": ";
}

// Binds the rows [begin, end) to an insert of that many rows and executes it.
void InsertRows(odbc::PreparedStatement& insert, const TableLayout& layout, const std::vector<int>& types,
                const std::string& path, std::vector<Row>::const_iterator begin, std::vector<Row>::const_iterator end)
{
    const std::size_t rows = static_cast<std::size_t>(end - begin);
    const std::string at = Lines(path, begin->line, (end - 1)->line);
    try {
        int parameter = 0;
        for (auto row = begin; row != end; ++row) {
            for (std::size_t column = 0; column < layout.columnCount; ++column) {
                ++parameter;
                const std::string_view value = row->values[column];
                if (!IsIntegerType(types[column])) {
                    insert.setString(parameter, std::string(value));
                    continue;
                }
                int number = 0;
                if (value.empty())
                    insert.setNull(parameter);
                else if (ParseInt32(value, number))
                    insert.setInt(parameter, number);
                else
                    throw DatabaseError(path + ": line " + std::to_string(row->line) + ": the column " + layout.name +
                                        "." + layout.columns[column] + " of the database takes integers; \"" +
                                        std::string(value) + "\" is not one");
            }
        }
        const int inserted = insert.executeUpdate();
        // A driver that cannot count says -1; fewer rows than given means the
        // database dropped some (a trigger), which must not pass for success.
        if (inserted >= 0 && static_cast<std::size_t>(inserted) != rows)
            throw DatabaseError(at + "the database did not insert every row into " + layout.name + " (" +
                                std::to_string(inserted) + " of " + std::to_string(rows) + ")");
    } catch (const odbc::SQLException& error) {
        PassLockRefusals(error);
        throw DatabaseError(at + "the database refused a row of " + layout.name + ": " + error.getMessage());
    }
}

void StoreTable(odbc::Connection& connection, const DialPlanFile& file, Table table)
{
    const TableLayout& layout = Layout(table);
    const std::vector<Row>& rows = file.section(table).rows;
    if (rows.empty())
        return;
    const std::size_t fullBatches = rows.size() / kRowsPerInsert;
    const std::size_t leftOver = rows.size() % kRowsPerInsert;

    std::vector<int> types;
    std::unique_ptr<odbc::PreparedStatement> batch, rest;
    try {
        types = ColumnTypes(connection, layout);
        if (fullBatches > 0)
            batch.reset(connection.prepareStatement(InsertText(layout, kRowsPerInsert)));
        if (leftOver > 0)
            rest.reset(connection.prepareStatement(InsertText(layout, leftOver)));
    } catch (const odbc::SQLException& error) {
        PassLockRefusals(error);
        throw DatabaseError(file.path() + ": the database cannot take rows of the table " + layout.name + ": " +
                            error.getMessage());
    }

    auto begin = rows.begin();
    for (std::size_t n = 0; n < fullBatches; ++n, begin += kRowsPerInsert)
        InsertRows(*batch, layout, types, file.path(), begin, begin + kRowsPerInsert);
    if (leftOver > 0)
        InsertRows(*rest, layout, types, file.path(), begin, rows.end());
}

// Looks again, inside the transaction, at what the file must not meet in the
// database: its dial plan installed, or a digit-analysis ID of its
// instructions held by another instruction (or twice in the file).
void CheckNotInstalled(odbc::Connection& connection, const DialPlanFile& file)
{
    const Row& dialPlan = file.section(Table::DialPlan).rows.front();
    std::unordered_set<long long> used;
    try {
        std::unique_ptr<odbc::PreparedStatement> named(
            connection.prepareStatement("select pkid from DialPlan where name = ?"));
        named->setString(1, std::string(dialPlan.values[1]));
        std::unique_ptr<odbc::ResultSet> rows(named->executeQuery());
        if (rows->next())
            throw DatabaseError(file.path() + ": line " + std::to_string(dialPlan.line) + ": the dial plan \"" +
                                std::string(dialPlan.values[1]) + "\" is installed already (pkid " +
                                rows->getString(1) + ")");
        std::unique_ptr<odbc::Statement> statement(connection.createStatement());
        std::unique_ptr<odbc::ResultSet> ids(
            statement->executeQuery("select digitAnalysisID from DigitDiscardInstruction"));
        while (ids->next())
            used.insert(ids->getInt(1));
    } catch (const odbc::SQLException& error) {
        PassLockRefusals(error);
        throw DatabaseError(file.path() + ": the database cannot be read: " + error.getMessage());
    }
    for (const Row& row : file.section(Table::DigitDiscardInstruction).rows) {
        int id = 0;
        if (!ParseInt32(row.values[3], id))
            continue;
        if (!used.insert(id).second)
            throw DatabaseError(file.path() + ": line " + std::to_string(row.line) + ": the digitAnalysisID " +
                                std::to_string(id) + " is held by another digit discard instruction already");
    }
}

}  // namespace

void InsertDialPlanRows(odbc::Connection& connection, const DialPlanFile& file)
{
    CheckNotInstalled(connection, file);
    for (Table table : kLoadOrder)
        StoreTable(connection, file, table);
}

}  // namespace quillet
