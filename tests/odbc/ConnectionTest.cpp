#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/Handles.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

class ConnectionTest : public BackendTest {
protected:
    int countSeenElsewhere()
    {
        std::unique_ptr<odbc::Connection> other(connect());
        return queryInt(*other, "SELECT COUNT(*) FROM items");
    }
};

TEST_P(ConnectionTest, AFailedConnectRaisesWithStateAndMessage)
{
    const std::string host = zentra_test::HostName();
    const struct {
        std::string connectString, state, fragment;
    } cases[] = {
        // A SQLite file below something that is not a folder cannot be made.
        {"Driver={SQL Server};Server=" + host +
             ";Database=" + (postgres() ? "zentra_no_such_database" : "/dev/null/db.sqlite"),
         postgres() ? "08001" : "HY000",
         postgres() ? "database \"zentra_no_such_database\" does not exist" : "[SQLite]connect failed"},
        // unixODBC files this under the general warning state, with one record.
        {"Driver={Zentra No Such Driver};Server=" + host + ";Database=x", "01000",
         "[unixODBC][Driver Manager]Can't open lib 'Zentra No Such Driver'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connectString);
        try {
            std::unique_ptr<odbc::Connection> connection(odbc::DriverManager::getConnection(c.connectString));
            ADD_FAILURE() << "connected";
        } catch (const odbc::SQLException& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("Cannot connect to the database: ", 0), 0u) << message;
            EXPECT_TRUE(contains(message, c.fragment)) << message;
            EXPECT_TRUE(contains(message, " (SQLSTATE " + error.getSQLState() + ")")) << message;
            EXPECT_EQ(error.getSQLState(), c.state);
        }
    }
}

TEST_P(ConnectionTest, ClosingEndsItsTransactionWhileAStatementLivesOn)
{
    EXPECT_EQ(connection().getDatabaseProductName(), zentra_test::BackendName(backend()));
    connection().setAutoCommit(false);
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, name) VALUES (1, 'uncommitted')"), 1);
    connection_.reset();

    // The uncommitted insert held a write lock (SQLite) or the key (PostgreSQL):
    // another connection takes both only once it was rolled back.
    std::unique_ptr<odbc::Connection> other;
    if (postgres()) {
        other.reset(connect());
        execute(*other, "SET lock_timeout = '2s'");
    } else {
        other.reset(odbc::DriverManager::getConnection(connectString() + ";Timeout=2000"));
    }
    EXPECT_EQ(execute(*other, "INSERT INTO items (id, name) VALUES (1, 'other')"), 1);
    // What the statement runs now is rolled back when the last holder goes.
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, name) VALUES (2, 'orphan')"), 1);
    statement.reset();
    EXPECT_EQ(queryInt(*other, "SELECT COUNT(*) FROM items"), 1);
    EXPECT_EQ(queryString(*other, "SELECT name FROM items WHERE id = 1"), "other");
}

TEST_P(ConnectionTest, TheTransactionGuardRollsBackUnlessCommittedAndRestoresAutoCommit)
{
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    std::unique_ptr<odbc::Statement> reader(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> rows;
    {
        odbc::Transaction transaction(connection());
        EXPECT_FALSE(connection().getAutoCommit());
        execute(connection(), "INSERT INTO items (id) VALUES (2)");
        // A cursor still open stops neither the rollback nor, below, the commit.
        rows.reset(reader->executeQuery("SELECT id FROM items ORDER BY id"));
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2) << "seen inside the transaction";
    }
    EXPECT_TRUE(connection().getAutoCommit());
    rows.reset();
    EXPECT_EQ(countSeenElsewhere(), 1);

    // Left through an exception, after a statement failed inside it.
    try {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id) VALUES (3)");
        execute(connection(), "INSERT INTO items (id) VALUES (1)");
        transaction.commit();
        FAIL() << "a duplicate key was accepted";
    } catch (const odbc::SQLException&) {
    }
    EXPECT_TRUE(connection().getAutoCommit());
    EXPECT_EQ(countSeenElsewhere(), 1);

    {
        odbc::Transaction transaction(connection());
        rows.reset(reader->executeQuery("SELECT id FROM items ORDER BY id"));
        ASSERT_TRUE(rows->next());
        std::unique_ptr<odbc::PreparedStatement> insert(
            connection().prepareStatement("INSERT INTO items (id, name) VALUES (?, 'two')"));
        insert->setInt(1, 2);
        EXPECT_EQ(insert->executeUpdate(), 1);
        execute(connection(), "UPDATE items SET name = 'dos' WHERE id = 2");
        transaction.commit();
        EXPECT_EQ(countSeenElsewhere(), 2) << "committed before the guard goes";
    }
    EXPECT_TRUE(connection().getAutoCommit());
    rows.reset();

    // A guard on a connection already in manual mode leaves it so.
    connection().setAutoCommit(false);
    {
        odbc::Transaction transaction(connection());
        execute(connection(), "INSERT INTO items (id) VALUES (3)");
        transaction.commit();
    }
    EXPECT_FALSE(connection().getAutoCommit());
    connection_.reset();
    std::unique_ptr<odbc::Connection> other(connect());
    EXPECT_EQ(queryInt(*other, "SELECT COUNT(*) FROM items"), 3);
    EXPECT_EQ(queryString(*other, "SELECT name FROM items WHERE id = 2"), "dos");
}

