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
    // An attribute of an installed driver, as the driver manager lists it
    // (SQLDrivers), such as its "Driver" library; "" when there is no such
    // driver or attribute.
    static std::string getDriverAttribute(const std::string& driver, const std::string& attribute);
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

}  // namespace odbc
