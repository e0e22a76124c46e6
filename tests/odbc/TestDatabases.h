#pragma once

// Databases for the ODBC layer's tests: a SQLite file per test, and on the
// test PostgreSQL server one database per run of the program, made at first
// use and dropped when the program ends.
//
// The drivers are named in an odbcinst.ini in a private folder that
// ODBCSYSINI points at. unixODBC reads ODBCSYSINI once per process, so the
// folder is set before the first connection and never changed: each driver
// has a name of its own in it ("Zentra SQLite", "Zentra PostgreSQL"), and
// "SQL Server", the name the product's connection strings use, maps to SQLite.
//
// PostgreSQL runs only when ZENTRA_TEST_PG=1; libpq finds the server through
// PGHOSTADDR, PGPORT and PGUSER (127.0.0.1, 54329 and postgres when unset).

#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "odbc/odbc.h"

namespace odbc_test {

enum class Backend { SQLite, PostgreSQL };

std::string backendName(Backend backend);
inline std::ostream& operator<<(std::ostream& out, Backend backend) { return out << backendName(backend); }

// Why the backend cannot be used in this run; empty when it can.
std::string unavailableReason(Backend backend);

// The private folder that holds odbcinst.ini (and the SQLite files).
const std::string& configFolder();

// This machine's host name, for the Server= part of connection strings.
std::string hostName();

// A database of its own for one test. For SQLite a new file; for PostgreSQL
// the run's database, emptied of the tables the tests make.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Backend backend() const { return backend_; }
    // Driver={...};Server=<host>;Database=<db>;Trusted_Connection=yes
    std::string connectString() const;
    odbc::Connection* connect() const { return odbc::DriverManager::getConnection(connectString()); }
    // The database name (PostgreSQL) or file path (SQLite).
    const std::string& name() const { return name_; }

private:
    Backend backend_;
    std::string name_;
};

// PostgreSQL only: the number of sessions connected to the run's database,
// counted from a separate connection to the server's "postgres" database.
int postgresSessionCount();
// Waits (up to a few seconds) until the count is `expected`; returns the last count.
int waitForPostgresSessions(int expected);

// Runs `sql` on a fresh statement and returns the affected row count.
int execute(odbc::Connection& connection, const std::string& sql);
// The first column of the first row of `sql`, as an integer.
int queryInt(odbc::Connection& connection, const std::string& sql);
// The first column of the first row of `sql`, as a text.
std::string queryString(odbc::Connection& connection, const std::string& sql);

// The fixture of the parameterized suites: a fresh database with a table
//   items(id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)
// and an open connection to it. Skips when the backend is not available.
// Afterwards it checks that the layer holds no ODBC handle any more.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    Backend backend() const { return GetParam(); }
    TestDatabase& database() { return *database_; }
    odbc::Connection& connection() { return *connection_; }

    std::unique_ptr<TestDatabase> database_;
    std::unique_ptr<odbc::Connection> connection_;
};

std::string backendTestName(const ::testing::TestParamInfo<Backend>& info);

}  // namespace odbc_test

#define ODBC_TEST_INSTANTIATE(Suite)                                                               \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                      \
                             ::testing::Values(::odbc_test::Backend::SQLite,                       \
                                               ::odbc_test::Backend::PostgreSQL),                  \
                             ::odbc_test::backendTestName)
