#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "installer/SqlText.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "support/DialPlanModel.h"

extern char** environ;

namespace fs = std::filesystem;

namespace zentra_test {

namespace {

const char* const kDialPlanTables[] = {
    "DialPlan",
    "DialPlanTag",
    "DigitDiscardInstruction",
    "DigitDiscardInstructionMember",
    "RouteFilter",
    "RouteFilterMember",
    "NumPlan",
    "RouteList",
};

std::string TempRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

// A new, empty folder below the temporary folder.
std::string MakeTempFolder(const std::string& stem)
{
    std::string pattern = TempRoot() + "/" + stem + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder " + pattern + ": " + std::strerror(errno));
    return buffer.data();
}

void RemoveTree(const std::string& path)
{
    if (path.empty())
        return;
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// The ODBC driver library of a backend, looked for where Debian and others put them.
std::string DriverLibrary(Backend backend)
{
    const std::string name = backend == Backend::SQLite ? "libsqlite3odbc.so" : "psqlodbca.so";
    for (const char* folder : {"/usr/lib/*/odbc/", "/usr/lib/odbc/", "/usr/lib64/odbc/", "/usr/local/lib/odbc/",
                               "/usr/lib64/", "/usr/lib/*/", "/usr/lib/"}) {
        const std::string pattern = folder + name;
        glob_t found{};
        const int rc = ::glob(pattern.c_str(), 0, nullptr, &found);
        std::string first = (rc == 0 && found.gl_pathc > 0) ? found.gl_pathv[0] : "";
        ::globfree(&found);
        if (!first.empty())
            return first;
    }
    throw std::runtime_error("the ODBC driver " + name + " is not installed (scripts/install-deps)");
}

std::string OdbcinstIni(Backend backend)
{
    return "[SQL Server]\n"
           "Description=Orvilex configuration database (" +
           BackendName(backend) +
           " stand-in)\n"
           "Driver=" +
           DriverLibrary(backend) + "\n";
}

// unixODBC keeps the ODBCSYSINI folder of its first use for the whole process:
// this process always points it at one folder of its own, before any connection.
struct ProcessDriverFolder {
    std::string path;
    bool mapped = false;
    Backend backend = Backend::SQLite;

    ProcessDriverFolder()
    {
        path = MakeTempFolder("zentra-odbc");
        WriteFile(path + "/odbcinst.ini", "");
        WriteFile(path + "/odbc.ini", "");
    }
    ~ProcessDriverFolder() { RemoveTree(path); }
};

ProcessDriverFolder& DriverFolder()
{
    static ProcessDriverFolder folder;
    ::setenv("ODBCSYSINI", folder.path.c_str(), 1);
    return folder;
}

void SaveVariable(std::map<std::string, std::string>& saved, const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    // "=" marks a variable that was set, "-" one that was not.
    saved[name] = value != nullptr ? std::string("=") + value : std::string("-");
}

void RestoreVariable(const std::string& name, const std::string& saved)
{
    if (!saved.empty() && saved[0] == '=')
        ::setenv(name.c_str(), saved.c_str() + 1, 1);
    else
        ::unsetenv(name.c_str());
}

std::string Describe(const ProgramResult& result)
{
    return "exit code " + std::to_string(result.exitCode) + "\n" + result.out + result.err;
}

// Runs a command line tool and throws when it fails.
void RunTool(const std::vector<std::string>& argv, const std::string& what)
{
    const ProgramResult result = RunProgram(argv, {}, "");
    if (result.exitCode != 0)
        throw std::runtime_error(what + " failed (" + argv[0] + "): " + Describe(result));
}

std::string PostgresIdentifierCheck(const std::string& name)
{
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            throw std::logic_error("not a plain database name: " + name);
    return name;
}

}  // namespace

std::string BackendName(Backend backend) { return backend == Backend::SQLite ? "SQLite" : "PostgreSQL"; }

bool BackendAvailable(Backend backend)
{
    if (backend == Backend::SQLite)
        return true;
    const char* flag = std::getenv("ZENTRA_TEST_PG");
    return flag != nullptr && std::string(flag) == "1";
}

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "";
    return name;
}

std::string SourceDir() { return ZENTRA_SOURCE_DIR; }
std::string BinaryDir() { return ZENTRA_BINARY_DIR; }

// ---------------------------------------------------------------------------
// HostDatabase

HostDatabase::HostDatabase(Backend backend) : backend_(backend)
{
    if (backend == Backend::SQLite) {
        folder_ = MakeTempFolder("zentra-db");
        database_ = folder_ + "/orvilex.db";
        try {
            RunTool({"sqlite3", "-bail", database_, ".read " + SourceDir() + "/schema/sqlite.sql"},
                    "creating the SQLite database");
        } catch (...) {
            RemoveTree(folder_);
            throw;
        }
        return;
    }
    if (!BackendAvailable(Backend::PostgreSQL))
        throw std::runtime_error("PostgreSQL is not available (ZENTRA_TEST_PG is not 1)");
    static std::atomic<int> counter{0};
    database_ = PostgresIdentifierCheck("zentra_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    // A database of the same name may be left from a killed run of an earlier process.
    RunTool({"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", "postgres", "-c",
             "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)", "-c", "CREATE DATABASE " + database_},
            "creating the PostgreSQL database");
    try {
        RunTool({"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", database_, "-f",
                 SourceDir() + "/schema/postgresql.sql"},
                "loading the PostgreSQL schema");
    } catch (...) {
        RunProgram(
            {"psql", "-X", "-q", "-d", "postgres", "-c", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)"}, {},
            "");
        throw;
    }
}

HostDatabase::~HostDatabase()
{
    connection_.reset();
    if (backend_ == Backend::SQLite) {
        RemoveTree(folder_);
        return;
    }
    try {
        RunProgram(
            {"psql", "-X", "-q", "-d", "postgres", "-c", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)"}, {},
            "");
    } catch (...) {
        // A database left behind is dropped by the next run that uses its name.
    }
}

std::string HostDatabase::dataSource() const { return "SERVER=" + HostName() + ";DATABASE=" + database_; }

std::string HostDatabase::connectString() const
{
    return "Driver={SQL Server};Server=" + HostName() + ";Database=" + database_ + ";Trusted_Connection=yes";
}

odbc::Connection& HostDatabase::connection()
{
    if (!connection_) {
        DriverFolder();
        std::string connect = "Driver=" + DriverLibrary(backend_) + ";Database=" + database_;
        if (backend_ == Backend::SQLite)
            connect += ";Timeout=10000";  // wait for a program that writes at the same time
        else
            connect += ";Server=" + HostName();
        connection_.reset(odbc::DriverManager::getConnection(connect));
    }
    return *connection_;
}

void HostDatabase::exec(const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    statement->executeUpdate(sql);
}

std::vector<std::vector<std::string>> HostDatabase::query(const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery(sql));
    std::vector<std::vector<std::string>> result;
    const int columns = rows->getColumnCount();
    while (rows->next()) {
        std::vector<std::string> row;
        for (int column = 1; column <= columns; ++column)
            row.push_back(rows->getString(column));
        result.push_back(std::move(row));
    }
    return result;
}

std::string HostDatabase::scalar(const std::string& sql)
{
    const auto rows = query(sql);
    if (rows.empty() || rows.front().empty())
        return "";
    return rows.front().front();
}

int HostDatabase::count(const std::string& table, const std::string& where)
{
    std::string sql = "select count(*) from " + table;
    if (!where.empty())
        sql += " where " + where;
    return std::stoi(scalar(sql));
}

std::vector<std::vector<std::string>> HostDatabase::dialPlanRows()
{
    std::vector<std::vector<std::string>> rows;
    for (const char* select :
         {"select 'DialPlan', pkid, name, description from DialPlan",
          "select 'Tag', pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max from DialPlanTag",
          "select 'Instruction', pkid, name, fkDialPlan, digitAnalysisID, clause from DigitDiscardInstruction",
          "select 'Member', pkid, fkDigitDiscardInstruction, fkDialPlanTag from DigitDiscardInstructionMember"})
        for (auto& row : query(select))
            rows.push_back(std::move(row));
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::string> HostDatabase::saveRows()
{
    std::vector<std::string> saved;
    for (const char* table : kDialPlanTables) {
        std::unique_ptr<odbc::Statement> statement(connection().createStatement());
        std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery(std::string("select * from ") + table));
        const int columns = rows->getColumnCount();
        std::string names;
        for (int column = 1; column <= columns; ++column)
            names += (column > 1 ? ", " : "") + rows->getColumnName(column);
        std::string values;
        while (rows->next()) {
            values += values.empty() ? "(" : ", (";
            for (int column = 1; column <= columns; ++column) {
                const std::string value = rows->getString(column);
                if (column > 1)
                    values += ", ";
                if (rows->wasNull()) {
                    values += "NULL";
                    continue;
                }
                values += "'";
                for (char c : value)
                    values += c == '\'' ? std::string("''") : std::string(1, c);
                values += "'";
            }
            values += ")";
        }
        if (!values.empty())
            saved.push_back(std::string("insert into ") + table + " (" + names + ") values " + values);
    }
    return saved;
}

void HostDatabase::restoreRows(const std::vector<std::string>& saved)
{
    odbc::Transaction transaction(connection());
    for (const char* table : kDialPlanTables)
        exec(std::string("delete from ") + table);
    for (const std::string& insert : saved)
        exec(insert);
    transaction.commit();
}

std::string HostDatabase::snapshot()
{
    std::ostringstream out;
    for (const char* table : kDialPlanTables) {
        out << "[" << table << "]\n";
        std::unique_ptr<odbc::Statement> statement(connection().createStatement());
        std::unique_ptr<odbc::ResultSet> rows(
            statement->executeQuery(std::string("select * from ") + table + " order by pkid"));
        const int columns = rows->getColumnCount();
        while (rows->next()) {
            for (int column = 1; column <= columns; ++column) {
                const std::string value = rows->getString(column);
                if (column > 1)
                    out << " | ";
                out << rows->getColumnName(column) << "=" << (rows->wasNull() ? "NULL" : value);
            }
            out << "\n";
        }
    }
    return out.str();
}

void FailWrites(HostDatabase& db, const std::string& name, const std::string& table, const std::string& event,
                const std::string& condition, const std::string& message)
{
    std::string quoted = "'";
    for (char c : message)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    quoted += "'";
    if (db.backend() == Backend::SQLite) {
        db.exec("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " FOR EACH ROW" +
                (condition.empty() ? "" : " WHEN " + condition) + " BEGIN SELECT RAISE(ABORT, " + quoted + "); END");
        return;
    }
    db.exec("CREATE FUNCTION " + name + "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION " + quoted +
            "; END $$");
    db.exec("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " FOR EACH ROW" +
            (condition.empty() ? "" : " WHEN (" + condition + ")") + " EXECUTE FUNCTION " + name + "()");
}

void InsertDialPlan(HostDatabase& db, const DialPlan& plan)
{
    // into: the table and its columns.
    const auto insert = [&db](const std::string& into, const std::vector<std::string>& values) {
        std::string sql = "insert into " + into + " values ('" + SqlQuote(values.at(0)) + "'";
        for (std::size_t k = 1; k < values.size(); ++k)
            sql += ", '" + SqlQuote(values[k]) + "'";
        db.exec(sql + ")");
    };
    insert("DialPlan (pkid, name, description)", {plan.pkid, plan.name, plan.description});
    for (const Tag& t : plan.tags)
        insert("DialPlanTag (pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max)",
               {t.pkid, t.tag, plan.pkid, t.suppress, t.operatorMax});
    for (const Instruction& i : plan.instructions)
        insert("DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause)",
               {i.pkid, i.name, plan.pkid, std::to_string(i.analysisId), i.clause});
    for (const Member& m : plan.members)
        insert("DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, fkDialPlanTag)",
               {m.pkid, m.instruction, m.tag});
}

// ---------------------------------------------------------------------------
// Prefix

Prefix::Prefix(Backend backend, Folders folders)
{
    SaveVariable(saved_, "ZENTRA_PREFIX");
    SaveVariable(saved_, "ODBCSYSINI");
    ProcessDriverFolder& drivers = DriverFolder();
    if (drivers.mapped && drivers.backend != backend)
        throw std::logic_error("\"SQL Server\" is already mapped to " + BackendName(drivers.backend) +
                               " in this process (unixODBC resolves a driver once per process); run the " +
                               BackendName(backend) + " tests in a process of their own");
    const std::string ini = OdbcinstIni(backend);
    WriteFile(drivers.path + "/odbcinst.ini", ini);
    drivers.mapped = true;
    drivers.backend = backend;

    path_ = MakeTempFolder("zentra-prefix");
    WriteFile(path_ + "/odbcinst.ini", ini);
    WriteFile(path_ + "/odbc.ini", "");
    if (folders == Folders::Created) {
        fs::create_directories(path_ + "/drive_c/Program Files/Norvane/DialPlan");
        fs::create_directories(path_ + "/drive_c/Program Files/Norvane/Orvilex/Zentra");
    }

    ::setenv("ZENTRA_PREFIX", path_.c_str(), 1);
}

Prefix::~Prefix()
{
    for (const auto& [name, value] : saved_)
        RestoreVariable(name, value);
    RemoveTree(path_);
}

std::string Prefix::hostPath(const std::string& windowsPath) const
{
    std::string rest = windowsPath;
    std::string host;
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        host = path_ + "/drive_" + static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0])));
        rest = rest.substr(2);
        if (!rest.empty() && rest[0] != '\\' && rest[0] != '/')
            host += '/';
    }
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    return host + rest;
}

