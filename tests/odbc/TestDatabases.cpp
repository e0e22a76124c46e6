#include "TestDatabases.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "odbc/Handles.h"

namespace odbc_test {

namespace {

// The private folder of odbcinst.ini and the SQLite files, set up before the
// first connection and removed when the program ends.
struct ConfigFolder {
    ConfigFolder()
    {
        char pattern[] = "/tmp/zentra-odbc-test-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
        std::ofstream ini(path + "/odbcinst.ini");
        ini << "[Zentra SQLite]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n\n"
            << "[Zentra PostgreSQL]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n";
        if (!ini.flush())
            throw std::runtime_error("cannot write " + path + "/odbcinst.ini");
        setenv("ODBCSYSINI", path.c_str(), 1);
    }
    ~ConfigFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& configFolder()
{
    static const ConfigFolder folder;
    return folder.path;
}

std::string connectString(Backend backend, const std::string& database)
{
    configFolder();  // ODBCSYSINI is set before the first connection
    return "Driver={Zentra " + zentra_test::BackendName(backend) + "};Server=" + zentra_test::HostName() +
           ";Database=" + database + ";Trusted_Connection=yes";
}

std::unique_ptr<odbc::Connection> adminConnection()
{
    return std::unique_ptr<odbc::Connection>(
        odbc::DriverManager::getConnection(connectString(Backend::PostgreSQL, "postgres")));
}

int databaseCounter = 0;

}  // namespace

std::string BackendTest::connectString() const { return odbc_test::connectString(backend(), database_); }

int BackendTest::waitForSessions(int expected) const
{
    // A server process ends a moment after its client disconnected.
    const std::string sql = "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + database_ + "'";
    int count = queryInt(*adminConnection(), sql);
    for (int i = 0; i < 100 && count != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        count = queryInt(*adminConnection(), sql);
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
    ZENTRA_REQUIRE_BACKEND(backend());
    const std::string unique = std::to_string(getpid()) + "_" + std::to_string(++databaseCounter);
    if (postgres()) {
        const auto now = std::chrono::system_clock::now().time_since_epoch().count();
        const std::string name = "zentra_odbc_" + unique + "_" + std::to_string(now % 1000000000);
        execute(*adminConnection(), "CREATE DATABASE " + name);
        database_ = name;
    } else {
        database_ = configFolder() + "/db" + unique + ".sqlite";
    }
    connection_.reset(connect());
    execute(*connection_, "CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)");
}

// Dropping the PostgreSQL database fails while a session is still connected
// to it (the server waits a few seconds for sessions that are ending): a
// connection this layer failed to close.
void BackendTest::TearDown()
{
    connection_.reset();
    if (!postgres()) {
        std::remove(database_.c_str());
    } else if (!database_.empty()) {
        try {
            auto admin = adminConnection();
            try {
                execute(*admin, "DROP DATABASE " + database_);
            } catch (const odbc::SQLException& error) {
                ADD_FAILURE() << "a session is still connected to " << database_ << ": " << error.what();
                execute(*admin, "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
            }
        } catch (const odbc::SQLException& error) {
            ADD_FAILURE() << "the test database " << database_ << " is left behind: " << error.what();
        }
    }
    const odbc::detail::HandleCounts live = odbc::detail::liveHandleCounts();
    EXPECT_EQ(live.statements, 0u) << "statement handles left behind";
    EXPECT_EQ(live.connections, 0u) << "connection handles left behind";
    EXPECT_EQ(live.environments, 0u) << "the environment handle was left behind";
}

}  // namespace odbc_test
