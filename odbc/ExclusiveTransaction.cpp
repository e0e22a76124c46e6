#include <chrono>
#include <memory>
#include <string>
#include <thread>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

#include "odbc/odbc.h"

namespace odbc {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for SQLite's write lock looks again.
constexpr std::chrono::milliseconds kPollInterval(50);

Dialect DialectOf(Connection& connection)
{
    const std::string product = connection.getDatabaseProductName();
    if (product.find("SQLite") != std::string::npos)
        return Dialect::SQLite;
    if (product.find("PostgreSQL") != std::string::npos)
        return Dialect::PostgreSQL;
    if (product.find("SQL Server") != std::string::npos)
        return Dialect::SqlServer;
    return Dialect::Other;
}

void Execute(Connection& connection, const std::string& sql)
{
    std::unique_ptr<Statement> statement(connection.createStatement());
    statement->executeUpdate(sql);
}

int QueryInt(Connection& connection, const std::string& sql)
{
    std::unique_ptr<Statement> statement(connection.createStatement());
    std::unique_ptr<ResultSet> rows(statement->executeQuery(sql));
    if (!rows->next())
        throw SQLException("\"" + sql + "\" returned no row");
    return rows->getInt(1);
}

std::string Seconds(std::chrono::milliseconds timeout)
{
    const long long tenths = (timeout.count() + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "." + std::to_string(tenths % 10);
    return text + " s";
}

[[noreturn]] void NotGranted(std::chrono::milliseconds timeout, const std::string& detail)
{
    throw LockNotGranted("The configuration database is held by another run or another session: its lock was "
                         "not granted within " +
                         Seconds(timeout) + (detail.empty() ? "" : " (" + detail + ")") +
                         ". Try again once the other run has ended.");
}

// Whether a lock refused by the database is one that was not granted in time.
bool IsLockRefusal(Dialect dialect, const SQLException& error)
{
    const std::string& state = error.getSQLState();
    switch (dialect) {
    case Dialect::PostgreSQL:
        return state == "55P03";  // lock_not_available
    case Dialect::SQLite:
        return error.getMessage().find("database is locked") != std::string::npos ||
               error.getMessage().find("database table is locked") != std::string::npos;
    case Dialect::SqlServer:
        return error.getNativeCode() == 1222;  // lock request time out period exceeded
    case Dialect::Other:
        break;
    }
    return false;
}

#if !defined(_WIN32)
// SQLite's unix file locks: a writer holds the reserved byte, and takes the
// pending byte right before it writes, both just above the first gigabyte.
constexpr off_t kPendingByte = 0x40000000;

// Whether another process holds SQLite's write lock on the database file. Only
// looks (F_GETLK takes nothing); the descriptor is opened and closed around it,
// which would drop locks that this process holds on the file, so this is only
// asked while this process holds none (before its transaction begins).
bool WriteLockHeldElsewhere(const std::string& file)
{
    if (file.empty())
        return false;
    const int descriptor = ::open(file.c_str(), O_RDONLY);
    if (descriptor < 0)
        return false;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = kPendingByte;
    probe.l_len = 2;  // the pending and the reserved byte
    const bool held = ::fcntl(descriptor, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(descriptor);
    return held;
}

// The file of SQLite's main database.
std::string SqliteFile(Connection& connection)
{
    std::unique_ptr<Statement> statement(connection.createStatement());
    std::unique_ptr<ResultSet> rows(statement->executeQuery("PRAGMA database_list"));
    while (rows->next()) {
        if (rows->getString("name") == "main")
            return rows->getString("file");
    }
    return std::string();
}
#endif

}  // namespace

ExclusiveTransaction::ExclusiveTransaction(Connection& connection, const RunLock& lock)
    : connection_(connection), dialect_(DialectOf(connection)), waiting_(lock.waiting), timeout_(lock.timeout)
{
    try {
        switch (dialect_) {
        case Dialect::SQLite:
            beginSqlite(lock);
            break;
        case Dialect::PostgreSQL:
            beginPostgreSQL(lock);
            break;
        case Dialect::SqlServer:
            beginSqlServer(lock);
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

void ExclusiveTransaction::beginSqlite(const RunLock& lock)
{
    // The driver waits for a busy database as long as its own setting says
    // (100 s by default) and cannot be told otherwise, so the wait for another
    // writer is made here, where it can be bounded and told; the database's
    // write lock is then taken at once by BEGIN IMMEDIATE.
#if !defined(_WIN32)
    const std::string file = SqliteFile(connection_);
    const Clock::time_point deadline = Clock::now() + lock.timeout;
    while (WriteLockHeldElsewhere(file)) {
        if (Clock::now() >= deadline)
            NotGranted(lock.timeout, "another connection is writing to " + file);
        tellWaiting();
        std::this_thread::sleep_for(kPollInterval);
    }
#endif
    // Transactions are written out: the driver's own would begin deferred,
    // without the write lock.
    if (!connection_.getAutoCommit())
        connection_.setAutoCommit(true);
    try {
        Execute(connection_, "BEGIN IMMEDIATE");
    } catch (const SQLException& error) {
        if (IsLockRefusal(dialect_, error))
            NotGranted(lock.timeout, error.getMessage());
        throw;
    }
    open_ = true;
}

void ExclusiveTransaction::beginPostgreSQL(const RunLock& lock)
{
    previousAutoCommit_ = connection_.getAutoCommit();
    connection_.setAutoCommit(false);
    open_ = true;
    // Every lock of the transaction waits at most this long, the row and table
    // locks taken later included.
    Execute(connection_, "SET LOCAL lock_timeout = " + std::to_string(lock.timeout.count()));
    const std::string key = std::to_string(lock.key);
    if (QueryInt(connection_, "select case when pg_try_advisory_xact_lock(" + key + ") then 1 else 0 end") == 1)
        return;
    tellWaiting();
    try {
        Execute(connection_, "select pg_advisory_xact_lock(" + key + ")");
    } catch (const SQLException& error) {
        if (IsLockRefusal(dialect_, error))
            NotGranted(lock.timeout, "");
        throw;
    }
}

void ExclusiveTransaction::beginSqlServer(const RunLock& lock)
{
    previousAutoCommit_ = connection_.getAutoCommit();
    connection_.setAutoCommit(false);
    open_ = true;
    Execute(connection_, "SET LOCK_TIMEOUT " + std::to_string(lock.timeout.count()));
    const auto applock = [&](long long milliseconds) {
        return QueryInt(connection_, "DECLARE @result int; EXEC @result = sp_getapplock @Resource = N'" + lock.name +
                                         "', @LockMode = 'Exclusive', @LockOwner = 'Transaction', @LockTimeout = " +
                                         std::to_string(milliseconds) + "; SELECT @result");
    };
    if (applock(0) >= 0)
        return;
    tellWaiting();
    if (applock(lock.timeout.count()) < 0)
        NotGranted(lock.timeout, "");
}

ExclusiveTransaction::~ExclusiveTransaction()
{
    if (!open_)
        return;
    try {
        rollback();
    } catch (...) {
        // The connection rolls back what is left open when it goes.
    }
}

void ExclusiveTransaction::commit()
{
    if (!open_)
        throw SQLException("The transaction has already ended", "25000");
    if (dialect_ == Dialect::SQLite) {
        Execute(connection_, "COMMIT");
        open_ = false;
        return;
    }
    connection_.commit();
    open_ = false;
    restoreAutoCommit();
}

void ExclusiveTransaction::rollback()
{
    if (!open_)
        return;
    open_ = false;
    if (dialect_ == Dialect::SQLite) {
        Execute(connection_, "ROLLBACK");
        return;
    }
    connection_.rollback();
    restoreAutoCommit();
}

void ExclusiveTransaction::restoreAutoCommit()
{
    if (dialect_ == Dialect::SqlServer) {
        try {
            Execute(connection_, "SET LOCK_TIMEOUT -1");
        } catch (const SQLException&) {
        }
    }
    if (previousAutoCommit_)
        connection_.setAutoCommit(true);
}

void ExclusiveTransaction::tellWaiting()
{
    if (!told_ && waiting_)
        waiting_();
    told_ = true;
}

int ExclusiveTransaction::lockAtMost(const std::function<int(bool nowait)>& statement, const std::string& held)
{
    if (dialect_ == Dialect::PostgreSQL) {
        // A statement refused inside a transaction would abort all of it: the
        // savepoint keeps the transaction, and the run lock, when the lock is
        // not to be had at once.
        Execute(connection_, "SAVEPOINT zentra_lock");
        try {
            const int result = statement(true);
            Execute(connection_, "RELEASE SAVEPOINT zentra_lock");
            return result;
        } catch (const SQLException& error) {
            if (!IsLockRefusal(dialect_, error))
                throw;
        }
        Execute(connection_, "ROLLBACK TO SAVEPOINT zentra_lock");
        Execute(connection_, "RELEASE SAVEPOINT zentra_lock");
        tellWaiting();
    }
    try {
        return statement(false);
    } catch (const SQLException& error) {
        if (IsLockRefusal(dialect_, error))
            NotGranted(timeout_, held);
        throw;
    }
}

void ExclusiveTransaction::lockTablesAgainstWrites(const std::vector<std::string>& tables)
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

int ExclusiveTransaction::lockRows(const std::string& table, const std::string& condition)
{
    return lockAtMost(
        [&](bool nowait) {
            std::string sql = "select 1 from " + table;
            if (dialect_ == Dialect::SqlServer)
                sql += " WITH (UPDLOCK, HOLDLOCK)";
            sql += " where " + condition;
            if (dialect_ == Dialect::PostgreSQL)
                sql += nowait ? " for update nowait" : " for update";
            std::unique_ptr<Statement> statement(connection_.createStatement());
            std::unique_ptr<ResultSet> rows(statement->executeQuery(sql));
            int count = 0;
            while (rows->next())
                ++count;
            return count;
        },
        "another session is changing rows of " + table);
}

}  // namespace odbc
