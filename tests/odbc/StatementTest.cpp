#include <climits>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/OdbcApi.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using StatementTest = BackendTest;

TEST_P(StatementTest, ExecuteUpdateCountsRowsAndExecuteQueryReturnsThem)
{
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    const struct {
        const char* sql;
        int count;
    } updates[] = {
        {"INSERT INTO items (id, name, amount) VALUES (1, 'one', 10)", 1},
        {"INSERT INTO items (id, name, amount) VALUES (2, 'two', 20)", 1},
        {"INSERT INTO items (id, name, amount) VALUES (3, 'three', 30)", 1},
        {"UPDATE items SET amount = amount + 1 WHERE amount > 15", 2},
        {"UPDATE items SET name = 'x' WHERE amount = 99", 0},
        {"DELETE FROM items WHERE id = 99", 0},
        {"CREATE TABLE other_items (id INTEGER)", 0},
        {"INSERT INTO other_items (id) VALUES (1)", 1},
        {"DELETE FROM other_items", 1},
        {"DROP TABLE other_items", 0},
        // PostgreSQL answers this with a notice (SQL_SUCCESS_WITH_INFO).
        {"DROP TABLE IF EXISTS no_such_table", 0},
    };
    for (const auto& update : updates)
        EXPECT_EQ(statement->executeUpdate(update.sql), update.count) << update.sql;

    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT id, name, amount FROM items WHERE amount > 15 ORDER BY id"));
    ASSERT_EQ(result->getColumnCount(), 3);
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt("id"), 2);
    EXPECT_EQ(result->getString("name"), "two");
    EXPECT_EQ(result->getInt(3), 21);
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt(1), 3);
    EXPECT_EQ(result->getString(2), "three");
    EXPECT_FALSE(result->next());
    EXPECT_FALSE(result->next()) << "a finished result set stays finished";

    // Statements without rows give an empty result, and do their work.
    for (const char* sql : {"INSERT INTO items (id, name) VALUES (7, 'seven')", "DELETE FROM items WHERE id = 12345",
                            "DROP TABLE IF EXISTS no_such_table"}) {
        SCOPED_TRACE(sql);
        result.reset(statement->executeQuery(sql));
        EXPECT_EQ(result->getColumnCount(), 0);
        EXPECT_FALSE(result->next());
    }
    EXPECT_EQ(queryString(connection(), "SELECT name FROM items WHERE id = 7"), "seven");
}

TEST_P(StatementTest, ExecutingAgainClosesTheEarlierCursor)
{
    execute(connection(), "INSERT INTO items (id, name) VALUES (1, 'n1'), (2, 'n2'), (3, 'n3')");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> first(statement->executeQuery("SELECT id, name FROM items ORDER BY id"));
    ASSERT_TRUE(first->next());
    EXPECT_EQ(first->getInt(1), 1);

    std::unique_ptr<odbc::ResultSet> second(statement->executeQuery("SELECT name FROM items ORDER BY id DESC"));
    // The first cursor is gone: it neither answers rows nor reads the second's.
    EXPECT_THROW(first->getString(2), odbc::SQLException);
    EXPECT_FALSE(first->next());
    EXPECT_THROW(first->getString(1), odbc::SQLException);
    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getString(1), "n3");
    first.reset();  // must not close the second cursor
    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getString("name"), "n2");

    EXPECT_EQ(statement->executeUpdate("DELETE FROM items WHERE id = 2"), 1);
    EXPECT_FALSE(second->next()) << "an update closes the open cursor too";
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2);
}

