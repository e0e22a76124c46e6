#include "dialplanfile/DialPlanFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "dialplanfile/FileText.h"
#include "dialplanfile/LineSplitter.h"
#include "platform/Platform.h"

namespace dialplan {

namespace {

constexpr std::array<TableLayout, kTableCount> kLayouts = {{
    {Table::DialPlan,
     "DialPlan",
     "Table:DialPlan,,",
     3,
     {"pkid", "name", "description", nullptr, nullptr},
     {true, false, false, false, false},
     "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)"},
    {Table::DialPlanTag,
     "DialPlanTag",
     "Table:DialPlanTag,,,,",
     5,
     {"pkid", "tag", "fkDialPlan", "suppressFromRouteFilter", "tkOperator_Max"},
     {true, false, true, false, false},
     "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)"},
    {Table::DigitDiscardInstruction,
     "DigitDiscardInstruction",
     "Table:DigitDiscardInstruction,,,,",
     5,
     {"pkid", "name", "fkDialPlan", "digitAnalysisID", "clause"},
     {true, false, true, false, false},
     kInstructionTypeRow},
    {Table::DigitDiscardInstructionMember,
     "DigitDiscardInstructionMember",
     "Table:DigitDiscardInstructionMember,,",
     3,
     {"pkid", "fkDigitDiscardInstruction", "fkDialPlanTag", nullptr, nullptr},
     {true, true, true, false, false},
     "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"},
}};

constexpr std::string_view kTypeMark = kTypeRowMark;
constexpr std::size_t kGuidLength = 36;  // without braces

std::size_t Index(Table table) { return static_cast<std::size_t>(table); }

bool Contains(std::string_view line, std::string_view text) { return line.find(text) != std::string_view::npos; }

// A value of the file as a message shows it: quoted, long ones cut short.
std::string Shown(std::string_view value)
{
    constexpr std::size_t kLongest = 60;
    std::string shown = "\"";
    shown.append(value.substr(0, kLongest));
    if (value.size() > kLongest)
        shown += "...";
    shown += '"';
    return shown;
}

// The predefined instructions' names, for messages.
std::string PredefinedList()
{
    std::string list;
    for (std::size_t k = 0; k < kPredefinedInstructions.size(); ++k) {
        list += k == 0 ? "" : k + 1 == kPredefinedInstructions.size() ? " and " : ", ";
        list += kPredefinedInstructions[k];
    }
    return list;
}

std::string Braced(std::string_view bare) { return "{" + std::string(bare) + "}"; }

std::size_t FieldCount(std::string_view line)
{
    std::size_t count = 1;
    for (char c : line)
        if (c == ',')
            ++count;
    return count;
}

// Whether the line is the marker line of the table's section. The DialPlan
// marker is also taken when the line's first field is exactly "Table:DialPlan".
bool IsMarkerOf(const TableLayout& layout, std::string_view line)
{
    if (Contains(line, layout.marker))
        return true;
    if (layout.table == Table::DialPlan) {
        const std::string_view firstField = line.substr(0, line.find(','));
        return firstField == "Table:DialPlan";
    }
    return false;
}

// The value of each byte as a hexadecimal digit, or -1.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    for (signed char& value : values)
        value = -1;
    for (int c = 0; c < 10; ++c)
        values[static_cast<std::size_t>('0' + c)] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c) {
        values[static_cast<std::size_t>('A' + c)] = static_cast<signed char>(10 + c);
        values[static_cast<std::size_t>('a' + c)] = static_cast<signed char>(10 + c);
    }
    return values;
}();

