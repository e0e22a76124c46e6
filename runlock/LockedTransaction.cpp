#include "runlock/LockedTransaction.h"

#include <memory>
#include <string>
#include <thread>

#include "runlock/LockNotGranted.h"
#include "runlock/SqliteFileLocks.h"
#include "runlock/WaitLimit.h"

namespace zentra_lock {

namespace {

using Clock = std::chrono::steady_clock;

// One key and one resource for every run, whichever program or library makes
// it ("ZENTRA").
constexpr long long kAdvisoryKey = 0x5A454E545241LL;
constexpr const char* kApplicationLock = "Zentra";
// The savepoint that keeps a PostgreSQL transaction alive when a lock is not
// to be had at once.
constexpr const char* kLockSavepoint = "zentra_lock";
// How often a wait that is made here looks again.
constexpr std::chrono::milliseconds kPollInterval(50);

void Execute(odbc::Connection& connection, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    statement->executeUpdate(sql);
}

int QueryInt(odbc::Connection& connection, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery(sql));
    if (!rows->next())
        throw odbc::SQLException("\"" + sql + "\" returned no row");
    return rows->getInt(1);
}

}  // namespace

long long LockedTransaction::advisoryKey() { return kAdvisoryKey; }

LockedTransaction::LockedTransaction(odbc::Connection& connection, std::function<void()> waiting)
    : connection_(connection), dialect_(DialectOf(connection)), limit_(WaitLimit()), waiting_(std::move(waiting))
{
    try {
        switch (dialect_) {
        case Dialect::SQLite:
            beginSqlite();
            break;
        case Dialect::PostgreSQL:
            beginPostgreSQL();
            break;
        case Dialect::SqlServer:
            beginSqlServer();
            break;
        case Dialect::Other:
            // No lock known for this database: a plain transaction.
            previousAutoCommit_ = connection_.getAutoCommit();
            connection_.setAutoCommit(false);
            open_ = true;
            break;
        }
    } catch (...) {
        // No destructor runs for a transaction that failed to begin.
        try {
            rollback();
        } catch (...) {
        }
        throw;
    }
}

void LockedTransaction::beginSqlite()
{
    // The wait for another writer is made here, where it is told; the write
    // lock is then taken by BEGIN IMMEDIATE, which waits at most the limit
    // itself should another writer come in between.
    probe_ = std::make_unique<SqliteLockProbe>(SqliteFile(connection_));
    const Clock::time_point deadline = Clock::now() + limit_;
    while (probe_->writerElsewhere()) {
        if (Clock::now() >= deadline)
            NotGranted(limit_, "another connection is writing to " + probe_->file());
        tellWaiting();
        std::this_thread::sleep_for(kPollInterval);
    }
    // Transactions are written out: the driver's own would begin deferred,
    // without the write lock.
    if (!connection_.getAutoCommit())
        connection_.setAutoCommit(true);
    try {
        Execute(connection_, "BEGIN IMMEDIATE");
    } catch (const odbc::SQLException& error) {
        if (IsLockRefusal(error))
            NotGranted(limit_, error.getMessage());
        throw;
    }
    open_ = true;
}

void LockedTransaction::beginPostgreSQL()
{
    previousAutoCommit_ = connection_.getAutoCommit();
    connection_.setAutoCommit(false);
    open_ = true;
    // Every lock of the transaction waits at most the limit, the row and table
    // locks taken later included.
    Execute(connection_, "SET LOCAL lock_timeout = " + std::to_string(limit_.count()));
    const std::string key = std::to_string(kAdvisoryKey);
    if (QueryInt(connection_, "select case when pg_try_advisory_xact_lock(" + key + ") then 1 else 0 end") == 1)
        return;
    tellWaiting();
    try {
        Execute(connection_, "select pg_advisory_xact_lock(" + key + ")");
    } catch (const odbc::SQLException& error) {
        if (IsLockRefusal(error))
            NotGranted(limit_, "");
        throw;
    }
}

void LockedTransaction::beginSqlServer()
{
    previousAutoCommit_ = connection_.getAutoCommit();
    connection_.setAutoCommit(false);
    open_ = true;
    Execute(connection_, "SET LOCK_TIMEOUT " + std::to_string(limit_.count()));
    const auto applock = [&](long long milliseconds) {
        return QueryInt(connection_, std::string("DECLARE @result int; EXEC @result = sp_getapplock @Resource = N'") +
                                         kApplicationLock +
                                         "', @LockMode = 'Exclusive', @LockOwner = 'Transaction', @LockTimeout = " +
                                         std::to_string(milliseconds) + "; SELECT @result");
    };
    if (applock(0) >= 0)
        return;
    tellWaiting();
    if (applock(limit_.count()) < 0)
        NotGranted(limit_, "");
}

LockedTransaction::~LockedTransaction()
{
    if (!open_)
        return;
    try {
        rollback();
    } catch (...) {
        // The connection rolls back what is left open when it goes.
    }
}

