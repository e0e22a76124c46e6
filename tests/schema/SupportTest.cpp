// The shared test fixtures themselves: the prefix folder and its driver
// mapping and registry, the programs runner, folders, files, message boxes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "support/TestSupport.h"

namespace zentra_test {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "<unset>";
}

class BackendSupportTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { ZENTRA_REQUIRE_BACKEND(GetParam()); }
};

TEST_P(BackendSupportTest, TheSqlServerDriverOfThePrefixReachesTheHostDatabase) {
    HostDatabase db(GetParam());
    Prefix prefix(GetParam());
    db.exec("insert into DialPlan (pkid, name, description) values "
            "('{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}', 'Example', 'through the stand-in')");

    EXPECT_EQ(db.connectString(), "Driver={SQL Server};Server=" + HostName() + ";Database=" +
                                      db.database() + ";Trusted_Connection=yes");
    std::unique_ptr<odbc::Connection> connection(
        odbc::DriverManager::getConnection(db.connectString()));
    std::unique_ptr<odbc::Statement> statement(connection->createStatement());
    std::unique_ptr<odbc::ResultSet> rows(
        statement->executeQuery("select * from DialPlan where name='Example'"));
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->getString("pkid"), "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");
    EXPECT_EQ(rows->getString("description"), "through the stand-in");
    EXPECT_FALSE(rows->next());
    EXPECT_NE(connection->getDatabaseProductName().find(
                  GetParam() == Backend::SQLite ? "SQLite" : "PostgreSQL"),
              std::string::npos);
}

TEST_P(BackendSupportTest, PrefixSetsItsEnvironmentAndRestoresIt) {
    ::setenv("ZENTRA_PREFIX", "/nowhere/before", 1);
    std::string path;
    {
        Prefix prefix(GetParam());
        path = prefix.path();
        EXPECT_EQ(Env("ZENTRA_PREFIX"), path);
        EXPECT_EQ(platform::PrefixFolder(), path);
        EXPECT_TRUE(std::filesystem::is_directory(path + "/drive_c/Program Files/Norvane/DialPlan"));
        EXPECT_TRUE(std::filesystem::is_directory(
            path + "/drive_c/Program Files/Norvane/Orvilex/Zentra"));
        const std::string ini = ReadFile(path + "/odbcinst.ini");
        EXPECT_EQ(ini.rfind("[SQL Server]\n", 0), 0u) << ini;
        EXPECT_NE(ini.find(GetParam() == Backend::SQLite ? "libsqlite3odbc" : "psqlodbc"),
                  std::string::npos)
            << ini;
        EXPECT_EQ(prefix.hostPath("C:\\Program Files\\Norvane\\DialPlan\\Example"),
                  path + "/drive_c/Program Files/Norvane/DialPlan/Example");
        EXPECT_EQ(platform::HostPath("C:\\Program Files\\Norvane\\DialPlan\\Example"),
                  prefix.hostPath("C:\\Program Files\\Norvane\\DialPlan\\Example"));
        const auto environment = prefix.environment();
        EXPECT_EQ(environment.at("ZENTRA_PREFIX"), path);
        EXPECT_EQ(environment.at("ODBCSYSINI"), path);
    }
    EXPECT_EQ(Env("ZENTRA_PREFIX"), "/nowhere/before");
    EXPECT_FALSE(std::filesystem::exists(path));
    ::unsetenv("ZENTRA_PREFIX");
}

TEST_P(BackendSupportTest, RegisteredDataSourceIsReadBackThroughTheRegistry) {
    Prefix prefix(GetParam());
    const std::string dataSource = "SERVER=DBHOST\\INSTANCE;DATABASE=Cfg \"Db\"";
    prefix.registerDataSource(dataSource);
    const std::string file = ReadFile(prefix.path() + "/system.reg");
    EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u) << file;
    EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
                        "\"DBConnection0\"=\"SERVER=DBHOST\\\\INSTANCE;DATABASE=Cfg \\\"Db\\\"\"\n"),
              std::string::npos)
        << file;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvane Systems, Inc.\\Vantor", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "DBConnection0", nullptr, &type,
                               reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(buffer), dataSource);
    RegCloseKey(key);

    HostDatabase db(GetParam());
    prefix.registerDatabase(db);
    EXPECT_NE(ReadFile(prefix.path() + "/system.reg").find("\"DBConnection0\"=\"SERVER=" + HostName() + ";DATABASE="),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendSupportTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return BackendName(param.param);
                         });

TEST(SupportTest, HostNameIsThisMachines) {
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(HostName(), name);
    EXPECT_FALSE(HostName().empty());
}

