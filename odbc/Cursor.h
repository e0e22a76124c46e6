#pragma once

// The state behind a ResultSet: the column descriptions of an executed
// statement and the row the cursor stands on.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "odbc/Handles.h"
#include "odbc/OdbcApi.h"

namespace odbc {
namespace detail {

struct Column {
    std::string name;
    SQLSMALLINT type = SQL_UNKNOWN_TYPE;
};

struct Cursor {
    struct NoRows {};

    // For a statement just executed: reads the column descriptions. A
    // statement without result columns gives a cursor without rows.
    explicit Cursor(std::shared_ptr<StatementHandle> statement);
    // For a statement that ran without producing anything (SQL_NO_DATA).
    Cursor(std::shared_ptr<StatementHandle> statement, NoRows);
    // Closes the cursor on the statement unless a later execution already did.
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    bool next();
    const std::string& value(int columnIndex);  // reads the column when not yet read
    int columnIndexOf(const std::string& columnName) const;
    void checkColumnIndex(int columnIndex) const;

    std::shared_ptr<StatementHandle> statement;
    std::uint64_t generation = 0;
    std::vector<Column> columns;
    // Whatever the statement's bound parameters point into, kept while the cursor lives.
    std::vector<std::shared_ptr<const void>> keepAlive;

    bool finished = false;  // no more rows: past the last one, closed, or none at all
    bool onRow = false;     // next() returned true and the row is current
    // The current row's values, read in column order up to `columnsRead`.
    std::vector<std::string> values;
    std::vector<char> nulls;
    int columnsRead = 0;
    bool lastWasNull = false;

private:
    bool isCurrent() const { return statement->cursorGeneration == generation; }
    void readColumn(int columnIndex);
    std::vector<char> buffer_;
};

}  // namespace detail
}  // namespace odbc
