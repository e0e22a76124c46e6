#pragma once

// The database products whose locks a run knows.

#include "odbc/odbc.h"

namespace zentra_lock {

enum class Dialect { SQLite, PostgreSQL, SqlServer, Other };

// By the product name that the driver reports.
Dialect DialectOf(odbc::Connection& connection);

}  // namespace zentra_lock