// The digits of one part of a GUID into value; false at a byte that is no digit.
bool HexDigits(const char* digits, std::size_t count, std::uint64_t& value)
{
    for (std::size_t i = 0; i < count; ++i) {
        const signed char digit = kHexValues[static_cast<unsigned char>(digits[i])];
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return true;
}

// A GUID without braces: 8-4-4-4-12 hexadecimal digits. Every pkid and key of
// a file goes through here, several times: it is kept to table lookups.
bool ParseBareGuid(std::string_view text, Guid& guid)
{
    if (text.size() != kGuidLength || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return false;
    const char* const t = text.data();
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    if (!HexDigits(t, 8, high) || !HexDigits(t + 9, 4, high) || !HexDigits(t + 14, 4, high) ||
        !HexDigits(t + 19, 4, low) || !HexDigits(t + 24, 12, low))
        return false;
    guid.high = high;
    guid.low = low;
    return true;
}

// Whether a line begins with a pkid in braces, as every data row does.
bool BeginsWithBracedGuid(std::string_view line)
{
    Guid guid;
    return line.size() >= kGuidLength + 2 && line.front() == '{' && line[kGuidLength + 1] == '}' &&
           ParseBareGuid(line.substr(1, kGuidLength), guid);
}

struct GuidHash {
    std::size_t operator()(const Guid& guid) const
    {
        return std::hash<std::uint64_t>()(guid.high ^ (guid.low * 0x9E3779B97F4A7C15ull));
    }
};

}  // namespace

// Where each pkid of the file stands, to find duplicates and what the fks name.
struct DialPlanFile::PkidIndex {
    struct Place {
        long line;
        Table table;
    };
    std::unordered_map<Guid, Place, GuidHash> places;
};

const TableLayout& Layout(Table table) { return kLayouts[Index(table)]; }

std::string ColumnList(const TableLayout& layout)
{
    std::string list;
    for (std::size_t column = 0; column < layout.columnCount; ++column) {
        if (column > 0)
            list += ", ";
        list += layout.columns[column];
    }
    return list;
}

FileError::FileError(const std::string& path, long line, const std::string& problem)
    : std::runtime_error(line > 0 ? path + ": line " + std::to_string(line) + ": " + problem : path + ": " + problem),
      line_(line), problem_(problem)
{
}

bool ParseBracedGuid(std::string_view text, Guid& guid)
{
    if (text.size() != kGuidLength + 2 || text.front() != '{' || text.back() != '}')
        return false;
    return ParseBareGuid(text.substr(1, kGuidLength), guid);
}

bool ParseInt32(std::string_view text, int& value)
{
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    long long magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    const long long result = negative ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN)
        return false;
    value = static_cast<int>(result);
    return true;
}

void DialPlanFile::Read(const std::string& path)
{
    path_ = path;
    text_.clear();
    sections_ = {};
    lineCount_ = 0;
    std::string text;
    int error = 0;
    const FileRead read = ReadFileText(path, text, error);
    if (read != FileRead::Done)
        throw FileError(
            path, 0,
            std::string(read == FileRead::CannotOpen ? "cannot open the file: " : "cannot read the file: ") +
                std::strerror(error));
    Parse(path, std::move(text));
}

void DialPlanFile::Parse(const std::string& path, std::string text)
{
    path_ = path;
    text_ = std::move(text);
    sections_ = {};
    lineCount_ = 0;
    try {
        Check();
    } catch (...) {
        text_.clear();
        sections_ = {};
        throw;
    }
}

void DialPlanFile::Check()
{
    PkidIndex index;
    Split(index);
    CheckReferences(index);
}

// Where the reader stands between lines: outside any section, between a
// section's marker and its type row, or among its rows.
struct DialPlanFile::Cursor {
    enum class State { Outside, BeforeTypeRow, Rows };
    State state = State::Outside;
    Table current = Table::DialPlan;
};

void DialPlanFile::Split(PkidIndex& index)
{
    Cursor cursor;
    LineSplitter lines(text_);
    std::string_view line;
    while (lines.next(line)) {
        const long number = lines.number();
        if (line.find('\0') != std::string_view::npos)
            throw FileError(path_, number, "the line holds a NUL character");
        if (const TableLayout* marker = MarkerOf(line, number)) {
            OpenSection(*marker, line, number, cursor);
            continue;
        }
        switch (cursor.state) {
        case Cursor::State::Outside:
            CheckBetweenSections(line, number);
            break;
        case Cursor::State::BeforeTypeRow:
            if (IsTypeRow(line, number, cursor.current))
                cursor.state = Cursor::State::Rows;
            break;
        case Cursor::State::Rows:
            if (line.empty())
                cursor.state = Cursor::State::Outside;
            else
                DataRow(line, number, cursor.current, index);
            break;
        }
    }
    lineCount_ = lines.number();
    CheckSections(cursor);
}

