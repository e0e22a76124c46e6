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

using LifetimeTest = BackendTest;

void fill(odbc::Connection& connection, int rows) {
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection.prepareStatement("INSERT INTO items (id, name) VALUES (?, ?)"));
    for (int i = 1; i <= rows; ++i) {
        insert->setInt(1, i);
        insert->setString(2, "row " + std::to_string(i));
        insert->executeUpdate();
    }
}

TEST_P(LifetimeTest, ObjectsCanBeDeletedInEveryOrder) {
    fill(connection(), 5);
    const odbc::detail::HandleCounts before = odbc::detail::liveHandleCounts();
    enum Object { kConnection, kStatement, kResult, kPrepared, kPreparedResult };
    std::array<int, 5> order = {kConnection, kStatement, kResult, kPrepared, kPreparedResult};
    int permutations = 0;
    do {
        odbc::Connection* connection = database().connect();
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
                case kConnection: delete connection; connection = nullptr; break;
                case kStatement: delete statement; statement = nullptr; break;
                case kResult: delete result; result = nullptr; break;
                case kPrepared: delete prepared; prepared = nullptr; break;
                default: delete preparedResult; preparedResult = nullptr; break;
            }
            // Whatever is left still works.
            if (result && resultRow > 0) {
                EXPECT_EQ(result->getInt("id"), resultRow);
                resultRow = result->next() ? resultRow + 1 : 0;
                if (resultRow > 0) {
                    EXPECT_EQ(result->getString("name"), "row " + std::to_string(resultRow));
                }
            }
            if (preparedResult && preparedOnRow) {
                EXPECT_EQ(preparedResult->getString(1).rfind("row ", 0), 0u);
                preparedOnRow = preparedResult->next();
            }
        }
        const odbc::detail::HandleCounts after = odbc::detail::liveHandleCounts();
        ASSERT_EQ(after.statements, before.statements) << "permutation " << permutations;
        ASSERT_EQ(after.connections, before.connections) << "permutation " << permutations;
        ASSERT_EQ(after.environments, before.environments) << "permutation " << permutations;
        ++permutations;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(permutations, 120);
    if (backend() == Backend::PostgreSQL) {
        EXPECT_EQ(waitForPostgresSessions(1), 1) << "sessions left open on the server";
    }
}

TEST_P(LifetimeTest, AStatementOutlivesItsConnection) {
    fill(connection(), 3);
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    connection_.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 1u) << "the statement keeps the connection handle";
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT COUNT(*) FROM items"));
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt(1), 3);
    statement.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 1u) << "the result set keeps it still";
    result.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 0u);
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 0u);
    if (backend() == Backend::PostgreSQL) {
        EXPECT_EQ(waitForPostgresSessions(0), 0) << "the last holder did not disconnect";
    }
}

TEST_P(LifetimeTest, AResultSetReadsOnAfterItsStatementAndConnectionAreGone) {
    fill(connection(), 4);
    std::unique_ptr<odbc::PreparedStatement> select(
        connection().prepareStatement("SELECT id, name FROM items WHERE name <> ? ORDER BY id"));
    select->setString(1, "row 2");
    std::unique_ptr<odbc::ResultSet> result(select->executeQuery());
    select.reset();
    connection_.reset();
    int seen = 0;
    for (int id : {1, 3, 4}) {
        ASSERT_TRUE(result->next());
        EXPECT_EQ(result->getInt("id"), id);
        EXPECT_EQ(result->getString("name"), "row " + std::to_string(id));
        ++seen;
    }
    EXPECT_FALSE(result->next());
    EXPECT_EQ(seen, 3);
}

TEST_P(LifetimeTest, WorkOfAStatementOutlivingItsConnectionIsRolledBackUnlessCommitted) {
    connection().setAutoCommit(false);
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id) VALUES (1)"), 1);
    connection_.reset();  // rolls back the open transaction
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id) VALUES (2)"), 1);
    statement.reset();  // the last holder: rolls back, then disconnects

    std::unique_ptr<odbc::Connection> other(database().connect());
    EXPECT_EQ(queryInt(*other, "SELECT COUNT(*) FROM items"), 0);
}

TEST_P(LifetimeTest, ConnectionsShareOneEnvironment) {
    std::unique_ptr<odbc::Connection> second(database().connect());
    std::unique_ptr<odbc::Connection> third(database().connect());
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 1u);
    EXPECT_EQ(odbc::detail::liveHandleCounts().connections, 3u);
    connection_.reset();
    second.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 1u);
    third.reset();
    EXPECT_EQ(odbc::detail::liveHandleCounts().environments, 0u);
    // A new connection after all were gone gets a new environment.
    connection_.reset(database().connect());
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 0);
}

ODBC_TEST_INSTANTIATE(LifetimeTest);

}  // namespace
}  // namespace odbc_test
