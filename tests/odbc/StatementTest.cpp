#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/OdbcApi.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

// What the driver itself returns for `sql`, through the bare ODBC API.
SQLRETURN driverReturnCode(const std::string& connectString, const std::string& sql) {
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLRETURN result = SQL_ERROR;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    std::string text = connectString;
    if (SQL_SUCCEEDED(SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]), SQL_NTS, nullptr,
                                       0, nullptr, SQL_DRIVER_NOPROMPT))) {
        SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
        std::string query = sql;
        result = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(&query[0]), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        SQLDisconnect(connection);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return result;
}

using StatementTest = BackendTest;

TEST_P(StatementTest, ExecuteQueryReturnsTheRowsOfASelect) {
    execute(connection(), "INSERT INTO items (id, name, amount) VALUES (1, 'one', 10)");
    execute(connection(), "INSERT INTO items (id, name, amount) VALUES (2, 'two', 20)");
    execute(connection(), "INSERT INTO items (id, name, amount) VALUES (3, 'three', 30)");

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT id, name, amount FROM items WHERE amount > 15 ORDER BY id"));
    ASSERT_EQ(result->getColumnCount(), 3);
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt("id"), 2);
    EXPECT_EQ(result->getString("name"), "two");
    EXPECT_EQ(result->getInt(3), 20);
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt(1), 3);
    EXPECT_EQ(result->getString(2), "three");
    EXPECT_FALSE(result->next());
    EXPECT_FALSE(result->next()) << "a finished result set stays finished";
}

TEST_P(StatementTest, ExecuteQueryOnAnInsertGivesAnEmptyResultAndInserts) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("INSERT INTO items (id, name) VALUES (7, 'seven')"));
    EXPECT_EQ(result->getColumnCount(), 0);
    EXPECT_FALSE(result->next());
    EXPECT_EQ(queryString(connection(), "SELECT name FROM items WHERE id = 7"), "seven");
}

TEST_P(StatementTest, ExecuteQueryOnADeleteOfNothingGivesAnEmptyResult) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("DELETE FROM items WHERE id = 12345"));
    EXPECT_EQ(result->getColumnCount(), 0);
    EXPECT_FALSE(result->next());
}

TEST_P(StatementTest, ExecuteUpdateCountsTheAffectedRows) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, amount) VALUES (1, 5)"), 1);
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, amount) VALUES (2, 5)"), 1);
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id, amount) VALUES (3, 6)"), 1);
    EXPECT_EQ(statement->executeUpdate("UPDATE items SET name = 'five' WHERE amount = 5"), 2);
    EXPECT_EQ(statement->executeUpdate("UPDATE items SET name = 'x' WHERE amount = 99"), 0);
    EXPECT_EQ(statement->executeUpdate("DELETE FROM items WHERE id = 99"), 0);
    EXPECT_EQ(statement->executeUpdate("DELETE FROM items"), 3);
    EXPECT_EQ(statement->executeUpdate("DELETE FROM items"), 0);
    EXPECT_EQ(statement->executeUpdate("CREATE TABLE other_items (id INTEGER)"), 0);
    EXPECT_EQ(statement->executeUpdate("DROP TABLE other_items"), 0);
}

TEST_P(StatementTest, AStatementCanBeExecutedManyTimes) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    for (int i = 1; i <= 50; ++i)
        ASSERT_EQ(statement->executeUpdate("INSERT INTO items (id, amount) VALUES (" + std::to_string(i) + ", " +
                                           std::to_string(i * 2) + ")"),
                  1);
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT SUM(amount) AS total FROM items"));
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt("total"), 2550);
}

TEST_P(StatementTest, ExecutingAgainClosesTheEarlierResultSet) {
    for (int i = 1; i <= 3; ++i)
        execute(connection(), "INSERT INTO items (id, name) VALUES (" + std::to_string(i) + ", 'n" +
                                  std::to_string(i) + "')");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> first(statement->executeQuery("SELECT id, name FROM items ORDER BY id"));
    ASSERT_TRUE(first->next());
    EXPECT_EQ(first->getInt(1), 1);

    std::unique_ptr<odbc::ResultSet> second(statement->executeQuery("SELECT name FROM items ORDER BY id DESC"));
    // The first cursor is gone: it neither answers rows nor reads the second's.
    EXPECT_THROW(first->getString(2), odbc::SQLException);
    EXPECT_FALSE(first->next());
    EXPECT_FALSE(first->next());
    EXPECT_THROW(first->getString(1), odbc::SQLException);

    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getString(1), "n3");
    first.reset();  // must not close the second cursor
    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getString("name"), "n2");
    ASSERT_TRUE(second->next());
    EXPECT_EQ(second->getString("name"), "n1");
    EXPECT_FALSE(second->next());
}

TEST_P(StatementTest, ExecuteUpdateAfterAnOpenQueryClosesItsCursor) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    execute(connection(), "INSERT INTO items (id) VALUES (2)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id FROM items"));
    ASSERT_TRUE(result->next());
    EXPECT_EQ(statement->executeUpdate("DELETE FROM items WHERE id = 2"), 1);
    EXPECT_FALSE(result->next());
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 1);
}

TEST_P(StatementTest, ASyntaxErrorRaisesWithTheDriversState) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    try {
        statement->executeQuery("SELEKT id FROM items");
        FAIL() << "a syntax error was accepted";
    } catch (const odbc::SQLException& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Executing \"SELEKT id FROM items\" failed: ", 0), 0u) << message;
        EXPECT_NE(message.find("SELEKT"), std::string::npos);
        if (backend() == Backend::PostgreSQL) {
            EXPECT_EQ(error.getSQLState(), "42601");
            EXPECT_NE(message.find("syntax error"), std::string::npos) << message;
        } else {
            // The SQLite driver files every engine error under HY000, with
            // SQLite's result code (1, SQLITE_ERROR) as the native code.
            EXPECT_EQ(error.getSQLState(), "HY000");
            EXPECT_EQ(error.getNativeCode(), 1);
            EXPECT_NE(message.find("syntax error"), std::string::npos) << message;
        }
    }
    // The statement is still usable.
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id) VALUES (1)"), 1);
}

TEST_P(StatementTest, AnUpdateOfAMissingTableRaises) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    try {
        statement->executeUpdate("UPDATE no_such_table SET x = 1");
        FAIL() << "an update of a missing table was accepted";
    } catch (const odbc::SQLException& error) {
        EXPECT_EQ(error.getSQLState(), backend() == Backend::PostgreSQL ? "42P01" : "HY000");
        EXPECT_NE(std::string(error.what()).find("no_such_table"), std::string::npos) << error.what();
    }
}

TEST_P(StatementTest, AStatementThatWarnsStillSucceeds) {
    if (backend() != Backend::PostgreSQL)
        GTEST_SKIP() << "only PostgreSQL reports a notice (SQL_SUCCESS_WITH_INFO) on DROP TABLE IF EXISTS";
    ASSERT_EQ(driverReturnCode(database().connectString(), "DROP TABLE IF EXISTS no_such_table"),
              SQL_SUCCESS_WITH_INFO)
        << "the statement no longer exercises SQL_SUCCESS_WITH_INFO";
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    EXPECT_EQ(statement->executeUpdate("DROP TABLE IF EXISTS no_such_table"), 0);
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("DROP TABLE IF EXISTS no_such_table"));
    EXPECT_FALSE(result->next());
}

ODBC_TEST_INSTANTIATE(StatementTest);

}  // namespace
}  // namespace odbc_test