const TableLayout* DialPlanFile::MarkerOf(std::string_view line, long number) const
{
    // Every marker begins with "Table:".
    if (!Contains(line, "Table:"))
        return nullptr;
    const TableLayout* marker = nullptr;
    for (const TableLayout& layout : kLayouts) {
        if (!IsMarkerOf(layout, line))
            continue;
        if (marker)
            throw FileError(path_, number,
                            std::string("the line holds the markers of both the ") + marker->name + " and the " +
                                layout.name + " sections");
        marker = &layout;
    }
    return marker;
}

void DialPlanFile::OpenSection(const TableLayout& marker, std::string_view line, long number, Cursor& cursor)
{
    const auto fail = [&](const std::string& problem) { throw FileError(path_, number, problem); };
    Section& section = sections_[Index(marker.table)];
    const TableLayout& open = Layout(cursor.current);
    const std::string name = std::string("the marker of the ") + marker.name + " section";
    if (section.markerLine != 0)
        fail(name + " occurs again (first at line " + std::to_string(section.markerLine) +
             "); it may stand on one line only");
    if (cursor.state == Cursor::State::BeforeTypeRow)
        fail(name + " stands before the type row of the " + open.name + " section (its marker is at line " +
             std::to_string(sections_[Index(cursor.current)].markerLine) +
             "); every section needs a type row of its own");
    if (cursor.state == Cursor::State::Rows)
        fail(name + " stands among the rows of the " + open.name + " section; an empty line must end a section");
    if (marker.table != Table::DialPlan && sections_[Index(Table::DialPlan)].markerLine == 0)
        fail(std::string("the ") + marker.name + " section stands before the DialPlan section, which must come first");
    // The first line of the file that holds the mark is the DialPlan type row
    // to the installer; a marker line must not take its place.
    if (Contains(line, kTypeMark))
        fail(std::string("the marker line of the ") + marker.name +
             " section holds \"UNIQUEIDENTIFIER\", which only a type row may hold");
    section.markerLine = number;
    cursor.current = marker.table;
    cursor.state = Cursor::State::BeforeTypeRow;
}

void DialPlanFile::CheckBetweenSections(std::string_view line, long number) const
{
    if (Contains(line, kTypeMark))
        throw FileError(path_, number, "a type row (a line holding \"UNIQUEIDENTIFIER\") outside any section");
    if (BeginsWithBracedGuid(line))
        throw FileError(path_, number,
                        "a data row stands between sections: an empty line has cut it off from the section above, "
                        "or its section has no marker line");
}

bool DialPlanFile::IsTypeRow(std::string_view line, long number, Table table)
{
    const auto fail = [&](const std::string& problem) { throw FileError(path_, number, problem); };
    const TableLayout& layout = Layout(table);
    if (!Contains(line, kTypeMark)) {
        // Column names and the like; a data row here has lost its type row.
        if (BeginsWithBracedGuid(line))
            fail(std::string("a data row stands before the type row of the ") + layout.name +
                 " section (a line holding \"UNIQUEIDENTIFIER\" with " + std::to_string(layout.columnCount) +
                 " fields)");
        return false;
    }
    const std::size_t fields = FieldCount(line);
    if (fields != layout.columnCount)
        fail(std::string("the type row of the ") + layout.name + " section has " + std::to_string(fields) +
             " fields; it needs " + std::to_string(layout.columnCount));
    if (Contains(line, kInstructionTypeRow) && table != Table::DigitDiscardInstruction)
        fail(std::string("the type row of the ") + layout.name +
             " section is that of the DigitDiscardInstruction section");
    if (table == Table::DigitDiscardInstruction && line != kInstructionTypeRow)
        fail(std::string("the type row of the DigitDiscardInstruction section must read exactly \"") +
             kInstructionTypeRow + "\"; it reads " + Shown(line));
    sections_[Index(table)].typeRowLine = number;
    return true;
}

