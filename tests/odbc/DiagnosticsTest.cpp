#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using DiagnosticsTest = BackendTest;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void expectDuplicateKey(Backend backend, const odbc::SQLException& error) {
    const std::string message = error.what();
    if (backend == Backend::PostgreSQL) {
        EXPECT_EQ(error.getSQLState(), "23505") << message;
        EXPECT_TRUE(contains(message, "duplicate key")) << message;
    } else {
        EXPECT_EQ(error.getSQLState(), "HY000") << message;
        EXPECT_EQ(error.getNativeCode(), 19) << "SQLITE_CONSTRAINT; " << message;
        EXPECT_TRUE(contains(message, "UNIQUE constraint failed")) << message;
    }
}

TEST_P(DiagnosticsTest, AFailedStatementReportsItsOwnDiagnostics) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    execute(connection(), "INSERT INTO items (id) VALUES (2)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    // An open cursor on the statement: it is closed before the failing execution,
    // and that must not take the place of the failure's diagnostics.
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery("SELECT id FROM items"));
    ASSERT_TRUE(rows->next());
    try {
        statement->executeUpdate("INSERT INTO items (id) VALUES (1)");
        FAIL() << "a duplicate key was accepted";
    } catch (const odbc::SQLException& error) {
        expectDuplicateKey(backend(), error);
        EXPECT_TRUE(contains(error.what(), "INSERT INTO items (id) VALUES (1)")) << error.what();
    }
    // A later failure reports itself, not the earlier one.
    try {
        statement->executeUpdate("UPDATE items SET no_such_column = 1");
        FAIL() << "an update of a missing column was accepted";
    } catch (const odbc::SQLException& error) {
        EXPECT_TRUE(contains(error.what(), "no_such_column")) << error.what();
        EXPECT_FALSE(contains(error.what(), "duplicate") || contains(error.what(), "UNIQUE")) << error.what();
        if (backend() == Backend::PostgreSQL) {
            EXPECT_EQ(error.getSQLState(), "42703");
        }
    }
    // And a success in between leaves nothing behind.
    EXPECT_EQ(statement->executeUpdate("INSERT INTO items (id) VALUES (3)"), 1);
}

TEST_P(DiagnosticsTest, AFailedPreparedExecutionReportsItsOwnDiagnostics) {
    std::unique_ptr<odbc::PreparedStatement> insert(connection().prepareStatement("INSERT INTO items (id) VALUES (?)"));
    insert->setInt(1, 1);
    EXPECT_EQ(insert->executeUpdate(), 1);
    try {
        insert->executeUpdate();
        FAIL() << "a duplicate key was accepted";
    } catch (const odbc::SQLException& error) {
        expectDuplicateKey(backend(), error);
        EXPECT_TRUE(contains(error.what(), "Executing \"INSERT INTO items (id) VALUES (?)\" failed")) << error.what();
    }
    insert->setInt(1, 2);
    EXPECT_EQ(insert->executeUpdate(), 1) << "the statement goes on after a failure";
    EXPECT_EQ(queryInt(connection(), "SELECT COUNT(*) FROM items"), 2);
}

TEST_P(DiagnosticsTest, AnErrorWhileProducingRowsRaises) {
    // The error comes with the second row: at execution for drivers that read
    // ahead, at the fetch for the others.
    const std::string sql = backend() == Backend::PostgreSQL
                                ? "SELECT 10 / (x - 2) AS q FROM generate_series(1, 3) AS x"
                                : "SELECT abs(x) AS q FROM (SELECT 1 AS x UNION ALL SELECT -9223372036854775807 - 1)";
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    try {
        std::unique_ptr<odbc::ResultSet> result(statement->executeQuery(sql));
        while (result->next())
            result->getString(1);
        FAIL() << "the error was lost";
    } catch (const odbc::SQLException& error) {
        if (backend() == Backend::PostgreSQL) {
            EXPECT_EQ(error.getSQLState(), "22012") << error.what();
            EXPECT_TRUE(contains(error.what(), "division by zero")) << error.what();
        } else {
            EXPECT_TRUE(contains(error.what(), "integer overflow")) << error.what();
        }
    }
    EXPECT_EQ(queryInt(connection(), "SELECT 1"), 1);
}

TEST(SQLExceptionTest, CarriesStateCodeAndMessage) {
    odbc::SQLException plain("something failed");
    EXPECT_EQ(plain.getSQLState(), "HY000");
    EXPECT_EQ(plain.getNativeCode(), 0);
    EXPECT_EQ(plain.getMessage(), "something failed");
    EXPECT_STREQ(plain.what(), "something failed");
    odbc::SQLException full("other failure", "42S02", 208);
    EXPECT_EQ(full.getSQLState(), "42S02");
    EXPECT_EQ(full.getNativeCode(), 208);
}

ODBC_TEST_INSTANTIATE(DiagnosticsTest);

}  // namespace
}  // namespace odbc_test
