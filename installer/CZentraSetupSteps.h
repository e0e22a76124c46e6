#pragma once

// The steps of an installation that the setup program drives itself besides the
// public methods of CZentraSetup: the digit-analysis ID rewrite and the file
// deployment, which stay private to the class.

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/DialPlanName.h"
#include "installer/RunReport.h"
#include "odbc/odbc.h"

class CZentraSetupSteps {
public:
    // Rewrites NAME.csv of the current folder with free digit-analysis IDs and
    // keeps the delivered file as NAME_new.csv. Needs DialPlanMain to have
    // returned 6 on the same object.
    static void ReplaceDAId(CZentraSetup& setup, const std::string& name)
    {
        // Cleared first: afterwards it is set only when the rewrite went ahead.
        setup.m_csvPath.clear();
        setup.ReplaceDAId(name);
    }

    // The database half of a new installation, after DialPlanMain returned 6 on
    // the same object: free IDs chosen and the rows loaded in one transaction
    // under the run lock, then the rewritten file kept. 0 installed, 3 the
    // delivered file cannot be read, 14 another run installed the dial plan
    // meanwhile (nothing changed). A failed load throws, with nothing loaded.
    static int InstallNewDialPlan(CZentraSetup& setup, const std::string& name,
                                  const RunOptions& options = RunOptions())
    {
        return setup.InstallNewDialPlan(name, options);
    }

    // DialPlanMain made as options say: a preview (everything done in the
    // transaction, then rolled back, its own log or none, no message box), a
    // report of what it did.
    static int DialPlanMain(CZentraSetup& setup, const std::string& name, const RunOptions& options)
    {
        return setup.DialPlanMainRun(name, options);
    }

    // UnInstallDialPlan, telling the rows that block it.
    static int UnInstallDialPlan(CZentraSetup& setup, const std::string& name, RunReport& report)
    {
        return setup.UnInstallDialPlanRun(name, &report);
    }

    // The rows that use the dial plan pkid, of the kind the removal's result
    // 9, 10 or 11 stands for, added to report.blocking.
    static void ListDialPlanUsers(CZentraSetup& setup, const std::string& dialPlanPkid, const std::string& name,
                                  int result, RunReport& report)
    {
        setup.ListDialPlanUsers(dialPlanPkid, name, result, &report);
    }

    // The rows of a query on the object's connection, each column as text.
    static std::vector<std::vector<std::string>> Query(CZentraSetup& setup, const std::string& sql)
    {
        std::vector<std::vector<std::string>> rows;
        odbc::ResultSet* result = setup.RunQuery(sql);
        const int columns = result->getColumnCount();
        while (result->next()) {
            std::vector<std::string> row;
            for (int column = 1; column <= columns; ++column)
                row.push_back(result->getString(column));
            rows.push_back(std::move(row));
        }
        setup.ReleaseQuery();
        return rows;
    }

    // The rows of an installed dial plan, read on the object's connection.
    static PlanRows ReadPlanRows(CZentraSetup& setup, const std::string& dialPlanPkid)
    {
        return setup.ReadPlanRows(dialPlanPkid);
    }

    // The rewritten file that ReplaceDAId left in the current folder, for the
    // loader; empty when the delivered file was missing or could not be kept.
    static const std::string& RewrittenCsvPath(const CZentraSetup& setup) { return setup.m_csvPath; }

    // Deploys the dial plan's files (after ReplaceDAId and loading, or after an
    // upgrade) and tells the user that the installation is complete.
    static void CopyDialPlanFile(CZentraSetup& setup) { setup.CopyDialPlanFile(); }

    // On a machine without the database: deploys the dial plan's files only,
    // logging to the dial plan's install log. False, with nothing done, when
    // the log path would not fit.
    static bool DeployWithoutDatabase(CZentraSetup& setup, const std::string& name)
    {
        const std::string logPath = std::string(kZentraFolder) + name + "\\" + name + "_install.txt";
        if (logPath.size() >= sizeof(setup.m_logPath))
            return false;
        std::memset(setup.m_logPath, 0, sizeof(setup.m_logPath));
        std::memcpy(setup.m_logPath, logPath.data(), logPath.size());
        setup.m_csvPath = name + ".csv";
        setup.CopyDialPlanFile();
        return true;
    }
};
