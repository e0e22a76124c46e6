// Connecting an installer object: the registered data source, the publisher
// check and the connection itself, against real databases.

#include <gtest/gtest.h>

#include <filesystem>

#include "installer/CZentraSetup.h"
#include "odbc/odbc.h"
#include "platform/Win32.h"
#include "support/InstallerProbe.h"
#include "support/DialPlanModel.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

using zentra_test::Backend;

namespace {

class DataSourceTest : public ::testing::Test {
protected:
    CZentraSetup setup;
    CZentraSetupTestProbe probe{setup};

    std::string extract(std::string dataSource)
    {
        const std::string before = dataSource;
        std::string database = probe.ExtractServerFromDSN(dataSource);
        EXPECT_EQ(before, dataSource) << "the data source must not be changed";
        return database;
    }
};

TEST_F(DataSourceTest, TakesServerAndDatabaseInAnyOrder)
{
    EXPECT_EQ("CfgDb", extract("SERVER=DBHOST;DATABASE=CfgDb"));
    EXPECT_EQ("DBHOST", probe.server());
    EXPECT_EQ("CfgDb", probe.database());

    EXPECT_EQ("CfgDb", extract("DATABASE=CfgDb;SERVER=DBHOST"));
    EXPECT_EQ("DBHOST", probe.server());
}

TEST_F(DataSourceTest, KeysAreMatchedInUpperCaseOnly)
{
    EXPECT_EQ("", extract("server=DBHOST;database=CfgDb"));
    EXPECT_EQ("", probe.server());
    EXPECT_EQ("", probe.database());
}

TEST_F(DataSourceTest, ValueRunsToTheEndWithoutSemicolon)
{
    EXPECT_EQ("", extract("SERVER=DBHOST"));
    EXPECT_EQ("DBHOST", probe.server());
    EXPECT_EQ("", probe.database());
}

TEST_F(DataSourceTest, NamesAreTakenAsTheyStand)
{
    EXPECT_EQ(" Cfg Db ", extract("UID=x; SERVER= DBHOST ;DATABASE= Cfg Db ;"));
    EXPECT_EQ(" DBHOST ", probe.server());
}

TEST_F(DataSourceTest, PublisherIsThisHostExactlyWithCase)
{
    probe.server() = zentra_test::HostName();
    EXPECT_EQ(0, probe.CheckPublisher());

    std::string other = zentra_test::HostName();
    for (char& c : other)
        c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
    probe.server() = other;
    EXPECT_EQ(8, probe.CheckPublisher());

    probe.server() = "";
    EXPECT_EQ(8, probe.CheckPublisher());
}

// What the registry names is up to the case; the machine's database at first.
class DBConnectionTest : public zentra_test::MachineTest {
protected:
    // The connection of setup reaches the host tables.
    static void ExpectHostTables(CZentraSetup& connected)
    {
        CZentraSetupTestProbe probe(connected);
        ASSERT_TRUE(probe.connection());
        std::unique_ptr<odbc::Statement> statement(probe.connection()->createStatement());
        std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery("select count(*) as n from DialPlan"));
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(0, rows->getInt("n"));
    }

    CZentraSetup setup;
    CZentraSetupTestProbe probe{setup};
};

TEST_P(DBConnectionTest, ConnectsToTheRegisteredDatabaseAndKeepsTheConnection)
{
    ASSERT_EQ(0, setup.DBConnection());
    EXPECT_EQ(zentra_test::HostName(), probe.server());
    EXPECT_EQ(db->database(), probe.database());
    EXPECT_EQ("Driver={SQL Server};Server=" + zentra_test::HostName() + ";Database=" + db->database() +
                  ";Trusted_Connection=yes",
              probe.connectString());
    ExpectHostTables(setup);

    // A second call keeps the live connection and opens nothing.
    odbc::Connection* first = probe.connection().get();
    EXPECT_EQ(0, setup.DBConnection());
    EXPECT_EQ(first, probe.connection().get());
}

TEST_P(DBConnectionTest, AnotherServerIsNotThePublisher)
{
    prefix->registerDataSource("SERVER=not-" + zentra_test::HostName() + ";DATABASE=" + db->database());
    EXPECT_EQ(8, setup.DBConnection());
    EXPECT_FALSE(probe.connection());
    EXPECT_EQ("", probe.connectString()) << "no connection may be attempted";
}