void Prefix::registerDataSource(const std::string& dataSource)
{
    std::string escaped;
    for (char c : dataSource) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    WriteFile(path_ + "/system.reg", "Windows Registry Editor Version 5.00\n"
                                     "\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
                                     "\"DBConnection0\"=\"" +
                                         escaped +
                                         "\"\n"
                                         "\n");
}

void Prefix::registerDatabase(const HostDatabase& database) { registerDataSource(database.dataSource()); }

std::map<std::string, std::string> Prefix::environment() const
{
    return {{"ZENTRA_PREFIX", path_}, {"ODBCSYSINI", path_}};
}

// ---------------------------------------------------------------------------
// WorkFolder

WorkFolder::WorkFolder()
{
    path_ = MakeTempFolder("zentra-work");
    std::error_code error;
    previous_ = fs::current_path(error).string();
    fs::current_path(path_);
}

WorkFolder::~WorkFolder()
{
    std::error_code ignored;
    if (!previous_.empty())
        fs::current_path(previous_, ignored);
    RemoveTree(path_);
}

// ---------------------------------------------------------------------------
// MessageBoxCapture

MessageBoxCapture::MessageBoxCapture()
{
    platform::SetMessageBoxSink([this](const std::string& caption, const std::string& text) {
        boxes_.push_back({caption, text});
    });
}