void DialPlanFile::DataRow(std::string_view line, long number, Table table, PkidIndex& index)
{
    if (Contains(line, kTypeMark) && Contains(line, kInstructionTypeRow))
        throw FileError(path_, number,
                        std::string("a row holds the text \"") + kInstructionTypeRow +
                            "\", which only the type row of the DigitDiscardInstruction section may hold");
    AddRow(table, line, number, index);
}

void DialPlanFile::CheckSections(const Cursor& cursor) const
{
    if (cursor.state == Cursor::State::BeforeTypeRow) {
        const TableLayout& layout = Layout(cursor.current);
        throw FileError(path_, sections_[Index(cursor.current)].markerLine,
                        std::string("the ") + layout.name +
                            " section has no type row (a line holding \"UNIQUEIDENTIFIER\" with " +
                            std::to_string(layout.columnCount) + " fields) after its marker");
    }
    const Section& dialPlan = sections_[Index(Table::DialPlan)];
    if (dialPlan.markerLine != 0 && dialPlan.rows.empty())
        throw FileError(path_, dialPlan.typeRowLine + 1, "the DialPlan section holds no row; it needs exactly one");
    for (const TableLayout& layout : kLayouts) {
        if (sections_[Index(layout.table)].markerLine == 0)
            throw FileError(path_, lineCount_ > 0 ? lineCount_ : 1,
                            std::string("end of file: the file has no ") + layout.name + " section (no line holds \"" +
                                layout.marker + "\")");
    }
}

void DialPlanFile::CheckInstallable(const std::string& name) const
{
    const Row& dialPlanRow = sections_[Index(Table::DialPlan)].rows.front();
    if (dialPlanRow.values[1] != name)
        throw FileError(path_, dialPlanRow.line,
                        "the DialPlan row names the dial plan " + Shown(dialPlanRow.values[1]) +
                            ", but it is being installed as " + Shown(name) + "; the two must be the same");

    const Section& instructions = sections_[Index(Table::DigitDiscardInstruction)];
    for (std::size_t k = 0; k < kPredefinedInstructions.size(); ++k) {
        if (k == instructions.rows.size())
            throw FileError(path_, k == 0 ? instructions.typeRowLine : instructions.rows.back().line,
                            "the DigitDiscardInstruction section holds " + std::to_string(k) +
                                " rows; it must begin with the six predefined instructions " + PredefinedList());
        const Row& row = instructions.rows[k];
        if (row.values[1] != kPredefinedInstructions[k])
            throw FileError(path_, row.line,
                            "digit discard instruction " + std::to_string(k + 1) + " is named " + Shown(row.values[1]) +
                                " where \"" + kPredefinedInstructions[k] +
                                "\" is expected: the section must begin with the six predefined instructions " +
                                PredefinedList() + ", in this order");
    }
}