TEST_P(StatementTest, EachFailureReportsItsOwnDiagnostics)
{
    execute(connection(), "INSERT INTO items (id) VALUES (1), (2)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    // An open cursor on the statement: it is closed before the first failing
    // execution, and that must not take the place of the failure's diagnostics.
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery("SELECT id FROM items"));
    ASSERT_TRUE(rows->next());

    // The SQLite driver files every engine error under HY000, with SQLite's
    // result code as the native code (1 SQLITE_ERROR, 19 SQLITE_CONSTRAINT).
    const bool pg = postgres();
    const struct {
        std::string sql, pgState;
        int sqliteNative;
        std::string fragment;
    } failures[] = {
        {"SELEKT id FROM items", "42601", 1, "syntax error"},
        {"INSERT INTO items (id) VALUES (1)", "23505", 19, pg ? "duplicate key" : "UNIQUE constraint failed"},
        {"UPDATE no_such_table SET x = 1", "42P01", 1, "no_such_table"},
        {"UPDATE items SET no_such_column = 1", "42703", 1, "no_such_column"},
        // An error that comes with the second row (both drivers read ahead).
        {pg ? "SELECT 10 / (x - 2) AS q FROM generate_series(1, 3) AS x"
            : "SELECT abs(x) AS q FROM (SELECT 1 AS x UNION ALL SELECT -9223372036854775807 - 1)",
         "22012", 1, pg ? "division by zero" : "integer overflow"},
    };
    for (std::size_t i = 0; i < std::size(failures); ++i) {
        const auto& failure = failures[i];
        SCOPED_TRACE(failure.sql);
        try {
            if (failure.sql.rfind("SELE", 0) == 0) {
                std::unique_ptr<odbc::ResultSet> result(statement->executeQuery(failure.sql));
                while (result->next())
                    result->getString(1);
            } else {
                statement->executeUpdate(failure.sql);
            }
            ADD_FAILURE() << "accepted";
        } catch (const odbc::SQLException& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("Executing \"" + failure.sql + "\" failed: ", 0), 0u) << message;
            EXPECT_TRUE(contains(message, failure.fragment)) << message;
            for (std::size_t earlier = 0; earlier < i; ++earlier)
                EXPECT_FALSE(contains(message, failures[earlier].fragment)) << message;
            EXPECT_EQ(error.getSQLState(), pg ? failure.pgState : "HY000") << message;
            if (!pg) {
                EXPECT_EQ(error.getNativeCode(), failure.sqliteNative) << message;
            }
        }
    }
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id) VALUES (3)"), 1) << "the statement goes on";
}

// The name of row i: some plain, some with quotes, some empty, some NULL (every seventh).
bool nameIsNull(int i) { return i % 7 == 0; }
std::string nameOf(int i)
{
    switch (i % 5) {
    case 0:
        return "O'Brien " + std::to_string(i);
    case 1:
        return "it's \"quoted\" ''twice'' ? not a marker " + std::to_string(i) + "'";
    case 2:
        return "";
    case 3:
        return "plain " + std::to_string(i) + " ; DROP TABLE items; --";
    default:
        return "back\\slash \"" + std::to_string(i) + "\"";
    }
}

TEST_P(StatementTest, OneStatementRunsManyTimesWithStringIntAndNullParameters)
{
    constexpr int kRows = 3000;
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name, amount) VALUES (?, ?, ?)"));
    {
        odbc::Transaction transaction(connection());
        for (int i = 1; i <= kRows; ++i) {
            insert->setInt(1, i);
            nameIsNull(i) ? insert->setNull(2) : insert->setString(2, nameOf(i));
            i % 3 == 0 ? insert->setNull(3) : insert->setInt(3, -i);
            ASSERT_EQ(insert->executeUpdate(), 1) << "row " << i;
        }
        transaction.commit();
    }

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name, amount FROM items ORDER BY id"));
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_TRUE(result->next());
        ASSERT_EQ(result->getInt("id"), i);
        const std::string name = result->getString("name");
        EXPECT_EQ(result->wasNull(), nameIsNull(i)) << "row " << i;
        EXPECT_EQ(name, nameIsNull(i) ? "" : nameOf(i)) << "row " << i;
        const int amount = result->getInt("amount");
        EXPECT_EQ(result->wasNull(), i % 3 == 0) << "row " << i;
        EXPECT_EQ(amount, i % 3 == 0 ? 0 : -i) << "row " << i;
    }
    EXPECT_FALSE(result->next());

    // A query runs again with new values and closes its earlier result.
    std::unique_ptr<odbc::PreparedStatement> select(
        connection().prepareStatement("SELECT id FROM items WHERE name = ? ORDER BY id"));
    select->setString(1, nameOf(11));
    std::unique_ptr<odbc::ResultSet> first(select->executeQuery());
    ASSERT_TRUE(first->next());
    EXPECT_EQ(first->getInt(1), 11);
    select->setString(1, nameOf(5));
    std::unique_ptr<odbc::ResultSet> second(select->executeQuery());
    EXPECT_FALSE(first->next()) << "the earlier result is closed";
    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getInt(1), 5);

    std::unique_ptr<odbc::PreparedStatement> update(
        connection().prepareStatement("UPDATE items SET note = ? WHERE amount = ? OR id > ?"));
    const struct {
        int amount, id, count;
    } updates[] = {{-1, kRows, 1}, {-1, kRows - 10, 11}, {1, kRows, 0}};
    update->setString(1, "x");
    for (const auto& u : updates) {
        update->setInt(2, u.amount);
        update->setInt(3, u.id);
        EXPECT_EQ(update->executeUpdate(), u.count) << u.amount << ", " << u.id;
    }
}