// A registry that names no server is a failed connection: nothing can be
// checked against a database, so nothing may go on as if this machine were not
// the publisher. No connection is attempted.
TEST_P(DBConnectionTest, NoServerInTheRegistryIsAFailedConnection)
{
    const std::string host = zentra_test::HostName();
    const std::string hive = prefix->path() + "/system.reg";
    const std::string key = "Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n";
    const struct {
        const char* what;
        std::string registry;  // the text of system.reg; empty: no file
    } cases[] = {
        {"no registry at all", ""},
        {"the key without the value", key + "\"Other\"=\"SERVER=" + host + "\"\n"},
        {"an empty value", key + "\"DBConnection0\"=\"\"\n"},
        {"a value of another type", key + "\"DBConnection0\"=dword:00000001\n"},
        {"a value too long for its buffer", key + "\"DBConnection0\"=\"SERVER=" + host + ";DATABASE=" + db->database() +
                                                ";" + std::string(300, 'x') + "\"\n"},
        {"no SERVER=", key + "\"DBConnection0\"=\"DATABASE=" + db->database() + "\"\n"},
        {"keys in lower case", key + "\"DBConnection0\"=\"server=" + host + ";database=x\"\n"},
        {"an empty server name", key + "\"DBConnection0\"=\"SERVER=;DATABASE=x\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(hive);
        if (!c.registry.empty())
            zentra_test::WriteFile(hive, c.registry);
        CZentraSetup fresh;
        CZentraSetupTestProbe freshProbe(fresh);
        EXPECT_EQ(1, fresh.DBConnection());
        EXPECT_FALSE(freshProbe.connection());
        EXPECT_EQ("", freshProbe.connectString()) << "no connection may be attempted";
        if (c.registry.empty()) {  // the key is created on the way
            EXPECT_NE(std::string::npos, zentra_test::ReadFile(hive).find(
                                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]"));
        }
    }
}

TEST_P(DBConnectionTest, FailedConnectionAnswersOneAndRetries)
{
    const std::string unreachable =
        GetParam() == Backend::SQLite ? prefix->path() + "/missing-folder/orvilex.db" : "zentra_no_such_database";
    prefix->registerDataSource("SERVER=" + zentra_test::HostName() + ";DATABASE=" + unreachable);
    EXPECT_EQ(1, setup.DBConnection());
    EXPECT_FALSE(probe.connection());

    // A second call tries again instead of answering 0 without a connection.
    EXPECT_EQ(1, setup.DBConnection());
    EXPECT_FALSE(probe.connection());

    prefix->registerDatabase(*db);
    EXPECT_EQ(0, setup.DBConnection());
    ExpectHostTables(setup);
}

TEST_P(DBConnectionTest, CopiesShareTheConnectionWhichIsClosedOnce)
{
    auto original = std::make_unique<CZentraSetup>();
    ASSERT_EQ(0, original->DBConnection());
    CZentraSetup copy(*original);
    CZentraSetup assigned;
    assigned = *original;

    CZentraSetupTestProbe originalProbe(*original);
    CZentraSetupTestProbe assignedProbe(assigned);
    // Assigning an object to itself changes nothing: it keeps its share of the
    // connection and its values.
    const long holders = assignedProbe.connection().use_count();
    const CZentraSetup& itself = assigned;
    assigned = itself;
    EXPECT_EQ(holders, assignedProbe.connection().use_count());
    EXPECT_EQ(originalProbe.server(), assignedProbe.server());
    EXPECT_EQ(originalProbe.database(), assignedProbe.database());

    EXPECT_EQ(originalProbe.connection().get(), CZentraSetupTestProbe(copy).connection().get());
    EXPECT_EQ(originalProbe.connection().get(), assignedProbe.connection().get());
    EXPECT_EQ(originalProbe.connectString(), assignedProbe.connectString());

    // The original goes; the copies still work on the shared connection.
    original.reset();
    ExpectHostTables(copy);
    ExpectHostTables(assigned);
}

TEST_P(DBConnectionTest, StepWithoutConnectionRaisesClearError)
{
    zentra_test::WriteFile("Foo.csv", zentra_test::CsvText(zentra_test::MakeDialPlan("Foo", 0xF0000000u, 1)));
    ASSERT_TRUE(MakeSureDirectoryPathExists("C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\"));
    // The fixture's object has not been connected.
    try {
        setup.DialPlanMain("Foo");
        ADD_FAILURE() << "a step without a connection must raise";
    } catch (const odbc::SQLException& error) {
        EXPECT_NE(std::string::npos, error.getMessage().find("not connected")) << error.getMessage();
    }
}

ZENTRA_ON_EVERY_BACKEND(DBConnectionTest);

}  // namespace
