// Gives the digit discard instructions of a new dial plan's file digit-analysis
// IDs that no instruction of the database uses yet. The delivered file is kept
// as NAME_new.csv, NAME.csv is written anew with the new IDs (CR LF line ends),
// and a copy goes into the dial plan's folder.

#include "installer/CZentraSetup.h"

#include <cstdio>
#include <string>
#include <vector>

#include "installer/DialPlanName.h"
#include "installer/MessageDeferral.h"
#include "installer/csv/CsvLines.h"
#include "installer/csv/FreeIds.h"
#include "installer/csv/IdRewrite.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace {

enum class Written { Done, NotCreated, Failed };

// Writes text as the file at windowsPath; a partly written file is deleted, so
// that it can never reach the loader.
Written WriteWhole(const std::string& windowsPath, const std::string& text)
{
    FILE* file = platform::OpenFile(windowsPath, "wb");
    if (file == nullptr)
        return Written::NotCreated;
    bool failed = std::fwrite(text.data(), 1, text.size(), file) != text.size();
    failed = std::fclose(file) != 0 || failed;
    if (!failed)
        return Written::Done;
    DeleteFileA(windowsPath.c_str());
    return Written::Failed;
}

}  // namespace

bool CZentraSetup::ReadDeliveredFile(const std::string& name, std::string& text)
{
    const std::string csvPath = name + ".csv";
    if (zentra_csv::ReadWhole(csvPath, text))
        return true;
    // Without the delivered file there is nothing to rewrite: nothing is
    // moved or written, and m_csvPath stays unset.
    const std::string message = "The dial plan file " + csvPath + " was not found";
    LogFormat("\n%s\n", message);
    CloseLog();
    ShowInstallerMessage(message, csvPath);
    return false;
}

std::vector<long long> CZentraSetup::UsedDigitAnalysisIds()
{
    // The IDs in use by instructions of every dial plan, ascending.
    std::vector<long long> used;
    odbc::ResultSet* rows = RunQuery("select * from DigitDiscardInstruction ORDER BY digitAnalysisID");
    while (rows->next())
        used.push_back(rows->getInt("digitAnalysisID"));
    ReleaseQuery();
    return used;
}

void CZentraSetup::LogRewrite(const zentra_csv::RewrittenFile& rewrite)
{
    for (const zentra_csv::RewrittenFile::Line& line : rewrite.lines) {
        if (!line.logged)
            continue;
        Log("\n");
        Log(line.text);
    }
}

bool CZentraSetup::KeepDeliveredFile(const std::string& name)
{
    const std::string csvPath = name + ".csv";
    const std::string newCsvPath = name + "_new.csv";

    // A NAME_new.csv of an earlier run is replaced: it holds an older
    // delivery, unless NAME.csv is itself the rewrite of an earlier run, which
    // must never take the delivery's place. When the move fails the delivered
    // file stays where it is, untouched, and nothing is written.
    if (!zentra_csv::IsRewriteOf(csvPath, newCsvPath) &&
        !MoveFileExA(csvPath.c_str(), newCsvPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        const std::string message = "Cannot move the dial plan file " + csvPath + " to " + newCsvPath;
        LogFormat("\n%s", message);
        LogFormat(" (GetLastError = %d)\n", static_cast<long>(error));
        CloseLog();
        ShowInstallerMessage(message, csvPath);
        return false;
    }
    m_csvPath = csvPath;
    m_newCsvPath = newCsvPath;
    return true;
}

bool CZentraSetup::WriteRewrittenFile(const zentra_csv::RewrittenFile& rewrite, bool logLines)
{
    const Written written = WriteWhole(m_csvPath, rewrite.text());
    if (written == Written::NotCreated)
        ShowInstallerMessage("Cannot create new CSVFile to write", "Cannot create new CSVFile to write");
    if (logLines)
        LogRewrite(rewrite);
    if (written == Written::Failed) {
        const std::string message = "Failed to write the CSV file " + m_csvPath + " ";
        LogFormat("\n%s\n", message);
        CloseLog();
        ShowInstallerMessage(message, m_csvPath);
        return false;
    }

    FILE* check = platform::OpenFile(m_csvPath, "r+b");
    if (check == nullptr) {
        ShowInstallerMessage("Cannot open the new CSVFile for read", "Cannot open the new CSVFile for read");
    } else {
        while (std::getc(check) != EOF) {}
        std::fclose(check);
    }
    return true;
}

void CZentraSetup::CopyRewrittenFile(const std::string& name)
{
    // A copy of the rewritten file in the dial plan's folder.
    const std::string destination = std::string(kZentraFolder) + name + "\\" + m_csvPath;
    if (!CopyFileA(m_csvPath.c_str(), destination.c_str(), FALSE))
        ShowInstallerMessage("Failed to Copy the CSV file to the path " + destination + " ", m_csvPath);
}

void CZentraSetup::ReplaceDAId(std::string name)
{
    OpenLog();
    Log("\n\n");
    Log("In ReplaceDAId\n");

    std::string delivered;
    if (!ReadDeliveredFile(name, delivered))
        return;

    // The smallest free IDs, one per row, ascending in file order, so that the
    // six predefined instructions at the head of the section get the dial
    // plan's six lowest IDs.
    std::vector<long long> used;
    try {
        used = UsedDigitAnalysisIds();
    } catch (...) {
        CloseLog();
        throw;
    }
    zentra_csv::FreeIdSequence freeIds(std::move(used));
    const zentra_csv::RewrittenFile rewrite = zentra_csv::RewriteDigitAnalysisIds(delivered, freeIds);

    if (!KeepDeliveredFile(name) || !WriteRewrittenFile(rewrite, true))
        return;
    Log("End of the function\n");
    CloseLog();
    CopyRewrittenFile(name);
}
