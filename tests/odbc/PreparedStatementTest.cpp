#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using PreparedStatementTest = BackendTest;

// The name of row i: some plain, some with quotes, some empty, some NULL (every seventh).
bool nameIsNull(int i) { return i % 7 == 0; }
std::string nameOf(int i) {
    switch (i % 5) {
        case 0: return "O'Brien " + std::to_string(i);
        case 1: return "'" + std::to_string(i) + "''";
        case 2: return "";
        case 3: return "plain " + std::to_string(i) + " ; DROP TABLE items; --";
        default: return "back\\slash \"" + std::to_string(i) + "\"";
    }
}

TEST_P(PreparedStatementTest, OneStatementInsertsManyRowsWithStringIntAndNullParameters) {
    constexpr int kRows = 3000;
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name, amount) VALUES (?, ?, ?)"));
    {
        odbc::Transaction transaction(connection());
        for (int i = 1; i <= kRows; ++i) {
            insert->setInt(1, i);
            if (nameIsNull(i))
                insert->setNull(2);
            else
                insert->setString(2, nameOf(i));
            if (i % 3 == 0)
                insert->setNull(3);
            else
                insert->setInt(3, -i);
            ASSERT_EQ(insert->executeUpdate(), 1) << "row " << i;
        }
        transaction.commit();
    }

    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), kRows);
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items WHERE name IS NULL"), kRows / 7);
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items WHERE amount IS NULL"), kRows / 3);

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name, amount FROM items ORDER BY id"));
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_TRUE(result->next());
        ASSERT_EQ(result->getInt("id"), i);
        const std::string name = result->getString("name");
        if (nameIsNull(i)) {
            EXPECT_TRUE(result->wasNull()) << "row " << i;
        } else {
            EXPECT_FALSE(result->wasNull()) << "row " << i;
            EXPECT_EQ(name, nameOf(i)) << "row " << i;
        }
        const int amount = result->getInt("amount");
        EXPECT_EQ(result->wasNull(), i % 3 == 0) << "row " << i;
        EXPECT_EQ(amount, i % 3 == 0 ? 0 : -i) << "row " << i;
    }
    EXPECT_FALSE(result->next());
}

TEST_P(PreparedStatementTest, AValueWithQuotesIsStoredExactly) {
    const std::string tricky = "it's \"quoted\" ''twice'' \\ and ? not a marker";
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    insert->setInt(1, 1);
    insert->setString(2, tricky);
    EXPECT_EQ(insert->executeUpdate(), 1);

    std::unique_ptr<odbc::PreparedStatement> select(
        connection().prepareStatement("SELECT id FROM items WHERE name = ?"));
    select->setString(1, tricky);
    std::unique_ptr<odbc::ResultSet> result(select->executeQuery());
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt(1), 1);
    EXPECT_FALSE(result->next());
    EXPECT_EQ(queryString(connection(), "SELECT name FROM items WHERE id = 1"), tricky);
}

TEST_P(PreparedStatementTest, AQueryRunsAgainWithNewValuesAndClosesTheEarlierResult) {
    for (int i = 1; i <= 5; ++i)
        execute(connection(), "INSERT INTO items (id, name, amount) VALUES (" + std::to_string(i) + ", 'n" +
                                  std::to_string(i) + "', " + std::to_string(i % 2) + ")");
    std::unique_ptr<odbc::PreparedStatement> select(
        connection().prepareStatement("SELECT id, name FROM items WHERE amount = ? ORDER BY id"));
    select->setInt(1, 1);
    std::unique_ptr<odbc::ResultSet> odd(select->executeQuery());
    ASSERT_TRUE(odd->next());
    EXPECT_EQ(odd->getInt("id"), 1);

    select->setInt(1, 0);
    std::unique_ptr<odbc::ResultSet> even(select->executeQuery());
    EXPECT_FALSE(odd->next()) << "the earlier result is closed";
    ASSERT_TRUE(even->next());
    EXPECT_EQ(even->getString("name"), "n2");
    ASSERT_TRUE(even->next());
    EXPECT_EQ(even->getString("name"), "n4");
    EXPECT_FALSE(even->next());

    select->setInt(1, 1);
    std::unique_ptr<odbc::ResultSet> again(select->executeQuery());
    int count = 0;
    while (again->next())
        ++count;
    EXPECT_EQ(count, 3);
}

