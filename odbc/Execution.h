#pragma once

// What Statement and PreparedStatement share once the driver has run a statement.

#include <memory>
#include <string>

#include "odbc/Cursor.h"
#include "odbc/Handles.h"
#include "odbc/OdbcApi.h"

namespace odbc {
namespace detail {

// `executed` is what a successful SQLExecDirect or SQLExecute returned:
// SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA (a statement that touched
// no rows). The caller has already reported a failure.
int affectedRows(StatementHandle& statement, SQLRETURN executed);
std::shared_ptr<Cursor> openCursor(const std::shared_ptr<StatementHandle>& statement, SQLRETURN executed);

// The length of an SQL text as ODBC takes it; throws when it does not fit.
SQLINTEGER textLength(const std::string& text);

}  // namespace detail
}  // namespace odbc
