// Gives the digit discard instructions of a new dial plan's file digit-analysis
// IDs that no instruction of the database uses yet, before the file is loaded.
// The delivered file is kept as NAME_new.csv, NAME.csv is written anew with the
// new IDs (CR LF line ends), and a copy goes into the dial plan's folder.

#include "installer/CZentraSetup.h"

#include <cstddef>
#include <string>
#include <vector>

#include "installer/DialPlanName.h"
#include "installer/csv/CsvLines.h"
#include "installer/csv/FreeIds.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

using zentra_csv::CommaPositions;
using zentra_csv::FindCommas;
using zentra_csv::LineFile;

namespace {

void ShowMessage(const std::string& text, const std::string& caption)
{
    MessageBoxA(NULL, text.c_str(), caption.c_str(), MB_OK);
}

// The number of data rows of the DigitDiscardInstruction section.
std::size_t CountInstructionRows(LineFile& file)
{
    std::size_t rows = 0;
    if (!file.skipPast(zentra_csv::kInstructionMarker) ||
        !file.skipPast(zentra_csv::kTypeRowText))
        return 0;
    std::string line;
    while (file.readLine(line) && !line.empty())
        ++rows;
    return rows;
}

// Puts id in place of the digitAnalysisID field, the text between the third
// comma and the next one (or the end of the line). A row without a third comma
// has no such field and stays as it is.
void ReplaceDigitAnalysisId(std::string& line, long long id)
{
    const CommaPositions commas = FindCommas(line);
    if (commas.p[2] == std::string::npos)
        return;
    const std::string::size_type start = commas.p[2] + 1;
    const std::string::size_type end = commas.p[3] == std::string::npos ? line.size() : commas.p[3];
    line.replace(start, end - start, std::to_string(id));
}

// The rewritten file: every line ends in CR LF, whatever the platform.
class RewrittenFile {
public:
    explicit RewrittenFile(const std::string& windowsPath)
        : m_file(platform::OpenFile(windowsPath, "wb"))
    {
    }
    ~RewrittenFile() { close(); }
    RewrittenFile(const RewrittenFile&) = delete;
    RewrittenFile& operator=(const RewrittenFile&) = delete;

    bool isOpen() const { return m_file != nullptr; }

    void writeLine(const std::string& line)
    {
        if (m_file == nullptr)
            return;
        if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
            std::fwrite("\r\n", 1, 2, m_file) != 2)
            m_failed = true;
    }

    // False when any write or the close failed.
    bool close()
    {
        if (m_file != nullptr) {
            if (std::ferror(m_file) || std::fclose(m_file) != 0)
                m_failed = true;
            m_file = nullptr;
        }
        return !m_failed;
    }

private:
    FILE* m_file;
    bool m_failed = false;
};

}  // namespace

void CZentraSetup::ReplaceDAId(std::string name)
{
    OpenLog();
    Log("\n\n");
    Log("In ReplaceDAId\n");

    const std::string csvPath = name + ".csv";
    const std::string newCsvPath = name + "_new.csv";

    // Count the instruction rows. Without the delivered file there is nothing to
    // rewrite: nothing is moved or written, and the caller finds m_csvPath unset.
    std::size_t rowCount = 0;
    {
        LineFile delivered(csvPath);
        if (!delivered.isOpen()) {
            const std::string message = "The dial plan file " + csvPath + " was not found";
            LogFormat("\n%s\n", message);
            CloseLog();
            ShowMessage(message, csvPath);
            return;
        }
        rowCount = CountInstructionRows(delivered);
    }

    // The IDs in use, by instructions of every dial plan, ascending.
    std::vector<long long> used;
    try {
        odbc::ResultSet* rows =
            RunQuery("select * from DigitDiscardInstruction ORDER BY digitAnalysisID");
        while (rows->next())
            used.push_back(rows->getInt("digitAnalysisID"));
    } catch (...) {
        CloseLog();
        throw;
    }

    // The smallest free IDs, one per row, ascending in file order, so that the
    // six predefined instructions at the head of the section get the dial
    // plan's six lowest IDs.
    zentra_csv::FreeIdSequence freeIds(std::move(used));
    std::vector<long long> newIds;
    newIds.reserve(rowCount);
    for (std::size_t k = 0; k < rowCount; ++k)
        newIds.push_back(freeIds.next());

    // Keep the delivered file. A NAME_new.csv of an earlier run is replaced: it
    // holds an older delivery. When the move fails the delivered file stays
    // where it is, untouched, and nothing is written.
    if (!MoveFileExA(csvPath.c_str(), newCsvPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        const std::string message =
            "Cannot move the dial plan file " + csvPath + " to " + newCsvPath;
        LogFormat("\n%s", message);
        LogFormat(" (GetLastError = %d)\n", static_cast<long>(error));
        CloseLog();
        ShowMessage(message, csvPath);
        return;
    }
    m_csvPath = csvPath;
    m_newCsvPath = newCsvPath;

    LineFile delivered(m_newCsvPath);
    RewrittenFile rewritten(m_csvPath);
    if (!rewritten.isOpen())
        ShowMessage("Cannot create new CSVFile to write", "Cannot create new CSVFile to write");

    auto writeAndLog = [&](const std::string& text) {
        rewritten.writeLine(text);
        Log("\n");
        Log(text);
    };

    // Everything ahead of the DigitDiscardInstruction type row, unchanged.
    std::string line;
    while (delivered.readLine(line) &&
           line.find(zentra_csv::kInstructionTypeRow) == std::string::npos)
        writeAndLog(line);
    writeAndLog(zentra_csv::kInstructionTypeRow);

    // The instruction rows, with their new IDs. A file that holds more rows here
    // than were counted gets further free IDs in the same order.
    for (std::size_t k = 0; delivered.readLine(line) && !line.empty(); ++k) {
        if (k == newIds.size())
            newIds.push_back(freeIds.next());
        ReplaceDigitAnalysisId(line, newIds[k]);
        writeAndLog(line);
    }
    rewritten.writeLine("");  // ends the section; not logged

    // The rest of the file, unchanged.
    while (delivered.readLine(line))
        writeAndLog(line);

    if (!rewritten.close()) {
        // A partly written file must not reach the loader.
        DeleteFileA(m_csvPath.c_str());
        const std::string message = "Failed to write the CSV file " + m_csvPath + " ";
        LogFormat("\n%s\n", message);
        CloseLog();
        ShowMessage(message, m_csvPath);
        return;
    }

    FILE* check = platform::OpenFile(m_csvPath, "r+b");
    if (check == nullptr) {
        ShowMessage("Cannot open the new CSVFile for read", "Cannot open the new CSVFile for read");
    } else {
        while (std::getc(check) != EOF) {
        }
        std::fclose(check);
    }

    Log("End of the function\n");
    CloseLog();

    // Keep a copy of the rewritten file in the dial plan's folder.
    const std::string destination = std::string(kZentraFolder) + name + "\\" + m_csvPath;
    if (!CopyFileA(m_csvPath.c_str(), destination.c_str(), FALSE))
        ShowMessage("Failed to Copy the CSV file to the path " + destination + " ", m_csvPath);
}
