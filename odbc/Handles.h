#pragma once

// The ODBC handles behind the public objects, each freed by its destructor.
// Ownership runs one way: a statement handle holds its connection handle, a
// connection handle holds the environment, so whichever public object goes
// last frees what is left.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "odbc/OdbcApi.h"

namespace odbc {
namespace detail {

// The process's one ODBC 3 environment, alive while any connection handle holds it.
struct Environment {
    Environment();
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // The current environment, made when there is none.
    static std::shared_ptr<Environment> shared();

    SQLHENV handle = SQL_NULL_HENV;
};

struct ConnectionHandle {
    explicit ConnectionHandle(std::shared_ptr<Environment> environment);
    // Rolls back a transaction left open, disconnects and frees the handle.
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    std::shared_ptr<Environment> environment;
    SQLHDBC handle = SQL_NULL_HDBC;
    bool connected = false;
    // The auto-commit mode last set on the driver.
    bool autoCommit = true;
};

struct StatementHandle {
    explicit StatementHandle(std::shared_ptr<ConnectionHandle> connection);
    ~StatementHandle();
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    // Closes the open cursor, if any (SQLFreeStmt SQL_CLOSE). Every close
    // starts a new cursor generation: a result set made for an older one
    // knows that its rows are gone.
    void closeCursor();

    std::shared_ptr<ConnectionHandle> connection;
    SQLHSTMT handle = SQL_NULL_HSTMT;
    std::uint64_t cursorGeneration = 0;
    // Set before every execution; cleared by closeCursor().
    bool mayHaveCursor = false;
};

// How many handles of each kind this layer holds right now.
struct HandleCounts {
    std::size_t environments = 0;
    std::size_t connections = 0;
    std::size_t statements = 0;
};
HandleCounts liveHandleCounts();

}  // namespace detail
}  // namespace odbc