TEST(SupportTest, PostgreSqlIsAvailableOnlyWhenTheRunSaysSo) {
    const std::string saved = Env("ZENTRA_TEST_PG");
    ::setenv("ZENTRA_TEST_PG", "0", 1);
    EXPECT_FALSE(BackendAvailable(Backend::PostgreSQL));
    ::setenv("ZENTRA_TEST_PG", "1", 1);
    EXPECT_TRUE(BackendAvailable(Backend::PostgreSQL));
    if (saved == "<unset>")
        ::unsetenv("ZENTRA_TEST_PG");
    else
        ::setenv("ZENTRA_TEST_PG", saved.c_str(), 1);
    EXPECT_TRUE(BackendAvailable(Backend::SQLite));
}

TEST(SupportTest, RunProgramPassesEnvironmentFolderAndExitCode) {
    WorkFolder work;
    const ProgramResult result = RunProgram(
        {"sh", "-c", "pwd; echo \"$ZENTRA_SUPPORT_PROBE\"; echo oops >&2; exit 3"},
        {{"ZENTRA_SUPPORT_PROBE", "a value"}}, work.path());
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out,
              std::filesystem::canonical(work.path()).string() + "\na value\n");
    EXPECT_EQ(result.err, "oops\n");
}

TEST(SupportTest, RunProgramReadsLargeOutputOnBothStreams) {
    // Far more than a pipe holds, on both streams at once.
    const ProgramResult result = RunProgram(
        {"sh", "-c", "i=0; while [ $i -lt 4000 ]; do echo 'line of standard output text'; "
                     "echo 'line of standard error text' >&2; i=$((i+1)); done"},
        {}, "");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.size(), 4000u * 29u);
    EXPECT_EQ(result.err.size(), 4000u * 28u);
}

TEST(SupportTest, RunProgramReportsAProgramThatCannotStart) {
    const ProgramResult missing = RunProgram({"/nonexistent/zentra-program"}, {}, "");
    EXPECT_EQ(missing.exitCode, 127);
    const ProgramResult killed = RunProgram({"sh", "-c", "kill -9 $$"}, {}, "");
    EXPECT_EQ(killed.exitCode, -1);
}

TEST(SupportTest, WorkFolderIsTheCurrentFolderForItsLife) {
    const std::string before = std::filesystem::current_path().string();
    std::string path;
    {
        WorkFolder work;
        path = work.path();
        EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()),
                  std::filesystem::canonical(path));
        WriteFile("relative.txt", "x");
        EXPECT_TRUE(FileExists(path + "/relative.txt"));
    }
    EXPECT_EQ(std::filesystem::current_path().string(), before);
    EXPECT_FALSE(FileExists(path));
}

TEST(SupportTest, FilesAreWrittenAndReadBackByteForByte) {
    WorkFolder work;
    const std::string file = work.path() + "/sub/folder/data.csv";
    EXPECT_FALSE(FileExists(file));
    const std::string content = std::string("a,b\r\nc\0d\n", 9);
    WriteFile(file, content);
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFile(file), content);
    WriteFile(file, "short");
    EXPECT_EQ(ReadFile(file), "short");
    EXPECT_THROW(ReadFile(work.path() + "/missing.txt"), std::runtime_error);
}

TEST(SupportTest, MessageBoxesAreCapturedWhileTheCaptureLives) {
    {
        MessageBoxCapture capture;
        EXPECT_EQ(MessageBoxA(nullptr, "Installation is complete.", "Zentra", MB_OK), IDOK);
        EXPECT_EQ(MessageBoxA(nullptr, "Second", "Installation Failed", MB_OK), IDOK);
        ASSERT_EQ(capture.boxes().size(), 2u);
        EXPECT_EQ(capture.boxes()[0].caption, "Zentra");
        EXPECT_EQ(capture.boxes()[0].text, "Installation is complete.");
        EXPECT_EQ(capture.boxes()[1].caption, "Installation Failed");
    }
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "after", "Default", MB_OK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("after"), std::string::npos) << err;
}

TEST(SupportTest, BuiltProgramsLiveInTheBuildFolder) {
    EXPECT_EQ(SetupProgramPath(), BinaryDir() + "/bin/zentra-setup");
    EXPECT_EQ(UninstallProgramPath(), BinaryDir() + "/bin/uninstall.exe");
    EXPECT_TRUE(FileExists(SourceDir() + "/schema/sqlite.sql"));
    EXPECT_TRUE(FileExists(SourceDir() + "/schema/postgresql.sql"));
}

}  // namespace
}  // namespace zentra_test
