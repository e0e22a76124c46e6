#pragma once

// A thin C++ layer over the ODBC C API, in the shape of the odbc++ library:
// DriverManager hands out Connections, Connections hand out Statements,
// Statements hand out ResultSets. Every object is returned as a plain pointer
// that the caller owns and deletes. The ODBC handles behind them are shared:
// a ResultSet keeps its statement handle alive, a Statement its connection
// handle, so objects may be deleted in any order.
//
// Errors surface as odbc::SQLException, carrying the SQLSTATE, the native code
// and the driver's message of the failed call.

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace odbc {

namespace detail {
struct ConnectionHandle;
struct StatementHandle;
struct Cursor;
}  // namespace detail

class SQLException : public std::runtime_error {
public:
    explicit SQLException(const std::string& message, const std::string& sqlState = "HY000", int nativeCode = 0);

    const std::string& getMessage() const { return message_; }
    const std::string& getSQLState() const { return sqlState_; }
    int getNativeCode() const { return nativeCode_; }

private:
    std::string message_;
    std::string sqlState_;
    int nativeCode_;
};

// A lock that was not granted within the time allowed: another session holds it.
class LockNotGranted : public SQLException {
public:
    explicit LockNotGranted(const std::string& message) : SQLException(message, "55P03") {}
};

// The rows of one executed statement, read forward only.
// Column names are matched case-insensitively, as SQL identifiers are.
class ResultSet {
public:
    ~ResultSet();
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    // Moves to the next row; false after the last one. A statement that returns
    // no rows gives a result set whose first next() is false.
    bool next();

    // Values of the current row. NULL reads as "" and 0; wasNull() tells.
    std::string getString(const std::string& columnName);
    std::string getString(int columnIndex);  // 1-based
    int getInt(const std::string& columnName);
    int getInt(int columnIndex);
    bool wasNull() const;

    int getColumnCount() const;
    std::string getColumnName(int columnIndex) const;
    // ODBC SQL type code of the column (SQL_INTEGER, SQL_VARCHAR, ...).
    int getColumnType(int columnIndex) const;

private:
    friend class Statement;
    friend class PreparedStatement;
    explicit ResultSet(std::shared_ptr<detail::Cursor> cursor);
    std::shared_ptr<detail::Cursor> cursor_;
};

class Statement {
public:
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Executes any statement; one that returns no rows gives an empty result set.
    // A result set from an earlier execution on this statement is closed.
    ResultSet* executeQuery(const std::string& sql);
    // Executes a statement that returns no rows; the affected row count.
    int executeUpdate(const std::string& sql);

private:
    friend class Connection;
    explicit Statement(std::shared_ptr<detail::ConnectionHandle> connection);
    std::shared_ptr<detail::StatementHandle> handle_;
};

// A statement prepared once and executed many times with parameters bound to
// its "?" markers; no SQL text is ever built from the values.
class PreparedStatement {
public:
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    // Parameter indexes are 1-based.
    void setString(int index, const std::string& value);
    void setInt(int index, int value);
    void setNull(int index);
    void clearParameters();

    int executeUpdate();
    ResultSet* executeQuery();

private:
    friend class Connection;
    PreparedStatement(std::shared_ptr<detail::ConnectionHandle> connection, const std::string& sql);
    std::shared_ptr<detail::StatementHandle> handle_;
    struct Parameter;
    std::vector<std::shared_ptr<Parameter>> parameters_;
    std::string sql_;          // for messages
    int parameterCount_ = -1;  // the markers the driver counted; -1 when it cannot tell
    void checkParameterIndex(int index) const;
    void bindParameter(int index, std::shared_ptr<Parameter> parameter);
};

class Connection {
public:
    // Rolls back an open transaction, then disconnects once the last statement
    // made from it is gone.
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Statement* createStatement();
    PreparedStatement* prepareStatement(const std::string& sql);

    void setAutoCommit(bool autoCommit);
    bool getAutoCommit() const;
    void commit();
    void rollback();

    // The DBMS name the driver reports (for example "SQLite", "PostgreSQL").
    std::string getDatabaseProductName() const;

private:
    friend class DriverManager;
    explicit Connection(std::shared_ptr<detail::ConnectionHandle> handle);
    std::shared_ptr<detail::ConnectionHandle> handle_;
};

class DriverManager {
public:
    // Connects with an ODBC connection string (SQLDriverConnect, no prompt).
    static Connection* getConnection(const std::string& connectString);
};

// Opens a transaction on a connection (auto-commit off) and rolls it back when
// left without commit(); restores auto-commit either way.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection& connection_;
    bool done_ = false;
    bool previousAutoCommit_ = true;  // restored when the guard goes
};

