#pragma once

// The dial-plan file as the whole system reads it: every row of the four
// sections, split into the values that go into the host tables, after the whole
// file has been checked. The loader loads from it, and the installer checks a
// delivered file with it before either road touches anything, so that the
// installer's own line readers only ever see a file on which they are right.
// docs/format.md describes the format.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dialplan {

enum class Table { DialPlan = 0, DialPlanTag = 1, DigitDiscardInstruction = 2, DigitDiscardInstructionMember = 3 };
constexpr std::size_t kTableCount = 4;
constexpr std::size_t kMaxColumns = 5;

// A host table and how its section is written in the file.
struct TableLayout {
    Table table;
    const char* name;    // the host table
    const char* marker;  // the text that a section's marker line holds
    std::size_t columnCount;
    std::array<const char*, kMaxColumns> columns;  // host columns, in the file's field order
    std::array<bool, kMaxColumns> identifiers;     // which columns hold pkids: pkid and the fk columns
    const char* typeRow;                           // the type row as the system writes it
};

const TableLayout& Layout(Table table);

// The table's columns in the file's field order, as "a, b, c": for messages
// and for statements alike.
std::string ColumnList(const TableLayout& layout);

// Every type row holds it: the first column of every table is its pkid.
constexpr const char* kTypeRowMark = "UNIQUEIDENTIFIER";
// The type row of the DigitDiscardInstruction section, exactly: the installer
// finds it by this text, so no other line of a file may hold it.
constexpr const char* kInstructionTypeRow = "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText";

// How many predefined digit discard instructions every dial plan has, and
// their names, which head the DigitDiscardInstruction section in this order.
constexpr std::size_t kPredefinedCount = 6;
constexpr std::array<const char*, kPredefinedCount> kPredefinedInstructions = {
    "NoDigits", "PreDot", "PreAt", "Trailing-#", "PreDot Trailing-#", "PreAt Trailing-#",
};

// A refused file. what() is "<path>: line <n>: <problem>", or "<path>: <problem>"
// when the problem is not at a line (the file cannot be read at all).
class FileError : public std::runtime_error {
public:
    FileError(const std::string& path, long line, const std::string& problem);
    long line() const { return line_; }
    const std::string& problem() const { return problem_; }

private:
    long line_;
    std::string problem_;
};

// One data row: the values to store, in the table's column order. pkids and fks
// are bare (braces removed, letter case kept); the DialPlanTag tkOperator_Max
// value is the first character of its field.
struct Row {
    long line = 0;
    std::array<std::string_view, kMaxColumns> values;
};

struct Section {
    long markerLine = 0;  // 0 while the file has no such section
    long typeRowLine = 0;
    std::vector<Row> rows;
};

// A 128-bit GUID, for comparing identifiers whatever their letter case.
struct Guid {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    bool operator==(const Guid& other) const { return high == other.high && low == other.low; }
    bool operator!=(const Guid& other) const { return !(*this == other); }
};

// True when text is a GUID in curly braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// with hexadecimal digits of either case, nothing before or after; sets guid.
bool ParseBracedGuid(std::string_view text, Guid& guid);

// True when text is a decimal integer (an optional '-' and at least one digit)
// that fits in 32 bits; sets value.
bool ParseInt32(std::string_view text, int& value);

class DialPlanFile {
public:
    DialPlanFile() = default;
    DialPlanFile(const DialPlanFile&) = delete;
    DialPlanFile& operator=(const DialPlanFile&) = delete;

    // Reads the file (platform::OpenFile, "rb") and checks all of it. Throws
    // FileError for the first problem found; the object is then empty.
    void Read(const std::string& path);
    // The same for a file's content held in memory; path names it in messages.
    void Parse(const std::string& path, std::string text);

    // What the installer needs beyond a loadable file, on both of its roads:
    // the DialPlan row names the dial plan exactly as it is being installed,
    // and the DigitDiscardInstruction section begins with the six predefined
    // instructions in their order. Throws FileError.
    void CheckInstallable(const std::string& name) const;

    const std::string& path() const { return path_; }
    const Section& section(Table table) const { return sections_[static_cast<std::size_t>(table)]; }
    long lineCount() const { return lineCount_; }

private:
    struct PkidIndex;
    struct Cursor;
    void Check();
    // The file line by line: marker lines, type rows, data rows, and what
    // stands between sections.
    void Split(PkidIndex& index);
    const TableLayout* MarkerOf(std::string_view line, long number) const;
    void OpenSection(const TableLayout& marker, std::string_view line, long number, Cursor& cursor);
    void CheckBetweenSections(std::string_view line, long number) const;
    bool IsTypeRow(std::string_view line, long number, Table table);
    void DataRow(std::string_view line, long number, Table table, PkidIndex& index);
    void CheckSections(const Cursor& cursor) const;
    void AddRow(Table table, std::string_view line, long number, PkidIndex& index);
    void CheckReferences(const PkidIndex& index) const;

    std::string path_;
    // The file's bytes; the rows' values point into it.
    std::string text_;
    std::array<Section, kTableCount> sections_;
    long lineCount_ = 0;
};

}  // namespace dialplan
