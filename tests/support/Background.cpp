#include "support/Background.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "loader/RunLock.h"

extern char** environ;

namespace zentra_test {

namespace {

std::string NewFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zentra-bg-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder: " + std::string(std::strerror(errno)));
    return pattern;
}

std::string ReadIfThere(const std::string& path)
{
    return FileExists(path) ? ReadFile(path) : std::string();
}

}  // namespace

void SleepFor(std::chrono::milliseconds time)
{
    std::this_thread::sleep_for(time);
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& environment,
                                     const std::string& workingFolder)
    : folder_(NewFolder())
{
    if (argv.empty())
        throw std::invalid_argument("BackgroundProgram: no program");
    // A program that ends before reading its input must not end the test.
    std::signal(SIGPIPE, SIG_IGN);

    // Everything the child needs is built before fork.
    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (environment.count(text.substr(0, text.find('='))) == 0)
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
    const std::string outPath = folder_ + "/out";
    const std::string errPath = folder_ + "/err";

    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) {
        ::close(input[0]);
        ::close(input[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(input[0], STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(err, STDERR_FILENO) < 0)
            ::_exit(126);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ::_exit(126);
        ::execvpe(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    ::close(input[0]);
    input_ = input[1];
}

BackgroundProgram::~BackgroundProgram()
{
    closeInput();
    if (!finished()) {
        kill(SIGKILL);
        wait();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void BackgroundProgram::write(const std::string& text)
{
    std::size_t written = 0;
    while (input_ >= 0 && written < text.size()) {
        const ssize_t n = ::write(input_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("the background program does not read its input any more");
        written += static_cast<std::size_t>(n);
    }
}

void BackgroundProgram::closeInput()
{
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
}

std::string BackgroundProgram::output() const { return ReadIfThere(folder_ + "/out"); }
std::string BackgroundProgram::errors() const { return ReadIfThere(folder_ + "/err"); }

bool BackgroundProgram::finished()
{
    if (reaped_)
        return true;
    const pid_t done = ::waitpid(pid_, &status_, WNOHANG);
    reaped_ = done == pid_ || (done < 0 && errno == ECHILD);
    return reaped_;
}

ProgramResult BackgroundProgram::wait()
{
    while (!reaped_) {
        const pid_t done = ::waitpid(pid_, &status_, 0);
        if (done == pid_ || (done < 0 && errno != EINTR))
            reaped_ = true;
    }
    closeInput();
    ProgramResult result;
    result.exitCode = WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    result.out = output();
    result.err = errors();
    return result;
}

bool BackgroundProgram::waitForOutput(const std::string& text, std::chrono::milliseconds limit)
{
    WaitUntil([&] { return output().find(text) != std::string::npos || finished(); }, limit);
    return output().find(text) != std::string::npos;
}

void BackgroundProgram::kill(int signal)
{
    if (!reaped_)
        ::kill(pid_, signal);
}

// ---------------------------------------------------------------------------

namespace {

std::vector<std::string> ClientCommand(const HostDatabase& db)
{
    if (db.backend() == Backend::SQLite)
        return {"sqlite3", "-batch", db.database()};
    return {"psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=0", "-d", db.database()};
}

}  // namespace

ClientSession::ClientSession(const HostDatabase& db) : client_(ClientCommand(db), {}, "")
{
    if (db.backend() == Backend::SQLite) {
        // Waits for a busy database as long as a test may.
        client_.write(".timeout 60000\n");
        return;
    }
    send("select 'backend ' || pg_backend_pid();");
    if (!done(std::chrono::seconds(30)))
        throw std::runtime_error("psql did not start: " + output());
    const std::string text = client_.output();
    const std::size_t at = text.find("backend ");
    if (at != std::string::npos)
        backendPid_ = std::atoi(text.c_str() + at + 8);
}

ClientSession::~ClientSession()
{
    // At the end of its input the client ends, and its open transaction with it.
    client_.closeInput();
    WaitUntil([this] { return client_.finished(); }, std::chrono::seconds(10));
}

void ClientSession::send(const std::string& statements)
{
    ++marks_;
    client_.write(statements + "\nselect 'zentra-mark-" + std::to_string(marks_) + "';\n");
}

bool ClientSession::done(std::chrono::milliseconds limit)
{
    return client_.waitForOutput("zentra-mark-" + std::to_string(marks_) + "\n", limit);
}

bool ClientSession::run(const std::string& statements, std::chrono::milliseconds limit)
{
    send(statements);
    return done(limit);
}

std::string ClientSession::HoldRunLock(Backend backend)
{
    if (backend == Backend::SQLite)
        return "BEGIN IMMEDIATE;";
    return "BEGIN; select pg_advisory_xact_lock(" + std::to_string(quillet::ConfigurationDatabaseLock({}).key) +
           ");";
}

bool SqliteWriteLockHeld(const std::string& databaseFile)
{
    // SQLite's unix locks: the pending and the reserved byte just above the
    // first gigabyte; a writer holds the reserved one.
    const int descriptor = ::open(databaseFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0x40000000;
    probe.l_len = 2;
    const bool held = ::fcntl(descriptor, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(descriptor);
    return held;
}

}  // namespace zentra_test