// The databases whose locks ExclusiveTransaction knows.
enum class Dialect { SQLite, PostgreSQL, SqlServer, Other };

// The database-wide lock of one application, which every run of it that
// changes the database takes first.
struct RunLock {
    long long key = 0;  // PostgreSQL: the advisory lock's key
    std::string name;   // SQL Server: the application lock's resource
    std::chrono::milliseconds timeout{30000};
    std::function<void()> waiting;  // called once when the run has to wait for it
};

// A transaction that holds a RunLock from its beginning to its end, so that the
// runs that take it go one at a time and each decides on what it sees inside
// its own transaction:
// - PostgreSQL: pg_advisory_xact_lock(key); every lock of the transaction waits
//   at most the timeout (lock_timeout);
// - SQLite: BEGIN IMMEDIATE, the database's write lock; a wait for another
//   writer is bounded by the timeout where the host has POSIX file locks;
// - SQL Server: sp_getapplock on the resource, owned by the transaction, with
//   LOCK_TIMEOUT for the locks taken later;
// - other databases: a plain transaction.
// Throws LockNotGranted when the lock is not had in time. Rolls back when left
// without commit(); rollback() and the destructor never leave it open.
class ExclusiveTransaction {
public:
    ExclusiveTransaction(Connection& connection, const RunLock& lock);
    ~ExclusiveTransaction();
    ExclusiveTransaction(const ExclusiveTransaction&) = delete;
    ExclusiveTransaction& operator=(const ExclusiveTransaction&) = delete;

    void commit();
    void rollback();
    bool isOpen() const { return open_; }
    Dialect dialect() const { return dialect_; }

    // Holds the tables still against writes of other sessions until the
    // transaction ends (PostgreSQL: LOCK TABLE ... IN SHARE MODE); locks the
    // rows of table that condition selects against changes of other sessions
    // until the transaction ends, and says how many there are.
    // Both wait at most the RunLock's timeout for a session that holds what
    // they lock and throw LockNotGranted when it passes; on PostgreSQL they
    // call the RunLock's waiting before such a wait (once a transaction, the
    // run lock's own wait included).
    void lockTablesAgainstWrites(const std::vector<std::string>& tables);
    int lockRows(const std::string& table, const std::string& condition);

private:
    void beginSqlite(const RunLock& lock);
    void beginPostgreSQL(const RunLock& lock);
    void beginSqlServer(const RunLock& lock);
    void restoreAutoCommit();
    // Calls the RunLock's waiting, once.
    void tellWaiting();
    // Runs a statement that takes locks, statement(nowait): on PostgreSQL
    // first in its form that does not wait, and when another session holds
    // what it locks, tells the wait and runs it again, waiting at most the
    // timeout. held says what holds the lock, for LockNotGranted. What the
    // statement returned.
    int lockAtMost(const std::function<int(bool nowait)>& statement, const std::string& held);

    Connection& connection_;
    Dialect dialect_;
    bool open_ = false;
    bool previousAutoCommit_ = true;
    std::function<void()> waiting_;
    std::chrono::milliseconds timeout_;
    bool told_ = false;
};

}  // namespace odbc
