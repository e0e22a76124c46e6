#include "installer/run/Session.h"

#include <memory>

#include "installer/CZentraSetup.h"
#include "installer/run/DialPlanPaths.h"
#include "odbc/odbc.h"
#include "runlock/LockNotGranted.h"
#include "runlock/WaitLimit.h"

namespace zentra_run {

namespace {

Session::Recorder g_recorder;

void Record(const std::string& sql)
{
    if (g_recorder)
        g_recorder(sql);
}

}  // namespace

void Session::SetRecorder(Recorder recorder) { g_recorder = std::move(recorder); }

Session::Session(CZentraSetup& setup, Log log) : setup_(setup)
{
    if (log == Log::Open)
        openLog();
}

std::string Session::logPath() const { return setup_.m_logPath; }

void Session::setLogPath(const std::string& path) { CopyToBuffer(path, setup_.m_logPath); }

void Session::log(std::string_view text)
{
    if (log_)
        log_->write(text);
}

void Session::logFormat(const char* format, const std::string& value)
{
    if (log_)
        log_->format(format, value);
}

void Session::logFormat(const char* format, long value)
{
    if (log_)
        log_->format(format, value);
}

bool Session::logIsOpen() const { return log_ && log_->isOpen(); }

void Session::flushLog()
{
    if (log_)
        log_->flush();
}

void Session::closeLog() { log_.reset(); }

void Session::openLog()
{
    if (!log_)
        log_.emplace(setup_.m_log, setup_.m_logPath);
}

odbc::Connection& Session::connection()
{
    if (!setup_.m_connection)
        throw odbc::SQLException("The installer is not connected to the configuration database (DBConnection has not "
                                 "connected it)",
                                 "08003");
    return *setup_.m_connection;
}

odbc::ResultSet* Session::query(const std::string& sql)
{
    odbc::Connection& database = connection();
    release();
    try {
        setup_.m_statement.reset(database.createStatement());
        setup_.m_resultSet.reset(setup_.m_statement->executeQuery(sql));
        Record(sql);
    } catch (const odbc::SQLException& error) {
        zentra_lock::Rethrow(error);
    }
    return setup_.m_resultSet.get();
}

void Session::execute(const std::string& sql)
{
    query(sql);
    release();
}

int Session::update(const std::string& sql)
{
    odbc::Connection& database = connection();
    release();
    try {
        std::unique_ptr<odbc::Statement> statement(database.createStatement());
        const int rows = statement->executeUpdate(sql);
        Record(sql);
        return rows;
    } catch (const odbc::SQLException& error) {
        zentra_lock::Rethrow(error);
    }
}

void Session::change(const std::string& sql, int rows)
{
    const int changed = update(sql);
    if (changed != rows)
        throw odbc::SQLException("\"" + sql + "\" changed " + std::to_string(changed) + " rows where " +
                                     std::to_string(rows) +
                                     " must change: another session has changed the dial plan's rows meanwhile",
                                 "ZE001");
}

std::vector<std::vector<std::string>> Session::rows(const std::string& sql)
{
    std::vector<std::vector<std::string>> all;
    odbc::ResultSet* result = query(sql);
    const int columns = result->getColumnCount();
    while (result->next()) {
        std::vector<std::string> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int column = 1; column <= columns; ++column)
            row.push_back(result->getString(column));
        all.push_back(std::move(row));
    }
    release();
    return all;
}

void Session::release()
{
    setup_.m_resultSet.reset();
    setup_.m_statement.reset();
}

void Session::tellWaiting()
{
    if (logIsOpen()) {
        log(zentra_lock::WaitingNotice(zentra_lock::WaitFor::Database) + "\n");
        flushLog();
    }
    zentra_lock::TellWaiting(zentra_lock::WaitFor::Database);
}

}  // namespace zentra_run
