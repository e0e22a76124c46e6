#pragma once

// What other processes hold of SQLite's locks on a database file, looked at
// without taking anything: a wait for them can then be made where it can be
// bounded and told, instead of inside the driver.

#include <string>

#include "odbc/odbc.h"

namespace zentra_lock {

// The file of the connection's main database; "" for one in memory.
std::string SqliteFile(odbc::Connection& connection);

// A look at the locks of a database file through a descriptor of its own.
// POSIX drops every lock that a process holds on a file when any descriptor of
// that file is closed, so the probe is made before this process takes any of
// the database's locks and goes only after it has let go of them all.
class SqliteLockProbe {
public:
    explicit SqliteLockProbe(const std::string& file);
    ~SqliteLockProbe();
    SqliteLockProbe(const SqliteLockProbe&) = delete;
    SqliteLockProbe& operator=(const SqliteLockProbe&) = delete;

    const std::string& file() const { return file_; }
    // Another process is writing the database (it holds the reserved or the
    // pending lock): a transaction that writes has to wait.
    bool writerElsewhere() const;
    // Another process is reading the database (it holds a shared lock): a
    // commit has to wait.
    bool readerElsewhere() const;

private:
    std::string file_;
    int descriptor_ = -1;
};

}  // namespace zentra_lock
