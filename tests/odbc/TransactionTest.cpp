#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using TransactionTest = BackendTest;

int countSeenElsewhere(TestDatabase& database) {
    std::unique_ptr<odbc::Connection> other(database.connect());
    return queryInt(*other, "SELECT COUNT(*) FROM items");
}

TEST_P(TransactionTest, TheGuardTurnsAutoCommitOffWhileItLives) {
    {
        odbc::Transaction transaction(connection());
        EXPECT_FALSE(connection().getAutoCommit());
    }
    EXPECT_TRUE(connection().getAutoCommit());
}

TEST_P(TransactionTest, LeftWithoutCommitItRollsBack) {
    {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id, name) VALUES (1, 'one')");
        execute(connection(), "INSERT INTO items (id, name) VALUES (2, 'two')");
        EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2) << "seen inside the transaction";
    }
    EXPECT_TRUE(connection().getAutoCommit());
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 0);
    EXPECT_EQ(countSeenElsewhere(database()), 0);
}

TEST_P(TransactionTest, LeftThroughAnExceptionItRollsBack) {
    try {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id) VALUES (1)");
        execute(connection(), "INSERT INTO items (id) VALUES (1)");  // duplicate key
        transaction.commit();
        FAIL() << "a duplicate key was accepted";
    } catch (const odbc::SQLException&) {
    }
    EXPECT_TRUE(connection().getAutoCommit());
    EXPECT_EQ(countSeenElsewhere(database()), 0);
    // The connection goes on working in auto-commit mode.
    execute(connection(), "INSERT INTO items (id) VALUES (5)");
    EXPECT_EQ(countSeenElsewhere(database()), 1);
}

TEST_P(TransactionTest, CommitMakesTheWorkVisibleAndLasting) {
    {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id, name) VALUES (1, 'one')");
        execute(connection(), "UPDATE items SET name = 'uno' WHERE id = 1");
        transaction.commit();
        EXPECT_EQ(countSeenElsewhere(database()), 1) << "committed before the guard goes";
    }
    EXPECT_TRUE(connection().getAutoCommit());
    connection_.reset();
    std::unique_ptr<odbc::Connection> other(database().connect());
    EXPECT_EQ(queryString(*other, "SELECT name FROM items WHERE id = 1"), "uno");
}

TEST_P(TransactionTest, CommitSucceedsWithAStatementAndItsCursorStillOpen) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    execute(connection(), "INSERT INTO items (id) VALUES (2)");
    std::unique_ptr<odbc::Statement> reader(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> rows;
    {
        odbc::Transaction transaction(connection());
        rows.reset(reader->executeQuery("SELECT id FROM items ORDER BY id"));
        ASSERT_TRUE(rows->next());
        std::unique_ptr<odbc::PreparedStatement> insert(
            connection().prepareStatement("INSERT INTO items (id) VALUES (?)"));
        insert->setInt(1, 3);
        EXPECT_EQ(insert->executeUpdate(), 1);
        transaction.commit();
    }
    EXPECT_TRUE(connection().getAutoCommit());
    EXPECT_EQ(countSeenElsewhere(database()), 3);
    rows.reset();
    reader.reset();
}

TEST_P(TransactionTest, RollbackSucceedsWithAStatementStillOpen) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    std::unique_ptr<odbc::Statement> reader(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> rows;
    {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id) VALUES (2)");
        rows.reset(reader->executeQuery("SELECT id FROM items ORDER BY id"));
        ASSERT_TRUE(rows->next());
    }
    EXPECT_TRUE(connection().getAutoCommit());
    rows.reset();
    EXPECT_EQ(countSeenElsewhere(database()), 1);
}

TEST_P(TransactionTest, AGuardOnAConnectionAlreadyInManualModeLeavesItSo) {
    connection().setAutoCommit(false);
    {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id) VALUES (1)");
        transaction.commit();
    }
    EXPECT_FALSE(connection().getAutoCommit());
    EXPECT_EQ(countSeenElsewhere(database()), 1);
    connection().setAutoCommit(true);
}

ODBC_TEST_INSTANTIATE(TransactionTest);

}  // namespace
}  // namespace odbc_test
