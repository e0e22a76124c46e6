#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "odbc/Cursor.h"
#include "odbc/Diagnostics.h"
#include "odbc/odbc.h"

namespace odbc {
namespace detail {

namespace {

// Long values come back in pieces of this size.
constexpr std::size_t kPieceSize = 8192;

bool sameIdentifier(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string describeColumnName(SQLHSTMT statement, SQLUSMALLINT index, SQLSMALLINT& type)
{
    std::string name(128, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        SQLSMALLINT nameLength = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        SQLRETURN rc =
            SQLDescribeCol(statement, index, reinterpret_cast<SQLCHAR*>(&name[0]),
                           static_cast<SQLSMALLINT>(name.size() + 1), &nameLength, &type, &size, &digits, &nullable);
        check(rc, SQL_HANDLE_STMT, statement, "Cannot describe a column of the result");
        if (nameLength < 0)
            nameLength = 0;
        if (static_cast<std::size_t>(nameLength) <= name.size()) {
            name.resize(static_cast<std::size_t>(nameLength));
            return name;
        }
        name.assign(static_cast<std::size_t>(nameLength), '\0');
    }
    return name;
}

}  // namespace

Cursor::Cursor(std::shared_ptr<StatementHandle> stmt)
    : statement(std::move(stmt)), generation(statement->cursorGeneration)
{
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(statement->handle, &count), SQL_HANDLE_STMT, statement->handle,
          "Cannot count the columns of the result");
    if (count <= 0) {
        finished = true;
        return;
    }
    columns.resize(static_cast<std::size_t>(count));
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        Column& column = columns[static_cast<std::size_t>(i - 1)];
        column.name = describeColumnName(statement->handle, static_cast<SQLUSMALLINT>(i), column.type);
    }
}

Cursor::Cursor(std::shared_ptr<StatementHandle> stmt, NoRows)
    : statement(std::move(stmt)), generation(statement->cursorGeneration), finished(true)
{
}

Cursor::~Cursor()
{
    if (!finished && isCurrent())
        statement->closeCursor();
}

bool Cursor::next()
{
    onRow = false;
    columnsRead = 0;
    lastWasNull = false;
    if (finished)
        return false;
    if (!isCurrent()) {
        // The statement ran again (or was closed): these rows are gone.
        finished = true;
        return false;
    }
    SQLRETURN rc = SQLFetch(statement->handle);
    if (rc == SQL_NO_DATA) {
        finished = true;
        statement->closeCursor();
        return false;
    }
    check(rc, SQL_HANDLE_STMT, statement->handle, "Cannot fetch the next row of the result");
    onRow = true;
    values.assign(columns.size(), std::string());
    nulls.assign(columns.size(), 0);
    return true;
}

void Cursor::checkColumnIndex(int columnIndex) const
{
    if (columnIndex < 1 || static_cast<std::size_t>(columnIndex) > columns.size())
        throw SQLException("Column index " + std::to_string(columnIndex) + " is out of range: the result has " +
                               std::to_string(columns.size()) + " column(s)",
                           "07009");
}

int Cursor::columnIndexOf(const std::string& columnName) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (sameIdentifier(columns[i].name, columnName))
            return static_cast<int>(i + 1);
    }
    throw SQLException("The result has no column named \"" + columnName + "\"", "42S22");
}

const std::string& Cursor::value(int columnIndex)
{
    checkColumnIndex(columnIndex);
    if (!onRow)
        throw SQLException("There is no current row: call next() first, and read no further than the last row",
                           "24000");
    if (!isCurrent())
        throw SQLException("The result set is closed: its statement was executed again", "24000");
    // Columns are read in ascending order, each once, as every driver allows;
    // the values read are kept for the rest of the row.
    while (columnsRead < columnIndex)
        readColumn(++columnsRead);
    const std::size_t i = static_cast<std::size_t>(columnIndex - 1);
    lastWasNull = nulls[i] != 0;
    return values[i];
}

void Cursor::readColumn(int columnIndex)
{
    if (buffer_.empty())
        buffer_.resize(kPieceSize);
    const std::size_t i = static_cast<std::size_t>(columnIndex - 1);
    std::string& text = values[i];
    text.clear();
    const SQLLEN capacity = static_cast<SQLLEN>(buffer_.size());
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement->handle, static_cast<SQLUSMALLINT>(columnIndex), SQL_C_CHAR, buffer_.data(),
                                  capacity, &indicator);
        if (rc == SQL_NO_DATA)
            break;  // every piece has been read
        if (!succeeded(rc))
            throwFailure(rc, SQL_HANDLE_STMT, statement->handle,
                         "Cannot read column \"" + columns[i].name + "\" of the result");
        if (indicator == SQL_NULL_DATA) {
            nulls[i] = 1;
            text.clear();
            break;
        }
        // A piece that filled the buffer (less its terminating zero) with more
        // to come is reported as SQL_SUCCESS_WITH_INFO (01004, truncated).
        const bool truncated = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= capacity);
        if (truncated) {
            text.append(buffer_.data(), buffer_.size() - 1);
            continue;
        }
        std::size_t length = indicator < 0 ? 0 : static_cast<std::size_t>(indicator);
        if (length > buffer_.size() - 1)
            length = buffer_.size() - 1;
        text.append(buffer_.data(), length);
        break;
    }
}

}  // namespace detail

namespace {

int parseInt(const std::string& text, const std::string& column)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    const std::string digits = text.substr(begin, end - begin);
    bool valid = !digits.empty();
    long long value = 0;
    if (valid) {
        std::size_t first = (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
        valid = first < digits.size();
        for (std::size_t i = first; valid && i < digits.size(); ++i)
            valid = digits[i] >= '0' && digits[i] <= '9';
        if (valid) {
            errno = 0;
            value = std::strtoll(digits.c_str(), nullptr, 10);
            valid = errno == 0 && value >= INT_MIN && value <= INT_MAX;
        }
    }
    if (!valid)
        throw SQLException("Column " + column + " holds \"" + detail::excerpt(text) + "\", which is not an integer",
                           "22018");
    return static_cast<int>(value);
}

}  // namespace

ResultSet::ResultSet(std::shared_ptr<detail::Cursor> cursor) : cursor_(std::move(cursor)) {}

ResultSet::~ResultSet() = default;

bool ResultSet::next() { return cursor_->next(); }

std::string ResultSet::getString(const std::string& columnName)
{
    return cursor_->value(cursor_->columnIndexOf(columnName));
}

std::string ResultSet::getString(int columnIndex) { return cursor_->value(columnIndex); }

int ResultSet::getInt(const std::string& columnName) { return getInt(cursor_->columnIndexOf(columnName)); }

int ResultSet::getInt(int columnIndex)
{
    const std::string& text = cursor_->value(columnIndex);
    if (cursor_->lastWasNull)
        return 0;
    return parseInt(text, "\"" + cursor_->columns[static_cast<std::size_t>(columnIndex - 1)].name + "\"");
}

bool ResultSet::wasNull() const { return cursor_->lastWasNull; }

int ResultSet::getColumnCount() const { return static_cast<int>(cursor_->columns.size()); }

std::string ResultSet::getColumnName(int columnIndex) const
{
    cursor_->checkColumnIndex(columnIndex);
    return cursor_->columns[static_cast<std::size_t>(columnIndex - 1)].name;
}

int ResultSet::getColumnType(int columnIndex) const
{
    cursor_->checkColumnIndex(columnIndex);
    return cursor_->columns[static_cast<std::size_t>(columnIndex - 1)].type;
}

}  // namespace odbc
