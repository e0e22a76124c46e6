#include "installer/upgrade/UpgradeFileCheck.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "installer/Pkid.h"
#include "platform/Platform.h"

namespace zentra_upgrade {

namespace {

const char* const kTypeRowText = "UNIQUEIDENTIFIER";
const char* const kTagMarker = "Table:DialPlanTag,,,,";
const char* const kDdiMarker = "Table:DigitDiscardInstruction,,,,";
const char* const kMemberMarker = "Table:DigitDiscardInstructionMember,,";

const char* const kPredefinedNames[6] = {
    "NoDigits", "PreDot", "PreAt", "Trailing-#", "PreDot Trailing-#", "PreAt Trailing-#",
};

const std::string::size_type kNoLine = std::string::npos;

// Reads the whole file as lines: LF ends a line, a CR before it is dropped.
bool ReadLines(const std::string& path, std::vector<std::string>& lines)
{
    FILE* file = platform::OpenFile(path, "rb");
    if (file == nullptr)
        return false;
    std::string line;
    bool pending = false;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                lines.push_back(line);
                line.clear();
                pending = false;
            } else {
                line += buffer[i];
                pending = true;
            }
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;
    if (pending) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return true;
}

// Index of the first line at or after from that contains text.
std::size_t FindLine(const std::vector<std::string>& lines, std::size_t from, const char* text)
{
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos)
            return i;
    }
    return kNoLine;
}

// A value of the file as it may be shown to the user.
std::string Shown(const std::string& value)
{
    const std::string::size_type limit = 80;
    if (value.size() <= limit)
        return "\"" + value + "\"";
    return "\"" + value.substr(0, limit) + "...\"";
}

bool CanBeMadeBare(const std::string& pkid)
{
    try {
        BarePkid(pkid);
        return true;
    } catch (const std::out_of_range&) {
        return false;
    }
}

// The positions of the first n commas of a row, each searched from the
// character after the previous one; false when the row holds fewer.
bool SplitCommas(const std::string& row, std::size_t n, std::vector<std::size_t>& commas)
{
    commas.clear();
    std::string::size_type from = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::string::size_type at = row.find(',', from);
        if (at == std::string::npos)
            return false;
        commas.push_back(at);
        from = at + 1;
    }
    return true;
}

// A problem on the line of the given index; an index past the end of the file
// names its last line.
FileProblem Problem(const std::vector<std::string>& lines, std::size_t index, const std::string& text)
{
    FileProblem problem;
    problem.refused = true;
    problem.line = static_cast<long>(index < lines.size() ? index + 1 : lines.size());
    problem.text = text;
    return problem;
}

// Finds a section: its marker line and type row; the data rows run from the
// line after the type row to the first empty line or the end of the file.
struct Section {
    std::size_t marker = kNoLine;
    std::size_t typeRow = kNoLine;
    std::size_t first = kNoLine;
    std::size_t end = kNoLine;
};

FileProblem FindSection(const std::vector<std::string>& lines, const char* marker, Section& section)
{
    section.marker = FindLine(lines, 0, marker);
    if (section.marker == kNoLine)
        return Problem(lines, lines.size(), std::string("the end of the file is reached without the section marker \"") +
                                         marker + "\"");
    section.typeRow = FindLine(lines, section.marker + 1, kTypeRowText);
    if (section.typeRow == kNoLine)
        return Problem(lines, section.marker, std::string("no type row (a line holding \"") + kTypeRowText +
                                           "\") follows the section marker \"" + marker + "\"");
    section.first = section.typeRow + 1;
    section.end = section.first;
    while (section.end < lines.size() && !lines[section.end].empty())
        ++section.end;
    return FileProblem();
}

FileProblem CheckDialPlanRow(const std::vector<std::string>& lines)
{
    const std::size_t typeRow = FindLine(lines, 0, kTypeRowText);
    if (typeRow == kNoLine)
        return Problem(lines, lines.size(), std::string("no line holds \"") + kTypeRowText +
                                         "\": the DialPlan section is missing");
    for (const char* marker : {kTagMarker, kDdiMarker, kMemberMarker}) {
        const std::size_t at = FindLine(lines, 0, marker);
        if (at != kNoLine && at <= typeRow)
            return Problem(lines, at, std::string("the section marker \"") + marker +
                                   "\" stands ahead of the DialPlan section");
    }
    if (typeRow + 1 >= lines.size())
        return Problem(lines, lines.size(), "the DialPlan row is missing after its type row on line " +
                                         std::to_string(typeRow + 1));
    const std::string& row = lines[typeRow + 1];
    std::vector<std::size_t> commas;
    if (row.empty() || !SplitCommas(row, 2, commas))
        return Problem(lines, typeRow + 1, "the DialPlan row (pkid, name, description) is missing or incomplete");
    return FileProblem();
}