TEST_P(PreparedStatementTest, UpdateCountsOfAPreparedStatement) {
    for (int i = 1; i <= 4; ++i)
        execute(connection(), "INSERT INTO items (id, amount) VALUES (" + std::to_string(i) + ", " +
                                  std::to_string(i <= 3 ? 1 : 2) + ")");
    std::unique_ptr<odbc::PreparedStatement> update(
        connection().prepareStatement("UPDATE items SET name = ? WHERE amount = ?"));
    update->setString(1, "x");
    update->setInt(2, 1);
    EXPECT_EQ(update->executeUpdate(), 3);
    update->setInt(2, 2);
    EXPECT_EQ(update->executeUpdate(), 1);
    update->setInt(2, 3);
    EXPECT_EQ(update->executeUpdate(), 0);

    std::unique_ptr<odbc::PreparedStatement> remove(connection().prepareStatement("DELETE FROM items WHERE id = ?"));
    remove->setInt(1, 4);
    EXPECT_EQ(remove->executeUpdate(), 1);
    EXPECT_EQ(remove->executeUpdate(), 0);
}

TEST_P(PreparedStatementTest, LongStringParametersAreStoredWhole) {
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, note) VALUES (?, ?)"));
    const std::size_t lengths[] = {7999, 8000, 8001, 65536};
    int id = 0;
    for (std::size_t length : lengths) {
        std::string text(length, 'a');
        for (std::size_t i = 0; i < length; i += 97)
            text[i] = static_cast<char>('b' + (i / 97) % 20);
        text.back() = '\'';
        insert->setInt(1, ++id);
        insert->setString(2, text);
        ASSERT_EQ(insert->executeUpdate(), 1);
        EXPECT_TRUE(queryString(connection(), "SELECT note FROM items WHERE id = " + std::to_string(id)) == text)
            << "text of " << length << " characters";
    }
}

TEST_P(PreparedStatementTest, ParameterIndexesOutOfRangeRaise) {
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    EXPECT_THROW(insert->setInt(0, 1), odbc::SQLException);
    EXPECT_THROW(insert->setString(3, "x"), odbc::SQLException);
    EXPECT_THROW(insert->setNull(-1), odbc::SQLException);
}

TEST_P(PreparedStatementTest, AnUnboundParameterRaisesAndClearParametersUnbinds) {
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    insert->setInt(1, 1);
    EXPECT_THROW(insert->executeUpdate(), odbc::SQLException) << "parameter 2 was never set";
    insert->setString(2, "one");
    EXPECT_EQ(insert->executeUpdate(), 1);
    insert->clearParameters();
    EXPECT_THROW(insert->executeUpdate(), odbc::SQLException) << "the parameters were cleared";
    insert->setInt(1, 2);
    insert->setString(2, "two");
    EXPECT_EQ(insert->executeUpdate(), 1);
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2);
}

TEST_P(PreparedStatementTest, RebindingReplacesTheValueOfTheNextExecution) {
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    insert->setInt(1, 1);
    insert->setString(2, "a long first value that is replaced");
    insert->setString(2, "b");
    insert->setInt(1, 2);
    insert->setInt(1, 3);
    EXPECT_EQ(insert->executeUpdate(), 1);
    EXPECT_EQ(queryString(connection(), "SELECT name FROM items WHERE id = 3"), "b");
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 1);
}

TEST_P(PreparedStatementTest, AStatementThatDoesNotPrepareRaises) {
    try {
        std::unique_ptr<odbc::PreparedStatement> statement(
            connection().prepareStatement("INSERT INTO no_such_table (id) VALUES (?)"));
        // Some drivers check the text only when it first runs.
        statement->setInt(1, 1);
        statement->executeUpdate();
        FAIL() << "an insert into a missing table was accepted";
    } catch (const odbc::SQLException& error) {
        EXPECT_NE(std::string(error.what()).find("no_such_table"), std::string::npos) << error.what();
        EXPECT_EQ(error.getSQLState(), backend() == Backend::PostgreSQL ? "42P01" : "HY000");
    }
}

ODBC_TEST_INSTANTIATE(PreparedStatementTest);

}  // namespace
}  // namespace odbc_test