TEST_P(StatementTest, APreparedStatementRaisesOnFailuresAndGoesOn)
{
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    EXPECT_THROW(insert->setInt(0, 1), odbc::SQLException);
    EXPECT_THROW(insert->setString(3, "x"), odbc::SQLException);
    EXPECT_THROW(insert->setNull(-1), odbc::SQLException);
    insert->setInt(1, 1);
    EXPECT_THROW(insert->executeUpdate(), odbc::SQLException) << "parameter 2 was never set";
    insert->setString(2, "one");
    EXPECT_EQ(insert->executeUpdate(), 1);
    try {
        insert->executeUpdate();
        FAIL() << "a duplicate key was accepted";
    } catch (const odbc::SQLException& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Executing \"INSERT INTO items (id, name) VALUES (?, ?)\" failed: ", 0), 0u) << message;
        EXPECT_TRUE(contains(message, postgres() ? "duplicate key" : "UNIQUE constraint failed")) << message;
        EXPECT_EQ(error.getSQLState(), postgres() ? "23505" : "HY000");
    }
    insert->clearParameters();
    EXPECT_THROW(insert->executeUpdate(), odbc::SQLException) << "the parameters were cleared";
    // Rebinding replaces the value of the next execution.
    insert->setInt(1, 2);
    insert->setString(2, "a long first value that is replaced");
    insert->setString(2, "b");
    insert->setInt(1, 3);
    EXPECT_EQ(insert->executeUpdate(), 1);
    EXPECT_EQ(queryString(connection(), "SELECT name FROM items WHERE id = 3"), "b");
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2);

    try {
        // Some drivers check the text only when it first runs.
        std::unique_ptr<odbc::PreparedStatement> statement(
            connection().prepareStatement("INSERT INTO no_such_table (id) VALUES (?)"));
        statement->setInt(1, 1);
        statement->executeUpdate();
        FAIL() << "an insert into a missing table was accepted";
    } catch (const odbc::SQLException& error) {
        EXPECT_TRUE(contains(error.what(), "no_such_table")) << error.what();
        EXPECT_EQ(error.getSQLState(), postgres() ? "42P01" : "HY000");
    }
}

