#include "TestDatabases.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "odbc/Handles.h"

namespace odbc_test {

namespace {

std::unique_ptr<odbc::Connection> AdminConnection()
{
    return std::unique_ptr<odbc::Connection>(odbc::DriverManager::getConnection(
        "Driver={SQL Server};Server=" + zentra_test::HostName() + ";Database=postgres;Trusted_Connection=yes"));
}

}  // namespace

int BackendTest::waitForSessions(int expected) const
{
    // A server process ends a moment after its client disconnected.
    const std::string sql = "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + db->database() + "'";
    int count = queryInt(*AdminConnection(), sql);
    for (int i = 0; i < 100 && count != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        count = queryInt(*AdminConnection(), sql);
    }
    return count;
}

int execute(odbc::Connection& connection, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    return statement->executeUpdate(sql);
}

std::string queryString(odbc::Connection& connection, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery(sql));
    if (!result->next())
        throw std::runtime_error("no row from " + sql);
    return result->getString(1);
}

void BackendTest::SetUp()
{
    MachineTest::SetUp();
    if (IsSkipped())
        return;
    connection_.reset(connect());
    execute(*connection_, "CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)");
}

void BackendTest::TearDown()
{
    connection_.reset();
    if (postgres() && db) {
        EXPECT_EQ(waitForSessions(0), 0) << "a session is still connected to " << db->database();
    }
    const odbc::detail::HandleCounts live = odbc::detail::liveHandleCounts();
    EXPECT_EQ(live.statements, 0u) << "statement handles left behind";
    EXPECT_EQ(live.connections, 0u) << "connection handles left behind";
    EXPECT_EQ(live.environments, 0u) << "the environment handle was left behind";
}

}  // namespace odbc_test
