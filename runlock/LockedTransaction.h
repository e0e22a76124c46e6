#pragma once

// The transaction of a run: it holds the configuration database's run lock
// from its beginning to its end, so that the runs that take it go one at a
// time and each decides on what it sees inside its own transaction:
// - PostgreSQL: an advisory lock of the transaction; every lock the
//   transaction waits for, at most the wait limit (lock_timeout);
// - SQLite: BEGIN IMMEDIATE, the database's write lock; the wait for another
//   writer, and the commit's wait for readers, bounded and told here;
// - SQL Server: an application lock owned by the transaction (sp_getapplock),
//   with LOCK_TIMEOUT for every lock taken later;
// - other databases: a plain transaction.
// Every wait is at most the wait limit (WaitLimit.h); when it runs out the
// transaction throws LockNotGranted. It rolls back when left without commit();
// rollback() and the destructor never leave it open.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc.h"
#include "runlock/Dialect.h"

namespace zentra_lock {

class SqliteLockProbe;

class LockedTransaction {
public:
    // waiting is called once, before the first wait for another run or
    // session.
    LockedTransaction(odbc::Connection& connection, std::function<void()> waiting);
    ~LockedTransaction();
    LockedTransaction(const LockedTransaction&) = delete;
    LockedTransaction& operator=(const LockedTransaction&) = delete;

    void commit();
    void rollback();
    bool isOpen() const { return open_; }

    // Holds the tables still against writes of other sessions until the
    // transaction ends (PostgreSQL: LOCK TABLE ... IN SHARE MODE).
    void lockTablesAgainstWrites(const std::vector<std::string>& tables);
    // Locks the rows of table that condition selects against changes of other
    // sessions until the transaction ends; how many there are.
    int lockRows(const std::string& table, const std::string& condition);

    // The key of PostgreSQL's advisory lock, which every run takes.
    static long long advisoryKey();

private:
    void beginSqlite();
    void beginPostgreSQL();
    void beginSqlServer();
    void commitSqlite();
    void restoreAutoCommit();
    void tellWaiting();
    // Runs a statement that takes locks, statement(nowait): on PostgreSQL
    // first in its form that does not wait; when another session holds what
    // it locks, tells the wait and runs it again, waiting at most the limit.
    // held says what holds the lock, for LockNotGranted.
    int lockAtMost(const std::function<int(bool nowait)>& statement, const std::string& held);

    odbc::Connection& connection_;
    Dialect dialect_;
    std::chrono::milliseconds limit_;
    std::function<void()> waiting_;
    std::unique_ptr<SqliteLockProbe> probe_;
    bool open_ = false;
    bool previousAutoCommit_ = true;
    bool told_ = false;
};

}  // namespace zentra_lock