void LockedTransaction::commit()
{
    if (!open_)
        throw odbc::SQLException("The transaction has already ended", "25000");
    if (dialect_ == Dialect::SQLite) {
        commitSqlite();
        open_ = false;
        return;
    }
    try {
        connection_.commit();
    } catch (const odbc::SQLException& error) {
        Rethrow(error);
    }
    open_ = false;
    restoreAutoCommit();
}

void LockedTransaction::commitSqlite()
{
    // The commit waits for every reader of the database to finish. The driver
    // would wait several times its busy wait, so the commit is tried without
    // any, and the wait is made here: bounded and told.
    Execute(connection_, "PRAGMA busy_timeout = 0");
    const Clock::time_point deadline = Clock::now() + limit_;
    for (;;) {
        try {
            Execute(connection_, "COMMIT");
            break;
        } catch (const odbc::SQLException& error) {
            if (!IsLockRefusal(error))
                throw;
        }
        if (Clock::now() >= deadline)
            NotGranted(limit_, "other sessions are reading " + probe_->file());
        tellWaiting();
        std::this_thread::sleep_for(kPollInterval);
    }
    Execute(connection_, "PRAGMA busy_timeout = " + std::to_string(limit_.count()));
}

void LockedTransaction::rollback()
{
    if (!open_)
        return;
    open_ = false;
    if (dialect_ == Dialect::SQLite) {
        Execute(connection_, "ROLLBACK");
        Execute(connection_, "PRAGMA busy_timeout = " + std::to_string(limit_.count()));
        return;
    }
    connection_.rollback();
    restoreAutoCommit();
}

void LockedTransaction::restoreAutoCommit()
{
    if (dialect_ == Dialect::SqlServer) {
        try {
            Execute(connection_, "SET LOCK_TIMEOUT " + std::to_string(limit_.count()));
        } catch (const odbc::SQLException&) {
        }
    }
    if (previousAutoCommit_)
        connection_.setAutoCommit(true);
}

void LockedTransaction::tellWaiting()
{
    if (!told_ && waiting_)
        waiting_();
    told_ = true;
}

int LockedTransaction::lockAtMost(const std::function<int(bool nowait)>& statement, const std::string& held)
{
    if (dialect_ == Dialect::PostgreSQL) {
        // A statement refused inside a transaction would abort all of it: the
        // savepoint keeps the transaction, and the run lock, when the lock is
        // not to be had at once.
        Execute(connection_, std::string("SAVEPOINT ") + kLockSavepoint);
        try {
            const int result = statement(true);
            Execute(connection_, std::string("RELEASE SAVEPOINT ") + kLockSavepoint);
            return result;
        } catch (const odbc::SQLException& error) {
            if (!IsLockRefusal(error))
                throw;
        }
        Execute(connection_, std::string("ROLLBACK TO SAVEPOINT ") + kLockSavepoint);
        Execute(connection_, std::string("RELEASE SAVEPOINT ") + kLockSavepoint);
        tellWaiting();
    }
    try {
        return statement(false);
    } catch (const odbc::SQLException& error) {
        if (IsLockRefusal(error))
            NotGranted(limit_, held);
        throw;
    }
}

void LockedTransaction::lockTablesAgainstWrites(const std::vector<std::string>& tables)
{
    if (tables.empty())
        return;
    std::string list;
    for (const std::string& table : tables)
        list += (list.empty() ? "" : ", ") + table;
    switch (dialect_) {
    case Dialect::PostgreSQL:
        lockAtMost(
            [&](bool nowait) {
                Execute(connection_, "LOCK TABLE " + list + " IN SHARE MODE" + (nowait ? " NOWAIT" : ""));
                return 0;
            },
            "another session is writing to " + list);
        break;
    case Dialect::SqlServer:
        lockAtMost(
            [&](bool) {
                for (const std::string& table : tables)
                    QueryInt(connection_, "SELECT COUNT(*) FROM " + table + " WITH (TABLOCK, HOLDLOCK)");
                return 0;
            },
            "another session is writing to " + list);
        break;
    case Dialect::SQLite:  // the write lock keeps every other writer out already
    case Dialect::Other:
        break;
    }
}

int LockedTransaction::lockRows(const std::string& table, const std::string& condition)
{
    return lockAtMost(
        [&](bool nowait) {
            std::string sql = "select 1 from " + table;
            if (dialect_ == Dialect::SqlServer)
                sql += " WITH (UPDLOCK, HOLDLOCK)";
            sql += " where " + condition;
            if (dialect_ == Dialect::PostgreSQL)
                sql += nowait ? " for update nowait" : " for update";
            std::unique_ptr<odbc::Statement> statement(connection_.createStatement());
            std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery(sql));
            int count = 0;
            while (rows->next())
                ++count;
            return count;
        },
        "another session is changing rows of " + table);
}

}  // namespace zentra_lock