void DialPlanFile::AddRow(Table table, std::string_view line, long number, PkidIndex& index)
{
    const TableLayout& layout = Layout(table);
    Section& section = sections_[Index(table)];
    auto fail = [this, number](const std::string& problem) { throw FileError(path_, number, problem); };

    if (table == Table::DialPlan && !section.rows.empty())
        fail("the DialPlan section holds more than one row; an empty line must follow its one row");

    // The fields before the last one end at the first columnCount - 1 commas;
    // the last field runs to the end of the line.
    Row row;
    row.line = number;
    std::array<std::string_view, kMaxColumns> fields;
    std::size_t start = 0;
    for (std::size_t column = 0; column + 1 < layout.columnCount; ++column) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos)
            fail(std::string("a ") + layout.name + " row needs " + (table == Table::DialPlanTag ? "exactly " : "") +
                 std::to_string(layout.columnCount) + " fields (" + ColumnList(layout) + "); this one has " +
                 std::to_string(column + 1));
        fields[column] = line.substr(start, comma - start);
        start = comma + 1;
    }
    fields[layout.columnCount - 1] = line.substr(start);

    if (table == Table::DialPlanTag) {
        // tkOperator_Max is the one character after the fourth comma: a fifth
        // comma would make a sixth field.
        if (fields[4].find(',') != std::string_view::npos)
            fail("a DialPlanTag row needs exactly 5 fields (" + ColumnList(layout) + "); this one has " +
                 std::to_string(FieldCount(line)));
    }

    for (std::size_t column = 0; column < layout.columnCount; ++column) {
        const char* name = layout.columns[column];
        std::string_view value = fields[column];
        if (layout.identifiers[column]) {
            Guid guid;
            if (!ParseBracedGuid(value, guid))
                fail(std::string(name) + " " + Shown(value) +
                     " is not a GUID in curly braces, such as {0123ABCD-4567-89EF-0123-456789ABCDEF}");
            if (column == 0) {
                const auto inserted = index.places.emplace(guid, PkidIndex::Place{number, table});
                if (!inserted.second)
                    fail("the pkid " + std::string(value) + " is used again (first at line " +
                         std::to_string(inserted.first->second.line) + ")");
            }
            value = value.substr(1, kGuidLength);
        } else if (table == Table::DigitDiscardInstruction && column == 3) {
            int digitAnalysisID = 0;
            if (!ParseInt32(value, digitAnalysisID))
                fail("digitAnalysisID " + Shown(value) + " is not a decimal integer of 32 bits");
        } else if (table == Table::DialPlanTag && column == 4) {
            value = value.substr(0, 1);
        }
        row.values[column] = value;
    }
    section.rows.push_back(row);
}

void DialPlanFile::CheckReferences(const PkidIndex& index) const
{
    // Reports the problem of the lowest line.
    long firstLine = 0;
    std::string firstProblem;
    auto note = [&](long line, std::string problem) {
        if (firstLine == 0 || line < firstLine) {
            firstLine = line;
            firstProblem = std::move(problem);
        }
    };

    const Row& dialPlanRow = sections_[Index(Table::DialPlan)].rows.front();
    Guid dialPlan;
    ParseBareGuid(dialPlanRow.values[0], dialPlan);

    for (Table table : {Table::DialPlanTag, Table::DigitDiscardInstruction}) {
        for (const Row& row : sections_[Index(table)].rows) {
            Guid owner;
            ParseBareGuid(row.values[2], owner);
            if (owner != dialPlan) {
                note(row.line, "fkDialPlan " + Braced(row.values[2]) + " is not the pkid " +
                                   Braced(dialPlanRow.values[0]) + " of the file's DialPlan row (line " +
                                   std::to_string(dialPlanRow.line) + ")");
                break;
            }
        }
    }

    auto refersTo = [&index](std::string_view bare, Table table) {
        Guid guid;
        ParseBareGuid(bare, guid);
        const auto found = index.places.find(guid);
        return found != index.places.end() && found->second.table == table;
    };
    for (const Row& row : sections_[Index(Table::DigitDiscardInstructionMember)].rows) {
        if (!refersTo(row.values[1], Table::DigitDiscardInstruction)) {
            note(row.line, "fkDigitDiscardInstruction " + Braced(row.values[1]) +
                               " is not the pkid of a DigitDiscardInstruction row of the file");
            break;
        }
        if (!refersTo(row.values[2], Table::DialPlanTag)) {
            note(row.line,
                 "fkDialPlanTag " + Braced(row.values[2]) + " is not the pkid of a DialPlanTag row of the file");
            break;
        }
    }

    if (firstLine != 0)
        throw FileError(path_, firstLine, firstProblem);
}

}  // namespace dialplan
