#pragma once

// Programs that run beside the test instead of one after another: the built
// programs started side by side or killed part way, and another session of a
// database's own command-line client that holds locks while they run.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace zentra_test {

// A program started in the background, its standard output and error going to
// files (so that nothing blocks on a pipe), its standard input a pipe that the
// test writes. Killed and reaped when destroyed while it still runs.
class BackgroundProgram {
public:
    BackgroundProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& workingFolder);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    pid_t pid() const { return pid_; }

    // To its standard input; closeInput gives it the end of the input.
    void write(const std::string& text);
    void closeInput();

    // What it has written so far.
    std::string output() const;
    std::string errors() const;

    // Whether it has ended (it is reaped then).
    bool finished();
    // Waits for its end; its exit status (-1 when a signal ended it) and output.
    ProgramResult wait();
    // Waits until its standard output holds text; false when it ended or the
    // limit passed first.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit);
    void kill(int signal);

private:
    std::string folder_;  // holds the output files
    pid_t pid_ = -1;
    int input_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

// Another session of the host database: its command-line client (sqlite3 or
// psql) reading statements from the test. A transaction it opens stays open,
// with every lock it took, until the test ends it.
class ClientSession {
public:
    explicit ClientSession(const HostDatabase& db);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // Sends statements (each ending in ";") and waits until the client has run
    // them: false when it did not within the limit (a statement waits for a
    // lock) or it ended.
    bool run(const std::string& statements, std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Sends statements without waiting; done() waits for them afterwards.
    void send(const std::string& statements);
    bool done(std::chrono::milliseconds limit = std::chrono::seconds(60));

    // The client's backend process (PostgreSQL; 0 for SQLite), for pg_locks.
    int backendPid() const { return backendPid_; }
    // What the client printed: query results and error messages.
    std::string output() const { return client_.output() + client_.errors(); }

    // The statements that hold the configuration database as another run of
    // the programs holds it: SQLite's write lock, PostgreSQL's run lock.
    static std::string HoldRunLock(Backend backend);

private:
    BackgroundProgram client_;
    int marks_ = 0;
    int backendPid_ = 0;
};

// True while another process holds SQLite's write lock on the database file.
bool SqliteWriteLockHeld(const std::string& databaseFile);

void SleepFor(std::chrono::milliseconds time);

// Polls condition every few milliseconds until it holds (true) or the limit
// passes (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        SleepFor(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace zentra_test