FileProblem CheckTagRows(const std::vector<std::string>& lines, const Section& section)
{
    std::vector<std::size_t> commas;
    for (std::size_t i = section.first; i < section.end; ++i) {
        if (!SplitCommas(lines[i], 4, commas))
            return Problem(lines, i, "the DialPlanTag row " + Shown(lines[i]) + " has fewer than its five fields");
        const std::string pkid = lines[i].substr(0, commas[0]);
        if (!CanBeMadeBare(pkid))
            return Problem(lines, i, "the tag pkid " + Shown(pkid) + " is not written between braces");
    }
    return FileProblem();
}

FileProblem CheckInstructionRows(const std::vector<std::string>& lines, const Section& section)
{
    std::vector<std::size_t> commas;
    std::size_t rows = 0;
    for (std::size_t i = section.first; i < section.end; ++i, ++rows) {
        if (!SplitCommas(lines[i], 4, commas))
            return Problem(lines, i, "the DigitDiscardInstruction row " + Shown(lines[i]) +
                                  " has fewer than its five fields");
        const std::string pkid = lines[i].substr(0, commas[0]);
        if (!CanBeMadeBare(pkid))
            return Problem(lines, i, "the digit discard instruction pkid " + Shown(pkid) +
                                  " is not written between braces");
        if (rows < 6) {
            const std::string name = lines[i].substr(commas[0] + 1, commas[1] - commas[0] - 1);
            if (name != kPredefinedNames[rows])
                return Problem(lines, i, "digit discard instruction " + std::to_string(rows + 1) + " is named " +
                                      Shown(name) + " where \"" + kPredefinedNames[rows] +
                                      "\" is expected: the six predefined instructions NoDigits, PreDot, "
                                      "PreAt, Trailing-#, PreDot Trailing-# and PreAt Trailing-# must come "
                                      "first, in this order");
        }
    }
    if (rows < 6)
        return Problem(lines, section.end, "the DigitDiscardInstruction section ends after " + std::to_string(rows) +
                                        " rows; it must begin with the six predefined instructions NoDigits, "
                                        "PreDot, PreAt, Trailing-#, PreDot Trailing-# and PreAt Trailing-#");
    return FileProblem();
}

FileProblem CheckMemberRows(const std::vector<std::string>& lines, const Section& section)
{
    std::vector<std::size_t> commas;
    for (std::size_t i = section.first; i < section.end; ++i) {
        if (!SplitCommas(lines[i], 2, commas))
            return Problem(lines, i, "the DigitDiscardInstructionMember row " + Shown(lines[i]) +
                                  " has fewer than its three fields");
        const std::string instruction = lines[i].substr(commas[0] + 1, commas[1] - commas[0] - 1);
        if (!CanBeMadeBare(instruction))
            return Problem(lines, i, "the member's fkDigitDiscardInstruction " + Shown(instruction) +
                                  " is not written between braces");
        const std::string tag = lines[i].substr(commas[1] + 1);
        if (!CanBeMadeBare(tag))
            return Problem(lines, i, "the member's fkDialPlanTag " + Shown(tag) + " is not written between braces");
    }
    return FileProblem();
}

}  // namespace

FileProblem CheckUpgradeFile(const std::string& path)
{
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) {
        FileProblem problem;
        problem.refused = true;
        problem.text = "the file cannot be opened or read";
        return problem;
    }

    FileProblem problem = CheckDialPlanRow(lines);
    if (problem.refused)
        return problem;

    Section tags;
    Section instructions;
    Section members;
    if ((problem = FindSection(lines, kTagMarker, tags)).refused)
        return problem;
    if ((problem = FindSection(lines, kDdiMarker, instructions)).refused)
        return problem;
    if ((problem = FindSection(lines, kMemberMarker, members)).refused)
        return problem;

    if ((problem = CheckTagRows(lines, tags)).refused)
        return problem;
    if ((problem = CheckInstructionRows(lines, instructions)).refused)
        return problem;
    return CheckMemberRows(lines, members);
}

std::string FileRefusalMessage(const std::string& path, const FileProblem& problem)
{
    std::string message = "The dial plan file " + path + " cannot be used for the upgrade: ";
    if (problem.line > 0)
        message += "line " + std::to_string(problem.line) + ": ";
    message += problem.text + ". Nothing has been changed.";
    return message;
}

}  // namespace zentra_upgrade
