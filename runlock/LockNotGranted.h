#pragma once

// A wait for another run or session that ran out: the run stops with nothing
// changed and says who holds what it needs.

#include <chrono>
#include <string>

#include "odbc/odbc.h"

namespace zentra_lock {

class LockNotGranted : public odbc::SQLException {
public:
    explicit LockNotGranted(const std::string& message) : odbc::SQLException(message, "55P03") {}
};

// Whether the database refused a statement because a lock it waited for was
// not granted in time: PostgreSQL's lock_not_available (55P03), SQL Server's
// lock request time-out (1222), SQLite's busy database.
bool IsLockRefusal(const odbc::SQLException& error);

// Throws LockNotGranted for a wait that ran out after limit; detail says what
// holds the lock, when known.
[[noreturn]] void NotGranted(std::chrono::milliseconds limit, const std::string& detail);

// In a catch block: rethrows a lock refusal of the database as LockNotGranted,
// having told the wait, and any other error as it is:
//     catch (const odbc::SQLException& error) { zentra_lock::Rethrow(error); }
[[noreturn]] void Rethrow(const odbc::SQLException& error);

}  // namespace zentra_lock
