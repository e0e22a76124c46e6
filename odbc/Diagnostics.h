#pragma once

// Reading the diagnostic records of a failed ODBC call and turning them into
// an odbc::SQLException. The records belong to the last call made on a handle,
// so they are read right after the failed call, before anything else touches
// that handle.

#include <string>

#include "odbc/OdbcApi.h"

namespace odbc {
namespace detail {

struct Diagnostics {
    std::string sqlState;  // of the first record; empty when there is none
    int nativeCode = 0;    // of the first record
    std::string message;   // the messages of all records, joined by "; "
};

Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

inline bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Throws an SQLException for the failed call `rc` on `handle`, with the message
// "<what>: <driver's message>" and the first record's SQLSTATE and native code.
[[noreturn]] void throwFailure(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what);

// Returns when rc is a success (SQL_SUCCESS_WITH_INFO included); throws otherwise.
inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what)
{
    if (!succeeded(rc))
        throwFailure(rc, handleType, handle, what);
}

// A short form of an SQL text for messages: one line, at most a few hundred characters.
std::string excerpt(const std::string& sql);

}  // namespace detail
}  // namespace odbc
