#include "odbc/Diagnostics.h"

#include <string>
#include <vector>

#include "odbc/odbc.h"

namespace odbc {

SQLException::SQLException(const std::string& message, const std::string& sqlState, int nativeCode)
    : std::runtime_error(message), message_(message), sqlState_(sqlState), nativeCode_(nativeCode)
{
}

namespace detail {

namespace {

// More records than this add nothing a reader could use.
constexpr SQLSMALLINT kMaxRecords = 20;

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

const char* returnCodeName(SQLRETURN rc)
{
    switch (rc) {
    case SQL_ERROR:
        return "SQL_ERROR";
    case SQL_INVALID_HANDLE:
        return "SQL_INVALID_HANDLE";
    case SQL_NO_DATA:
        return "SQL_NO_DATA";
    case SQL_NEED_DATA:
        return "SQL_NEED_DATA";
    case SQL_STILL_EXECUTING:
        return "SQL_STILL_EXECUTING";
    default:
        return "an unexpected return code";
    }
}

}  // namespace

Diagnostics readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    Diagnostics diagnostics;
    if (handle == SQL_NULL_HANDLE)
        return diagnostics;
    std::vector<SQLCHAR> text(SQL_MAX_MESSAGE_LENGTH + 1);
    for (SQLSMALLINT record = 1; record <= kMaxRecords; ++record) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, text.data(),
                                     static_cast<SQLSMALLINT>(text.size()), &length);
        if (!succeeded(rc))
            break;
        if (length >= static_cast<SQLSMALLINT>(text.size()) && length < 0x7FFE) {
            // The message did not fit: ask again with room for all of it.
            text.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRec(handleType, handle, record, state, &native, text.data(),
                               static_cast<SQLSMALLINT>(text.size()), &length);
            if (!succeeded(rc))
                break;
        }
        const std::size_t available = text.size() - 1;
        const std::size_t used = length < 0 ? 0 : static_cast<std::size_t>(length);
        std::string message =
            trimmed(std::string(reinterpret_cast<const char*>(text.data()), used < available ? used : available));
        if (record == 1) {
            diagnostics.sqlState = reinterpret_cast<const char*>(state);
            diagnostics.nativeCode = static_cast<int>(native);
        }
        if (!message.empty()) {
            if (!diagnostics.message.empty())
                diagnostics.message += "; ";
            diagnostics.message += message;
        }
    }
    return diagnostics;
}

void throwFailure(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what)
{
    Diagnostics diagnostics = readDiagnostics(handleType, handle);
    std::string message = what;
    if (!diagnostics.message.empty()) {
        message += ": " + diagnostics.message;
    } else {
        message += ": the ODBC call returned ";
        message += returnCodeName(rc);
        message += " without a diagnostic record";
    }
    if (diagnostics.sqlState.empty())
        diagnostics.sqlState = "HY000";
    else
        message += " (SQLSTATE " + diagnostics.sqlState + ")";
    throw SQLException(message, diagnostics.sqlState, diagnostics.nativeCode);
}

std::string excerpt(const std::string& sql)
{
    constexpr std::size_t kMaxLength = 200;
    std::string line;
    line.reserve(sql.size() < kMaxLength ? sql.size() : kMaxLength);
    bool lastWasSpace = false;
    for (char c : sql) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (space) {
            if (!lastWasSpace && !line.empty())
                line += ' ';
        } else {
            line += c;
        }
        lastWasSpace = space;
        if (line.size() >= kMaxLength) {
            line += "...";
            break;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

}  // namespace detail
}  // namespace odbc
