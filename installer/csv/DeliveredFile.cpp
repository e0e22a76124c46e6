#include "installer/csv/DeliveredFile.h"

#include <cstdio>

#include "installer/csv/CsvLines.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/Session.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace zentra_csv {

using zentra_run::ShowInstallerMessage;

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

bool ReadDeliveredFile(zentra_run::Session& step, const std::string& csvPath, std::string& text)
{
    if (ReadWhole(csvPath, text))
        return true;
    // Without the delivered file there is nothing to rewrite: nothing is moved
    // or written.
    const std::string message = "The dial plan file " + csvPath + " was not found";
    step.logFormat("\n%s\n", message);
    step.closeLog();
    ShowInstallerMessage(message, csvPath);
    return false;
}

std::vector<long long> UsedDigitAnalysisIds(zentra_run::Session& step)
{
    std::vector<long long> used;
    odbc::ResultSet* rows = step.query("select * from DigitDiscardInstruction ORDER BY digitAnalysisID");
    while (rows->next())
        used.push_back(rows->getInt("digitAnalysisID"));
    step.release();
    return used;
}

void LogRewrite(zentra_run::Session& step, const RewrittenFile& rewrite)
{
    for (const RewrittenFile::Line& line : rewrite.lines) {
        if (!line.logged)
            continue;
        step.log("\n");
        step.log(line.text);
    }
}

bool KeepDeliveredFile(zentra_run::Session& step, const std::string& csvPath, const std::string& keptPath)
{
    if (IsRewriteOf(csvPath, keptPath) || MoveFileExA(csvPath.c_str(), keptPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    const DWORD error = GetLastError();
    const std::string message = "Cannot move the dial plan file " + csvPath + " to " + keptPath;
    step.logFormat("\n%s", message);
    step.logFormat(" (GetLastError = %d)\n", static_cast<long>(error));
    step.closeLog();
    ShowInstallerMessage(message, csvPath);
    return false;
}

bool WriteRewrittenFile(zentra_run::Session& step, const std::string& csvPath, const RewrittenFile& rewrite,
                        bool logLines)
{
    const Written written = WriteWhole(csvPath, rewrite.text());
    if (written == Written::NotCreated)
        ShowInstallerMessage("Cannot create new CSVFile to write", "Cannot create new CSVFile to write");
    if (logLines)
        LogRewrite(step, rewrite);
    if (written == Written::Failed) {
        const std::string message = "Failed to write the CSV file " + csvPath + " ";
        step.logFormat("\n%s\n", message);
        step.closeLog();
        ShowInstallerMessage(message, csvPath);
        return false;
    }

    FILE* check = platform::OpenFile(csvPath, "r+b");
    if (check == nullptr) {
        ShowInstallerMessage("Cannot open the new CSVFile for read", "Cannot open the new CSVFile for read");
    } else {
        while (std::getc(check) != EOF) {}
        std::fclose(check);
    }
    return true;
}

void CopyRewrittenFile(const std::string& csvPath, const std::string& destination)
{
    if (!CopyFileA(csvPath.c_str(), destination.c_str(), FALSE))
        ShowInstallerMessage("Failed to Copy the CSV file to the path " + destination + " ", csvPath);
}

}  // namespace zentra_csv
