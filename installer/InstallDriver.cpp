#include "installer/CZentraSetup.h"

#include <cstring>

#include "dialplanfile/DialPlanFile.h"
#include "installer/DialPlanName.h"
#include "installer/MessageDeferral.h"
#include "installer/RunReport.h"
#include "installer/SqlText.h"
#include "loader/Quillet.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace {

// Refuses an installation before anything is touched.
int RefuseInstallation(const std::string& reason)
{
    ShowInstallerMessage(reason, "Installation Failed");
    return 12;
}

// Why the delivered file NAME.csv cannot be installed as the dial plan name,
// or "" when it can.
std::string DeliveredFileProblem(const std::string& name)
{
    dialplan::DialPlanFile file;
    try {
        file.Read(name + ".csv");
        file.CheckInstallable(name);
    } catch (const dialplan::FileError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

int CZentraSetup::DialPlanMain(std::string name) { return DialPlanMainRun(name, RunOptions()); }

int CZentraSetup::DialPlanMainRun(const std::string& name, const RunOptions& options)
{
    // A preview shows no message box: it tells what it would show.
    MessageDeferral messages(options.report != nullptr ? &options.report->messages : nullptr, !options.preview);
    const auto decided = [&options](const char* step, int result) {
        if (options.report != nullptr)
            options.report->decidedBy = step;
        return result;
    };

    const std::string problem = CheckDialPlanName(name);
    if (!problem.empty())
        return decided("DialPlanMain", RefuseInstallation("The dial plan cannot be installed. " + problem));

    const std::string logPath =
        options.ownLog ? std::string(kZentraFolder) + name + "\\" + name + "_install.txt" : options.logPath;
    if (logPath.size() >= sizeof(m_logPath))
        return decided("DialPlanMain", RefuseInstallation("The dial plan cannot be installed. Its log path " + logPath +
                                                          " is too long."));
    if (options.ownLog) {
        FILE* probe = platform::OpenFile(logPath, "a");
        if (probe == nullptr)
            return decided("DialPlanMain",
                           RefuseInstallation("The dial plan cannot be installed. Its log file " + logPath +
                                              " cannot be opened for appending; the folder must exist and be "
                                              "writable."));
        std::fclose(probe);
    }
    std::memset(m_logPath, 0, sizeof(m_logPath));
    std::memcpy(m_logPath, logPath.c_str(), logPath.size());
    if (options.report != nullptr)
        options.report->logPath = logPath;

    // Both roads work from the delivered file, and an upgrade deletes whatever
    // it does not list: a damaged file is refused before anything happens.
    const std::string fileProblem = DeliveredFileProblem(name);
    if (!fileProblem.empty()) {
        OpenLog();
        Log("The dial plan file is refused: " + fileProblem + "\n");
        CloseLog();
        return decided("DialPlanMain",
                       RefuseInstallation("The dial plan file " + name +
                                          ".csv cannot be installed; nothing has been changed.\n" + fileProblem));
    }

    try {
        if (CheckNewDialPlan(name))
            return decided("CheckNewDialPlan", 6);
        return UpgradeInTransaction(name, options);
    } catch (...) {
        CloseLog();
        throw;
    }
}

bool CZentraSetup::CheckNewDialPlan(std::string name)
{
    OpenLog();
    Log("\n\n");
    Log("Before the start of CheckNewDialPlan");
    const std::string sql = "select * from DialPlan where name='" + SqlQuote(name) + "'";
    Log(sql);
    odbc::ResultSet* rows = RunQuery(sql);
    Log(sql);
    Log("\n\n");
    Log("The Dial Plan table entries are\n");
    Log("pkid, name, description \n");

    if (rows->next()) {
        m_dialPlanPkid = rows->getString("pkid");
        Log(m_dialPlanPkid);
        Log(rows->getString("name"));
        Log(rows->getString("description"));
        Log("\n");
        CloseLog();
        return false;
    }
    Log("New Installation");
    CloseLog();
    return true;
}

bool CZentraSetup::ZentraInstallCSVFile(std::string path)
{
    OpenLog();
    Log("Before calling ZentraInstallCSVFile\n");
    // The loader works on a connection of its own: no cursor of ours may hold
    // the tables it writes.
    ReleaseQuery();
    const int result =
        CInstallCSVFile(m_server.c_str(), m_database.c_str(), m_dbUser.c_str(), m_dbPassword.c_str(), path.c_str());
    Log("After calling ZentraInstallCSVFile\n");
    if (result != 0) {
        LogFormat("The CSV loader failed with result %d: ", static_cast<long>(result));
        Log(CInstallCSVFileLastError());
        Log("\n");
    }
    CloseLog();
    return result == 0;
}