const char* const kFiveRows =
    "INSERT INTO items (id, name) VALUES (1, 'row 1'), (2, 'row 2'), (3, 'row 3'), (4, 'row 4'), (5, 'row 5')";

TEST_P(ConnectionTest, ObjectsCanBeDeletedInEveryOrder)
{
    execute(connection(), kFiveRows);
    const odbc::detail::HandleCounts before = odbc::detail::liveHandleCounts();
    enum Object { kConnection, kStatement, kResult, kPrepared, kPreparedResult };
    std::array<int, 5> order = {kConnection, kStatement, kResult, kPrepared, kPreparedResult};
    int permutations = 0;
    do {
        SCOPED_TRACE(permutations);
        odbc::Connection* connection = connect();
        odbc::Statement* statement = connection->createStatement();
        odbc::ResultSet* result = statement->executeQuery("SELECT id, name FROM items ORDER BY id");
        odbc::PreparedStatement* prepared = connection->prepareStatement("SELECT name FROM items WHERE id > ?");
        prepared->setInt(1, 2);
        odbc::ResultSet* preparedResult = prepared->executeQuery();
        // Both cursors stand on a row when the deleting starts.
        ASSERT_TRUE(result->next());
        ASSERT_TRUE(preparedResult->next());
        int resultRow = 1;
        bool preparedOnRow = true;
        for (int object : order) {
            switch (object) {
            case kConnection:
                delete connection;
                connection = nullptr;
                break;
            case kStatement:
                delete statement;
                statement = nullptr;
                break;
            case kResult:
                delete result;
                result = nullptr;
                break;
            case kPrepared:
                delete prepared;
                prepared = nullptr;
                break;
            default:
                delete preparedResult;
                preparedResult = nullptr;
                break;
            }
            // Whatever is left still works.
            if (result && resultRow > 0) {
                EXPECT_EQ(result->getInt("id"), resultRow);
                EXPECT_EQ(result->getString("name"), "row " + std::to_string(resultRow));
                resultRow = result->next() ? resultRow + 1 : 0;
            }
            if (preparedResult && preparedOnRow) {
                EXPECT_EQ(preparedResult->getString(1).rfind("row ", 0), 0u);
                preparedOnRow = preparedResult->next();
            }
        }
        const odbc::detail::HandleCounts after = odbc::detail::liveHandleCounts();
        ASSERT_EQ(after.statements, before.statements);
        ASSERT_EQ(after.connections, before.connections);
        ASSERT_EQ(after.environments, before.environments);
        ++permutations;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(permutations, 120);
    if (postgres()) {
        EXPECT_EQ(waitForSessions(1), 1) << "sessions left open on the server";
    }
}

TEST_P(ConnectionTest, StatementsAndResultsOutliveTheirConnection)
{
    execute(connection(), kFiveRows);
    std::unique_ptr<odbc::Connection> second(connect());
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 1u) << "connections share one environment";
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 2u);
    second.reset();

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::PreparedStatement> select(
        connection().prepareStatement("SELECT id, name FROM items WHERE name <> ? ORDER BY id"));
    select->setString(1, "row 2");
    std::unique_ptr<odbc::ResultSet> rows(select->executeQuery());
    select.reset();
    connection_.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 1u) << "the statement keeps the connection handle";
    std::unique_ptr<odbc::ResultSet> count(statement->executeQuery("SELECT COUNT(*) FROM items"));
    statement.reset();
    ASSERT_TRUE(count->next());
    EXPECT_EQ(count->getInt(1), 5);
    count.reset();
    // The prepared result reads on: its bound parameter is still there.
    for (int id : {1, 3, 4, 5}) {
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(rows->getInt("id"), id);
        EXPECT_EQ(rows->getString("name"), "row " + std::to_string(id));
    }
    EXPECT_FALSE(rows->next());
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 1u) << "the result set keeps it still";
    rows.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 0u);
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 0u);
    if (postgres()) {
        EXPECT_EQ(waitForSessions(0), 0) << "the last holder did not disconnect";
    }
    // A new connection after all were gone gets a new environment.
    connection_.reset(connect());
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 5);
}

ZENTRA_ON_EVERY_BACKEND(ConnectionTest);

}  // namespace
}  // namespace odbc_test