MessageBoxCapture::~MessageBoxCapture() { platform::SetMessageBoxSink({}); }

// ---------------------------------------------------------------------------
// Files

std::string ReadFile(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + hostPath);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& hostPath, const std::string& content)
{
    const fs::path parent = fs::path(hostPath).parent_path();
    if (!parent.empty())
        fs::create_directories(parent);
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + hostPath);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + hostPath);
}

bool FileExists(const std::string& hostPath)
{
    std::error_code error;
    return fs::exists(hostPath, error);
}

FileTree ReadTree(const std::string& folder)
{
    FileTree tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            tree[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
    return tree;
}

void WriteTree(const std::string& folder, const FileTree& tree)
{
    for (const auto& [path, content] : ReadTree(folder))
        if (tree.count(path) == 0)
            fs::remove(fs::path(folder) / path);
    for (const auto& [path, content] : tree)
        WriteFile((fs::path(folder) / path).string(), content);
}

std::string ExampleFile(const std::string& version, const std::string& file)
{
    return ReadFile(SourceDir() + "/examples/" + version + "/" + file);
}

// ---------------------------------------------------------------------------
// Programs

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         const std::string& workingFolder)
{
    if (argv.empty())
        throw std::invalid_argument("RunProgram: no program");

    // Everything the child needs is built before fork.
    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (environment.count(name) == 0)
            envStrings.push_back(text);
    }
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0)
        throw std::runtime_error("pipe failed");
    if (::pipe(errPipe) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            ::close(fd);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            ::close(fd);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::close(devNull);
        }
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0) {
            const char message[] = "RunProgram: cannot enter the working folder\n";
            ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
            (void)ignored;
            ::_exit(126);
        }
        ::execvpe(argp[0], argp.data(), envp.data());
        const char message[] = "RunProgram: cannot start the program\n";
        ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
        (void)ignored;
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    // Both pipes are drained together, so a child that fills one never blocks.
    ProgramResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int openPipes = 2;
    char buffer[8192];
    while (openPipes > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --openPipes;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return result;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string SetupProgramPath() { return BinaryDir() + "/bin/zentra-setup"; }
std::string UninstallProgramPath() { return BinaryDir() + "/bin/uninstall.exe"; }

}  // namespace zentra_test
