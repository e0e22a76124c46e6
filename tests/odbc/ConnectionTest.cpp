#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using ConnectionTest = BackendTest;

TEST_P(ConnectionTest, ReportsTheDatabaseProductName) {
    EXPECT_EQ(connection().getDatabaseProductName(), backend() == Backend::SQLite ? "SQLite" : "PostgreSQL");
}

TEST_P(ConnectionTest, AutoCommitIsOnAtFirstAndCanBeSwitched) {
    EXPECT_TRUE(connection().getAutoCommit());
    connection().setAutoCommit(false);
    EXPECT_FALSE(connection().getAutoCommit());
    connection().setAutoCommit(true);
    EXPECT_TRUE(connection().getAutoCommit());
}

TEST_P(ConnectionTest, CommitAndRollbackEndTheTransaction) {
    connection().setAutoCommit(false);
    execute(connection(), "INSERT INTO items (id, name) VALUES (1, 'kept')");
    connection().commit();
    execute(connection(), "INSERT INTO items (id, name) VALUES (2, 'dropped')");
    connection().rollback();
    connection().setAutoCommit(true);

    std::unique_ptr<odbc::Connection> other(database().connect());
    EXPECT_EQ(queryInt(*other, "SELECT COUNT(*) FROM items"), 1);
    EXPECT_EQ(queryString(*other, "SELECT name FROM items"), "kept");
}

TEST_P(ConnectionTest, ClosingTheConnectionRollsBackAnOpenTransaction) {
    connection().setAutoCommit(false);
    execute(connection(), "INSERT INTO items (id, name) VALUES (1, 'never committed')");
    connection_.reset();

    std::unique_ptr<odbc::Connection> other(database().connect());
    EXPECT_EQ(queryInt(*other, "SELECT COUNT(*) FROM items"), 0);
}

TEST_P(ConnectionTest, ClosingTheConnectionEndsItsTransactionWhileAStatementLivesOn) {
    connection().setAutoCommit(false);
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, name) VALUES (1, 'uncommitted')"), 1);
    connection_.reset();

    // The uncommitted insert held a write lock (SQLite) or the key (PostgreSQL):
    // another connection can take both only when that transaction is over.
    std::unique_ptr<odbc::Connection> other;
    if (backend() == Backend::SQLite) {
        // The SQLite driver's own busy wait, in milliseconds.
        other.reset(odbc::DriverManager::getConnection(database().connectString() + ";Timeout=2000"));
    } else {
        other.reset(database().connect());
        execute(*other, "SET lock_timeout = '2s'");
    }
    EXPECT_EQ(execute(*other, "INSERT INTO items (id, name) VALUES (1, 'other')"), 1);
    EXPECT_EQ(queryString(*other, "SELECT name FROM items WHERE id = 1"), "other");
}

TEST_P(ConnectionTest, ConnectingToAMissingDatabaseRaisesWithStateAndMessage) {
    std::string connectString;
    if (backend() == Backend::SQLite) {
        // A file in a folder that does not exist cannot be made.
        connectString = "Driver={Zentra SQLite};Server=" + hostName() + ";Database=" + configFolder() +
                        "/no-such-folder/db.sqlite;Trusted_Connection=yes";
    } else {
        connectString = "Driver={Zentra PostgreSQL};Server=" + hostName() +
                        ";Database=zentra_no_such_database;Trusted_Connection=yes";
    }
    try {
        std::unique_ptr<odbc::Connection> connection(odbc::DriverManager::getConnection(connectString));
        FAIL() << "connected to a database that does not exist";
    } catch (const odbc::SQLException& error) {
        EXPECT_EQ(error.getSQLState().size(), 5u) << error.getSQLState();
        EXPECT_NE(error.getSQLState(), "00000");
        const std::string message = error.what();
        EXPECT_EQ(message, error.getMessage());
        EXPECT_EQ(message.rfind("Cannot connect to the database: ", 0), 0u) << message;
        if (backend() == Backend::PostgreSQL) {
            EXPECT_EQ(error.getSQLState(), "08001");
            EXPECT_NE(message.find("zentra_no_such_database"), std::string::npos) << message;
            EXPECT_NE(message.find("does not exist"), std::string::npos) << message;
        } else {
            EXPECT_GT(message.size(), std::string("Cannot connect to the database: ").size() + 5) << message;
        }
    }
}

ODBC_TEST_INSTANTIATE(ConnectionTest);

TEST(DriverManagerTest, AnUnknownDriverNameRaisesTheDriverManagersError) {
    configFolder();
    try {
        std::unique_ptr<odbc::Connection> connection(odbc::DriverManager::getConnection(
            "Driver={Zentra No Such Driver};Server=" + hostName() + ";Database=x;Trusted_Connection=yes"));
        FAIL() << "connected through a driver that is not configured";
    } catch (const odbc::SQLException& error) {
        // unixODBC files this under the general warning state 01000, with one record.
        EXPECT_EQ(error.getSQLState(), "01000") << error.what();
        EXPECT_NE(std::string(error.what()).find("[unixODBC][Driver Manager]Can't open lib 'Zentra No Such Driver'"),
                  std::string::npos)
            << error.what();
    }
}

TEST(DriverManagerTest, TheProductsConnectionStringReachesTheMappedDriver) {
    // "SQL Server" is mapped to the SQLite driver in the test odbcinst.ini.
    TestDatabase database(Backend::SQLite);
    std::unique_ptr<odbc::Connection> connection(odbc::DriverManager::getConnection(
        "Driver={SQL Server};Server=" + hostName() + ";Database=" + database.name() + ";Trusted_Connection=yes"));
    EXPECT_EQ(connection->getDatabaseProductName(), "SQLite");
    EXPECT_EQ(queryInt(*connection, "SELECT 6 * 7"), 42);
}

}  // namespace
}  // namespace odbc_test
