#include "TestDatabases.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "odbc/Handles.h"

namespace odbc_test {

namespace {

const char* const kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
const char* const kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so";

std::string driverName(Backend backend) {
    return backend == Backend::SQLite ? "Zentra SQLite" : "Zentra PostgreSQL";
}

std::string connectString(Backend backend, const std::string& database) {
    return "Driver={" + driverName(backend) + "};Server=" + hostName() + ";Database=" + database +
           ";Trusted_Connection=yes";
}

// Removes the private folder when the program ends (after the PostgreSQL
// database is dropped: environments are torn down in reverse order).
class ConfigFolderCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        if (folder.empty())
            return;
        // unixODBC may leave an empty odbc.ini beside odbcinst.ini.
        for (const char* file : {"/odbcinst.ini", "/odbc.ini"})
            std::remove((folder + file).c_str());
        if (rmdir(folder.c_str()) != 0)
            std::fprintf(stderr, "note: the folder %s is left behind (not empty)\n", folder.c_str());
    }
    std::string folder;
};

ConfigFolderCleanup* const cleanup = [] {
    auto* environment = new ConfigFolderCleanup;
    ::testing::AddGlobalTestEnvironment(environment);  // gtest owns it
    return environment;
}();

std::string makeConfigFolder() {
    char pattern[] = "/tmp/zentra-odbc-test-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("cannot make a temporary folder");
    const std::string folder = pattern;
    std::ofstream ini(folder + "/odbcinst.ini");
    ini << "[Zentra SQLite]\nDriver=" << kSqliteDriver << "\n\n"
        << "[Zentra PostgreSQL]\nDriver=" << kPostgresDriver << "\n\n"
        << "[SQL Server]\nDriver=" << kSqliteDriver << "\n";
    ini.close();
    if (!ini)
        throw std::runtime_error("cannot write " + folder + "/odbcinst.ini");
    // Before the first ODBC call of the process: unixODBC reads it once.
    setenv("ODBCSYSINI", folder.c_str(), 1);
    setenv("PGHOSTADDR", "127.0.0.1", 0);
    setenv("PGPORT", "54329", 0);
    setenv("PGUSER", "postgres", 0);
    cleanup->folder = folder;
    return folder;
}

std::unique_ptr<odbc::Connection> adminConnection() {
    return std::unique_ptr<odbc::Connection>(
        odbc::DriverManager::getConnection(connectString(Backend::PostgreSQL, "postgres")));
}

// The run's PostgreSQL database, dropped when the program ends. Dropping
// fails while any session is still connected to it, which is reported: a
// connection this layer failed to close is a leak.
class PostgresDatabase : public ::testing::Environment {
public:
    const std::string& name() {
        if (name_.empty()) {
            const std::string candidate = "zentra_odbc_" + std::to_string(getpid()) + "_" +
                                          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
            execute(*adminConnection(), "CREATE DATABASE " + candidate);
            name_ = candidate;
        }
        return name_;
    }

    void TearDown() override {
        if (name_.empty())
            return;
        try {
            auto admin = adminConnection();
            try {
                execute(*admin, "DROP DATABASE " + name_);
            } catch (const odbc::SQLException& error) {
                ADD_FAILURE() << "the test database " << name_ << " could not be dropped, "
                              << "so a session is still connected to it: " << error.what();
                execute(*admin, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
            }
        } catch (const odbc::SQLException& error) {
            ADD_FAILURE() << "the test database " << name_ << " is left behind: " << error.what();
        }
        name_.clear();
    }

private:
    std::string name_;
};

PostgresDatabase* postgresDatabase() {
    static PostgresDatabase* database = [] {
        auto* environment = new PostgresDatabase;
        ::testing::AddGlobalTestEnvironment(environment);  // gtest owns it
        return environment;
    }();
    return database;
}

// Registered before main, so that the database made during the tests is dropped after them.
[[maybe_unused]] PostgresDatabase* const registered = postgresDatabase();

int sqliteCounter = 0;

}  // namespace

std::string backendName(Backend backend) { return backend == Backend::SQLite ? "SQLite" : "PostgreSQL"; }

std::string unavailableReason(Backend backend) {
    if (backend == Backend::PostgreSQL) {
        const char* flag = std::getenv("ZENTRA_TEST_PG");
        if (!flag || std::string(flag) != "1")
            return "PostgreSQL tests run only when ZENTRA_TEST_PG=1";
    }
    return std::string();
}

const std::string& configFolder() {
    static const std::string folder = makeConfigFolder();
    return folder;
}

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

TestDatabase::TestDatabase(Backend backend) : backend_(backend) {
    configFolder();
    if (backend == Backend::SQLite) {
        name_ = configFolder() + "/db" + std::to_string(++sqliteCounter) + ".sqlite";
        std::remove(name_.c_str());
    } else {
        name_ = postgresDatabase()->name();
        auto connection = std::unique_ptr<odbc::Connection>(connect());
        for (const char* table : {"items", "other_items", "quirks"})
            execute(*connection, std::string("DROP TABLE IF EXISTS ") + table);
    }
}

TestDatabase::~TestDatabase() {
    if (backend_ == Backend::SQLite) {
        std::remove(name_.c_str());
        std::remove((name_ + "-journal").c_str());
    }
}

std::string TestDatabase::connectString() const { return odbc_test::connectString(backend_, name_); }

int postgresSessionCount() {
    return queryInt(*adminConnection(),
                    "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + postgresDatabase()->name() + "'");
}

int waitForPostgresSessions(int expected) {
    // A server process ends a moment after its client disconnected.
    int count = postgresSessionCount();
    for (int i = 0; i < 100 && count != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        count = postgresSessionCount();
    }
    return count;
}

int execute(odbc::Connection& connection, const std::string& sql) {
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    return statement->executeUpdate(sql);
}

int queryInt(odbc::Connection& connection, const std::string& sql) {
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery(sql));
    if (!result->next())
        throw std::runtime_error("no row from " + sql);
    return result->getInt(1);
}

std::string queryString(odbc::Connection& connection, const std::string& sql) {
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery(sql));
    if (!result->next())
        throw std::runtime_error("no row from " + sql);
    return result->getString(1);
}

void BackendTest::SetUp() {
    const std::string reason = unavailableReason(backend());
    if (!reason.empty())
        GTEST_SKIP() << reason;
    database_ = std::make_unique<TestDatabase>(backend());
    connection_.reset(database_->connect());
    execute(*connection_,
            "CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(100), note TEXT, amount INTEGER)");
}

void BackendTest::TearDown() {
    connection_.reset();
    database_.reset();
    const odbc::detail::HandleCounts live = odbc::detail::liveHandleCounts();
    EXPECT_EQ(live.statements, 0u) << "statement handles left behind";
    EXPECT_EQ(live.connections, 0u) << "connection handles left behind";
    EXPECT_EQ(live.environments, 0u) << "the environment handle was left behind";
}

std::string backendTestName(const ::testing::TestParamInfo<Backend>& info) { return backendName(info.param); }

}  // namespace odbc_test
