#pragma once

// Line and field access to a dial-plan file, shared by the table readers and the
// digit-analysis ID rewrite.
//
// A dial-plan file is single-byte text. Its lines are split by the dial-plan
// file's one line splitter, so that these readers see exactly the lines that
// the file check saw, on every platform.

#include <string>

#include "dialplanfile/LineSplitter.h"

namespace zentra_csv {

// The whole file by its Windows path; false when it cannot be opened or read
// through.
bool ReadWhole(const std::string& windowsPath, std::string& text);

// A dial-plan file read for its lines. The file is read whole when the object
// is made; the lines are then taken from memory.
class LineFile {
public:
    // Reads the file by its Windows path, in binary mode.
    explicit LineFile(const std::string& windowsPath);
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // False when the file could not be opened or read through.
    bool isOpen() const { return m_open; }

    // Reads the next line into line (emptied first). False at the end of the
    // file, on a read error, or when the file is not open; once a read has
    // failed, every later read fails too.
    bool readLine(std::string& line);

    // Reads lines until one contains text; false when a read fails first.
    bool skipPast(const char* text);

private:
    // In this order: the text is read before the splitter looks at it.
    std::string m_text;
    bool m_open;
    dialplan::LineSplitter m_lines;
    bool m_failed;
};

// Positions of the first four commas of a row: p[0] is the first comma, each
// next one the first comma after the one before. npos where there is none.
struct CommaPositions {
    std::string::size_type p[4];
};
CommaPositions FindCommas(const std::string& line);

// The text between two commas of a row: from the character after the comma at
// `after` (npos: the row has no such comma, so the field is empty) up to the
// comma at `before` (npos: to the end of the line).
std::string FieldBetween(const std::string& line, std::string::size_type after, std::string::size_type before);

}  // namespace zentra_csv
