#pragma once

// Every wait of a run for another session's lock at most the wait limit, from
// the connection on: the lookups before a run's transaction and its commit
// included, not only the locks that the run takes itself.
// - SQLite: the driver waits for a busy database as long as its Timeout
//   attribute says (100 s unless the connection string sets it), at the
//   connection itself too. The connection is made with that wait cut to the
//   least, and SQLite's own busy wait set to the limit right after.
// - PostgreSQL: lock_timeout for the whole session.
// - SQL Server: LOCK_TIMEOUT for the whole session (sp_getapplock is bounded
//   by its own @LockTimeout).

#include <string>

#include "odbc/odbc.h"

namespace zentra_lock {

// The connection string a run connects with: connectString as it stands, with
// the driver's own busy wait cut to the least when the driver it names is
// SQLite's.
std::string WithBoundedDriverWait(const std::string& connectString);

// Connects with connectString and bounds every wait of the new connection.
odbc::Connection* ConnectBounded(const std::string& connectString);

// Bounds every wait of the connection for another session's lock by the limit.
void BoundWaits(odbc::Connection& connection);

}  // namespace zentra_lock
