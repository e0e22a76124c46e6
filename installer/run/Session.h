#pragma once

// One step of an installer object as the run layer sees it: the object's
// connection, with the statement and result set of the query in hand, and the
// step's log, opened for appending when the step begins and closed when the
// Session goes, on every path. Every statement of the installer runs here, so
// that a lock that another session holds longer than the run's wait limit is
// told the same way wherever the run meets it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/run/StepLog.h"

class CZentraSetup;

namespace odbc {
class Connection;
class ResultSet;
}  // namespace odbc

namespace zentra_run {

class Session {
public:
    enum class Log { Open, Closed };

    explicit Session(CZentraSetup& setup, Log log = Log::Open);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The log of the run, as the entry method set it (m_logPath).
    std::string logPath() const;
    void setLogPath(const std::string& path);

    // The step's log: text verbatim, or a fixed format with one value.
    void log(std::string_view text);
    void logFormat(const char* format, const std::string& value);
    void logFormat(const char* format, long value);
    bool logIsOpen() const;
    void flushLog();
    void closeLog();
    void openLog();

    // The object's connection; throws odbc::SQLException when it has none.
    odbc::Connection& connection();
    // Runs a query on a new statement held by the object with its rows, the
    // previous pair released first.
    odbc::ResultSet* query(const std::string& sql);
    // Runs a statement through executeQuery and releases what it returned.
    void execute(const std::string& sql);
    // Runs a statement through executeUpdate on a statement of its own; the
    // row count.
    int update(const std::string& sql);
    // Runs a change that must touch exactly rows rows; throws
    // odbc::SQLException when it does not (another session changed them).
    void change(const std::string& sql, int rows);
    // Every row of a query, each column as text.
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    void release();

    // Tells that the run waits for another run or session to release the
    // database: on standard error, once, and in the step's log.
    void tellWaiting();

    // Receives the text of every statement that a Session runs from now on,
    // in order, until an empty recorder is set: the benchmarks give the
    // database's own client exactly what the installer ran.
    using Recorder = std::function<void(const std::string& sql)>;
    static void SetRecorder(Recorder recorder);

private:
    CZentraSetup& setup_;
    std::optional<StepLog> log_;
};

}  // namespace zentra_run
