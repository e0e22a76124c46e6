#pragma once

// The ODBC layer's tests run on a new SQLite file or a new database on the
// test PostgreSQL server for each test. A session still connected to the
// PostgreSQL database when it is dropped is reported as a leak.
//
// The drivers are named in an odbcinst.ini in a private folder that
// ODBCSYSINI points at before the first connection ("Zentra SQLite",
// "Zentra PostgreSQL"): unixODBC reads ODBCSYSINI once per process. libpq
// finds the PostgreSQL server through PGHOSTADDR, PGPORT and PGUSER.

#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "odbc/odbc.h"
#include "support/TestSupport.h"

namespace zentra_test {
inline void PrintTo(Backend backend, std::ostream* out) { *out << BackendName(backend); }
}  // namespace zentra_test

namespace odbc_test {

using zentra_test::Backend;

// Runs `sql` on a fresh statement: the affected row count, or the first column
// of the first row.
int execute(odbc::Connection& connection, const std::string& sql);
std::string queryString(odbc::Connection& connection, const std::string& sql);
inline int queryInt(odbc::Connection& connection, const std::string& sql)
{
    return std::stoi(queryString(connection, sql));
}

inline bool contains(const std::string& text, const std::string& fragment)
{
    return text.find(fragment) != std::string::npos;
}

// The fixture of the parameterized suites: a database of its own with a table
//   items(id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)
// and an open connection to it. Skips when the backend is not available.
// Afterwards it drops the database and checks that the layer holds no ODBC
// handle any more.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    Backend backend() const { return GetParam(); }
    bool postgres() const { return GetParam() == Backend::PostgreSQL; }
    // Driver={...};Server=<host>;Database=<database>;Trusted_Connection=yes
    std::string connectString() const;
    odbc::Connection* connect() const { return odbc::DriverManager::getConnection(connectString()); }
    odbc::Connection& connection() { return *connection_; }
    // PostgreSQL only: waits (a few seconds at most) until `expected` sessions
    // are connected to the database; returns the last count.
    int waitForSessions(int expected) const;

    std::string database_;  // the SQLite file path or the PostgreSQL database name
    std::unique_ptr<odbc::Connection> connection_;
};

}  // namespace odbc_test

#define ODBC_TEST_INSTANTIATE(Suite)                                                                                   \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                                            \
                           ::testing::Values(::odbc_test::Backend::SQLite, ::odbc_test::Backend::PostgreSQL),          \
                           [](const ::testing::TestParamInfo<::odbc_test::Backend>& param) {                           \
                           return ::zentra_test::BackendName(param.param);                                             \
                           })
