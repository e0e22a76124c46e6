#pragma once

// The ODBC layer's tests run on the database of a stand-in machine
// (MachineTest), reached through the machine's "SQL Server" driver. A session
// still connected to the PostgreSQL database when the test ends is reported as
// a leak.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "odbc/odbc.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

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

// The fixture of the parameterized suites: the machine's database with a table
//   items(id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)
// and an open connection to it. Afterwards it checks that no session is left
// on the PostgreSQL database and that the layer holds no ODBC handle any more.
class BackendTest : public zentra_test::MachineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    Backend backend() const { return GetParam(); }
    bool postgres() const { return GetParam() == Backend::PostgreSQL; }
    // Driver={SQL Server};Server=<host>;Database=<database>;Trusted_Connection=yes
    std::string connectString() const { return db->connectString(); }
    odbc::Connection* connect() const { return odbc::DriverManager::getConnection(connectString()); }
    odbc::Connection& connection() { return *connection_; }
    // PostgreSQL only: waits (a few seconds at most) until `expected` sessions
    // are connected to the database; returns the last count.
    int waitForSessions(int expected) const;

    std::unique_ptr<odbc::Connection> connection_;
};

}  // namespace odbc_test