TEST_P(StatementTest, ReadsColumnsByNameAndIndexAndTellsNull)
{
    execute(connection(), "INSERT INTO items VALUES (4, 'four', 'a note', 44), (5, NULL, '', NULL)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    // Unquoted names: SQLite keeps their case, PostgreSQL folds them to lower case.
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT id, name, note, amount AS TotalAmount FROM items ORDER BY id"));
    ASSERT_EQ(result->getColumnCount(), 4);
    EXPECT_EQ(result->getColumnName(2), "name");
    EXPECT_EQ(result->getColumnName(4), postgres() ? "totalamount" : "TotalAmount");
    EXPECT_EQ(result->getColumnType(1), SQL_INTEGER);
    EXPECT_EQ(result->getColumnType(2), SQL_VARCHAR);
    EXPECT_EQ(result->getColumnType(4), SQL_INTEGER);
    EXPECT_THROW(result->getColumnName(0), odbc::SQLException);
    EXPECT_THROW(result->getColumnType(5), odbc::SQLException);
    EXPECT_THROW(result->getString(1), odbc::SQLException) << "before the first next()";

    ASSERT_TRUE(result->next());
    // In any order, and again.
    EXPECT_EQ(result->getInt(4), 44);
    EXPECT_EQ(result->getString(2), "four");
    EXPECT_EQ(result->getString("note"), "a note");
    EXPECT_EQ(result->getInt(1), 4);
    EXPECT_EQ(result->getInt(4), 44);
    for (const char* name : {"name", "NAME", "Name", "nAmE"})
        EXPECT_EQ(result->getString(name), "four") << name;
    for (const char* name : {"totalamount", "TOTALAMOUNT", "TotalAmount"})
        EXPECT_EQ(result->getInt(name), 44) << name;
    try {
        result->getString("no_such_column");
        ADD_FAILURE() << "a missing column was read";
    } catch (const odbc::SQLException& error) {
        EXPECT_TRUE(contains(error.what(), "no_such_column")) << error.what();
    }
    EXPECT_THROW(result->getInt("identifier"), odbc::SQLException);
    EXPECT_THROW(result->getString("i"), odbc::SQLException) << "a prefix is not the name";
    EXPECT_THROW(result->getString(0), odbc::SQLException);
    EXPECT_THROW(result->getString(5), odbc::SQLException);
    EXPECT_EQ(result->getString("id"), "4") << "the row is still readable";
    EXPECT_FALSE(result->wasNull());

    // NULL reads as "" and 0; an empty text is not NULL.
    ASSERT_TRUE(result->next());
    const struct {
        int column;
        bool asInt, isNull;
    } reads[] = {{2, false, true}, {3, false, false}, {4, true, true},
                 {4, false, true}, {1, true, false},  {2, false, true}};
    for (const auto& read : reads) {
        SCOPED_TRACE(read.column);
        if (read.asInt)
            EXPECT_EQ(result->getInt(read.column), read.isNull ? 0 : 5);
        else
            EXPECT_EQ(result->getString(read.column), "");
        EXPECT_EQ(result->wasNull(), read.isNull);
    }
    EXPECT_FALSE(result->next());
    EXPECT_THROW(result->getInt(1), odbc::SQLException) << "after the last row";
}

// A text whose every stretch differs, so that a lost, repeated or shifted piece shows.
std::string numberedText(std::size_t length)
{
    std::string text;
    for (std::size_t i = 0; text.size() < length; ++i)
        text += "<" + std::to_string(i) + ">";
    text.resize(length);
    return text;
}

TEST_P(StatementTest, LongTextComesBackWhole)
{
    // Lengths around the sizes drivers and this layer read in, and well past them.
    std::vector<std::size_t> lengths = {0,    1,    255,  256,  4095,  4096,  7999,  8000,  8001,
                                        8190, 8191, 8192, 8193, 16383, 16384, 16385, 100000};
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, note) VALUES (?, ?)"));
    int id = 0;
    for (std::size_t length : lengths) {
        insert->setInt(1, ++id);
        insert->setString(2, numberedText(length));
        ASSERT_EQ(insert->executeUpdate(), 1);
    }
    // Through literal SQL too: the text does not pass through a parameter.
    lengths.push_back(20000);
    execute(connection(), "INSERT INTO items (id, note) VALUES (999, '" + numberedText(20000) + "')");

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT note, LENGTH(note) AS length FROM items ORDER BY id"));
    for (std::size_t length : lengths) {
        ASSERT_TRUE(result->next());
        const std::string note = result->getString("note");
        EXPECT_FALSE(result->wasNull());
        EXPECT_EQ(note.size(), length);
        EXPECT_TRUE(note == numberedText(length)) << "text of " << length << " characters differs";
        EXPECT_EQ(result->getInt("length"), static_cast<int>(length));
    }
    EXPECT_FALSE(result->next());
}

TEST_P(StatementTest, GetIntReadsIntegersAndRefusesOtherTexts)
{
    // The text, and the integer it reads as (none when it must be refused).
    const struct {
        const char* text;
        bool integer;
        int value;
    } cases[] = {{"0", true, 0},
                 {"1", true, 1},
                 {"-1", true, -1},
                 {"42", true, 42},
                 {"-273", true, -273},
                 {"2147483647", true, INT_MAX},
                 {"-2147483648", true, INT_MIN},
                 {"abc", false, 0},
                 {"12x", false, 0},
                 {"x12", false, 0},
                 {"3.5", false, 0},
                 {"1e3", false, 0},
                 {"", false, 0},
                 {" ", false, 0},
                 {"-", false, 0},
                 {"99999999999", false, 0},
                 {"2147483648", false, 0}};
    int id = 0;
    for (const auto& c : cases)
        execute(connection(), "INSERT INTO items (id, name, amount) VALUES (" + std::to_string(++id) + ", '" + c.text +
                                  "', " + (c.integer ? c.text : "NULL") + ")");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT name, amount FROM items ORDER BY id"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(result->next());
        if (c.integer) {
            EXPECT_EQ(result->getInt("amount"), c.value);
            EXPECT_EQ(result->getInt("name"), c.value) << "an integer held as text";
            continue;
        }
        try {
            const int value = result->getInt("name");
            ADD_FAILURE() << "read as the integer " << value;
        } catch (const odbc::SQLException& error) {
            EXPECT_TRUE(contains(error.what(), "name")) << error.what();
            EXPECT_EQ(error.getSQLState(), "22018");
        }
        EXPECT_EQ(result->getString("name"), c.text) << "the text itself is still readable";
    }
    EXPECT_FALSE(result->next());
}

ZENTRA_ON_EVERY_BACKEND(StatementTest);

}  // namespace
}  // namespace odbc_test
