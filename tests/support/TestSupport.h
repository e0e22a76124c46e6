#pragma once

// Shared fixtures of the test suites: real host databases (a SQLite file or a
// database on the test PostgreSQL server), a private prefix folder with its
// registry and driver mapping, a working folder, message box capture, and
// running the built programs.
//
// PostgreSQL: the server that scripts/postgres-start runs; libpq finds it through
// PGHOSTADDR, PGPORT and PGUSER. When ZENTRA_TEST_PG is not "1" the PostgreSQL
// cases are skipped; ./test sets it.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace odbc {
class Connection;
}  // namespace odbc

namespace zentra_test {

struct DialPlan;

enum class Backend { SQLite, PostgreSQL };

std::string BackendName(Backend backend);  // "SQLite" / "PostgreSQL", for test names

// True when the backend can be used in this run; for PostgreSQL, ZENTRA_TEST_PG=1.
bool BackendAvailable(Backend backend);

// In a gtest body or SetUp: skips the test when the backend is not available.
#define ZENTRA_REQUIRE_BACKEND(backend)                                                                                \
  do {                                                                                                                 \
    if (!::zentra_test::BackendAvailable(backend))                                                                     \
      GTEST_SKIP() << ::zentra_test::BackendName(backend) << " is not available";                                      \
  } while (0)

// This machine's host name, as gethostname gives it.
std::string HostName();

// The project's source and build folders.
std::string SourceDir();
std::string BinaryDir();

// A fresh, empty host database of the stand-in schema; dropped when destroyed.
class HostDatabase {
public:
    explicit HostDatabase(Backend backend);
    ~HostDatabase();
    HostDatabase(const HostDatabase&) = delete;
    HostDatabase& operator=(const HostDatabase&) = delete;

    Backend backend() const { return backend_; }
    // What the registry's data source names: this host and the database (the
    // SQLite file's host path, or the PostgreSQL database name).
    const std::string& database() const { return database_; }
    std::string dataSource() const;     // "SERVER=<host>;DATABASE=<database>"
    std::string connectString() const;  // "Driver={SQL Server};Server=...;Database=...;Trusted_Connection=yes"

    // Runs statements on a connection of its own, through the backend's driver
    // library (with or without a Prefix). exec takes one statement. Errors
    // surface as odbc::SQLException.
    void exec(const std::string& sql);
    std::vector<std::vector<std::string>> query(const std::string& sql);
    std::string scalar(const std::string& sql);  // first column of the first row, "" when none
    int count(const std::string& table, const std::string& where = "");

    // All rows of the four dial-plan tables and the reference tables, as text,
    // ordered: for comparing the database before and after an operation.
    std::string snapshot();

    // The rows of the four dial-plan tables, each row led by its table's name
    // ("DialPlan", "Tag", "Instruction", "Member"), sorted.
    std::vector<std::vector<std::string>> dialPlanRows();

    // Every row of the tables of snapshot(), as the statements that put them
    // back; restoreRows empties those tables and runs them, in one
    // transaction: one state for many runs of an operation.
    std::vector<std::string> saveRows();
    void restoreRows(const std::vector<std::string>& saved);

private:
    // The connection of exec/query, opened on first use.
    odbc::Connection& connection();

    Backend backend_;
    std::string database_;
    std::string folder_;
    std::unique_ptr<odbc::Connection> connection_;
};

// Makes the database refuse some writes, as a failing disk or a host product's
// own rule would: every `event` ("INSERT", "UPDATE" or "DELETE") on table for
// which condition holds (on NEW or OLD; "" for every row) fails with message.
// The trigger is called name; several may stand side by side.
void FailWrites(HostDatabase& db, const std::string& name, const std::string& table, const std::string& event,
                const std::string& condition, const std::string& message);

// Writes a model's dial plan straight into the database, as an installation
// leaves its rows.
void InsertDialPlan(HostDatabase& db, const DialPlan& plan);

// A private prefix folder for the life of the object: sets ZENTRA_PREFIX and
// ODBCSYSINI (restoring them afterwards), writes odbcinst.ini mapping the driver
// "SQL Server" to the backend's ODBC driver, and creates the folders
// C:\Program Files\Norvane\DialPlan and C:\Program Files\Norvane\Orvilex\Zentra
// (unless Folders::Missing asks for a machine that has neither yet).
//
// unixODBC resolves a driver name once per process and keeps the ODBCSYSINI
// folder it first saw, so in this process ODBCSYSINI names one folder for the
// whole run, and "SQL Server" stays mapped to the backend of the first Prefix:
// a Prefix of the other backend in the same process throws std::logic_error.
// ctest runs every test in a process of its own; elsewhere filter by backend.
// Child programs get the prefix folder itself as ODBCSYSINI (environment()).
class Prefix {
public:
    enum class Folders { Created, Missing };
    explicit Prefix(Backend backend, Folders folders = Folders::Created);
    ~Prefix();
    Prefix(const Prefix&) = delete;
    Prefix& operator=(const Prefix&) = delete;

    const std::string& path() const { return path_; }
    // The host path of a Windows path under this prefix.
    std::string hostPath(const std::string& windowsPath) const;
    // Writes DBConnection0 under HKLM\SOFTWARE\Norvane Systems, Inc.\Vantor.
    void registerDataSource(const std::string& dataSource);
    void registerDatabase(const HostDatabase& database);
    // The environment a child program needs to see this prefix.
    std::map<std::string, std::string> environment() const;

private:
    std::string path_;
    std::map<std::string, std::string> saved_;
};

// A fresh temporary folder made the current folder for the life of the object.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// Captures the message boxes shown in this process for the life of the object.
class MessageBoxCapture {
public:
    struct Box {
        std::string caption;
        std::string text;
    };
    MessageBoxCapture();
    ~MessageBoxCapture();
    const std::vector<Box>& boxes() const { return boxes_; }

private:
    std::vector<Box> boxes_;
};

// Files by host path.
std::string ReadFile(const std::string& hostPath);
void WriteFile(const std::string& hostPath, const std::string& content);
bool FileExists(const std::string& hostPath);

// The regular files below a folder, by path relative to it, with their content.
using FileTree = std::map<std::string, std::string>;
FileTree ReadTree(const std::string& folder);
// Makes the files below folder exactly those of tree (folders stay).
void WriteTree(const std::string& folder, const FileTree& tree);

// A file of a version of the example dial plan (examples/v1, examples/v2).
std::string ExampleFile(const std::string& version, const std::string& file);

// Runs a program (argv[0] is its path) with extra environment variables, in a
// working folder; returns its exit status (0-255, or -1 when it did not exit).
struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         const std::string& workingFolder);

// The built programs.
std::string SetupProgramPath();      // zentra-setup
std::string UninstallProgramPath();  // uninstall.exe

}  // namespace zentra_test
