// uninstall.exe from end to end: the built program run against a prefix folder
// and a real host database, with its deployed files in place.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "removal/RemovalFixture.h"
#include "support/TestSupport.h"

namespace {

using namespace removal_test;
using zentra_test::Backend;
using zentra_test::FileExists;
using zentra_test::ProgramResult;
using zentra_test::ReadFile;
using zentra_test::WriteFile;

const char* const kComplete =
    "Un-Installation is complete.\nPlease run uninstall.exe on another nodes if exist. Please "
    "restart the Norvane Orvilex service on all involved nodes to unload the dial plan.";

// A message box as the stand-in writes it to standard error.
std::string Box(const std::string& caption, const std::string& text)
{
    return "[MessageBox] " + caption + "\n" + text + "\n\n";
}

// The refusal of a removal that `references` block.
std::string Refusal(const std::string& references)
{
    return "UnInstallation Failed.\nPlease remove the " + references +
           "\nassociated with this\nDial Plan and then UnInstall";
}

// The program's lines after deleting the rows, and after deleting the files.
std::string RowsDeleted(const std::string& name)
{
    return "Deleted the existing entries for the Dial Plan = " + name + "\n";
}
std::string FilesDeleted(const std::string& name)
{
    return "Deleted the Dial Plan file from = C:\\Program Files\\Norvane\\DialPlan\\" + name +
           "\nDeleted the ReadMe file for the Dial Plan from the path "
           "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\" +
           name + "\\ReadMe.txt \n";
}

// Every file below a folder, relative to it.
std::set<std::string> FilesBelow(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files.insert(std::filesystem::relative(entry.path(), folder).string());
    return files;
}

class UninstallProgram : public RemovalFixture {
protected:
    // What an installation leaves in place, and a log of it that must stay.
    void deploy(const std::string& name) const
    {
        const DialPlanPaths paths(name);
        WriteFile(hostPath(paths.deployedDialPlanFile()), "dial plan " + name + "\n");
        WriteFile(hostPath(paths.deployedUninstaller()), "program\n");
        WriteFile(hostPath(paths.deployedReadMe()), "read me\n");
        WriteFile(hostPath(paths.installLog()), "installed\n");
    }
    std::vector<std::string> deployedFiles(const std::string& name) const
    {
        const DialPlanPaths paths(name);
        return {hostPath(paths.deployedDialPlanFile()), hostPath(paths.deployedUninstaller()),
                hostPath(paths.deployedReadMe())};
    }
    bool deployed(const std::string& name) const
    {
        const auto files = deployedFiles(name);
        return std::all_of(files.begin(), files.end(), FileExists);
    }
};

TEST_P(UninstallProgram, RemovesTheDialPlanAndItsDeployedFiles)
{
    const DialPlan metro = install(RemovablePlan("Metro", 100));
    const DialPlan east = install(RemovablePlan("Metro East 100%", 200));
    const DialPlanPaths metroPaths("Metro"), eastPaths("Metro East 100%");
    deploy("Metro");
    // A log of an earlier removal is emptied.
    WriteFile(hostPath(metroPaths.uninstallLog()), "an earlier removal\n");
    // A file where the other dial plan's folder belongs: no log can be made there.
    WriteFile(hostPath(eastPaths.deployedDialPlanFile()), "dial plan\n");
    WriteFile(hostPath(std::string(zentra_run::kZentraFolder) + "Metro East 100%"), "not a folder\n");

    ProgramResult result = runUninstall({"Metro"});

    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(Box("Metro", kComplete), result.err);
    EXPECT_EQ(0, CountRowsOf(*db, metro));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(*db, east));
    for (const std::string& file : deployedFiles("Metro"))
        EXPECT_FALSE(FileExists(file)) << file;
    EXPECT_EQ("installed\n", ReadFile(hostPath(metroPaths.installLog())));
    EXPECT_TRUE(FileExists(hostPath(eastPaths.deployedDialPlanFile())));
    EXPECT_EQ(RemovalLog("Metro", metro.pkid) + RowsDeleted("Metro") + FilesDeleted("Metro"), logOf("Metro"));

    // A second run: no DialPlan row has the name any more, which is no error, but
    // the dial-plan file is gone and the removal stops there; a read-me put back
    // meanwhile stays.
    WriteFile(hostPath(metroPaths.deployedReadMe()), "read me\n");
    result = runUninstall({"Metro"});
    EXPECT_EQ(255, result.exitCode) << result.err;
    EXPECT_EQ(Box("Metro", "Failed to delete the file C:\\Program Files\\Norvane\\DialPlan\\Metro "
                           "\nRequires manual deletion"),
              result.err);
    EXPECT_TRUE(FileExists(hostPath(metroPaths.deployedReadMe())));
    EXPECT_EQ(RemovalLog("Metro", "", 1) + "The dial plan does not exist in the OV" + RowsDeleted("Metro") +
                  "Failed to delete the DialPlan file from the destination "
                  "C:\\Program Files\\Norvane\\DialPlan\\MetroGetLastError = 2\n",
              logOf("Metro"));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(*db, east));

    // The arguments joined by blanks name the dial plan; the log falls back to
    // the current folder, where the installation's log of that name keeps its
    // history. The dial plan's folder is a file, so that no snapshot of what
    // the removal deletes can be kept: nothing is removed.
    WriteFile(eastPaths.fallbackLog(), "installed\n");
    result = runUninstall({"Metro", "East", "100%"});
    const std::string refusal = "The snapshot of the dial plan cannot be written to " + eastPaths.historyFolder() +
                                ": cannot create the folder (GetLastError = 183). Nothing has been changed.\nNothing "
                                "was removed.";
    EXPECT_EQ(255, result.exitCode) << result.err;
    EXPECT_EQ(Box("Metro East 100%", refusal), result.err);
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(*db, east));
    EXPECT_TRUE(FileExists(hostPath(eastPaths.deployedDialPlanFile())));
    EXPECT_EQ("not a folder\n", ReadFile(hostPath(std::string(zentra_run::kZentraFolder) + "Metro East 100%")));
    EXPECT_EQ("installed\n" + refusal, ReadFile(eastPaths.fallbackLog()));
}

TEST_P(UninstallProgram, DataSourcesThatDoNotReachTheRows)
{
    install(RemovablePlan("Metro", 100));
    const std::string missing =
        GetParam() == Backend::SQLite ? work->path() + "/no such folder/orvilex.db" : "zentra_no_such_database";
    const std::string noConnection = "UnInstallation Failed.Failed to connect to Database. Check the regitry entry "
                                     "DBConnection0";
    const struct {
        const char* what;
        std::string dataSource;  // "(none)": no DBConnection0 at all
        int exitCode;
        std::string box, log;
    } cases[] = {
        {"not the publisher: only the files go",
         "SERVER=not-" + zentra_test::HostName() + ";DATABASE=" + db->database(), 0, kComplete, FilesDeleted("Metro")},
        {"no connection", "SERVER=" + zentra_test::HostName() + ";DATABASE=" + missing, 255, noConnection,
         noConnection},
        // Nothing names a server: nothing can be checked, so nothing is deleted.
        {"no data source registered", "(none)", 255, noConnection, noConnection},
        {"an empty data source", "", 255, noConnection, noConnection},
        {"a data source without SERVER=", "DATABASE=" + db->database(), 255, noConnection, noConnection},
    };
    const std::string before = db->snapshot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.dataSource == "(none)")
            std::filesystem::remove(prefix->path() + "/system.reg");
        else
            prefix->registerDataSource(c.dataSource);
        deploy("Metro");

        const ProgramResult result = runUninstall({"Metro"});

        EXPECT_EQ(c.exitCode, result.exitCode) << result.err;
        EXPECT_EQ(Box("Metro", c.box), result.err);
        EXPECT_EQ(c.log, logOf("Metro"));
        EXPECT_EQ(before, db->snapshot());
        for (const std::string& file : deployedFiles("Metro"))
            EXPECT_EQ(c.exitCode != 0, FileExists(file)) << file;
    }
}

// The program as an installation deploys it, alone in the dial plan's folder
// and run from there: it needs no library beside it and no library path.
TEST_P(UninstallProgram, DeployedAloneItRemovesThePlanWithoutALibraryPath)
{
    const DialPlan metro = install(RemovablePlan("Metro", 100));
    deploy("Metro");
    std::filesystem::copy_file(zentra_test::UninstallProgramPath(),
                               hostPath(DialPlanPaths("Metro").deployedUninstaller()),
                               std::filesystem::copy_options::overwrite_existing);
    const std::string folder = hostPath(DialPlanPaths("Metro").folder());

    std::map<std::string, std::string> environment = prefix->environment();
    environment["LD_LIBRARY_PATH"] = "";
    const ProgramResult result = zentra_test::RunProgram({folder + "/uninstall.exe", "Metro"}, environment, folder);

    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(Box("Metro", kComplete), result.err);
    EXPECT_EQ(0, CountRowsOf(*db, metro));
    for (const std::string& file : deployedFiles("Metro"))
        EXPECT_FALSE(FileExists(file)) << file;
    EXPECT_EQ(RemovalLog("Metro", metro.pkid) + RowsDeleted("Metro") + FilesDeleted("Metro"), logOf("Metro"));
}

TEST_P(UninstallProgram, ReferencesAndDatabaseErrorsKeepRowsAndFiles)
{
    const DialPlan metro = install(RemovablePlan("Metro", 100));
    const std::string pattern =
        "dial plan Metro (" + metro.pkid + ") is used by pattern 9.@ (" + RouteGuid(1, 1) + ")\n";
    const struct {
        const char* what;
        bool pattern, routeList, routeFilter;
        size_t statementsRun;
        std::string blocking, text;
    } cases[] = {
        {"pattern", true, false, false, 2, pattern, Refusal("patterns")},
        {"route list", false, true, false, 4,
         "instruction DDI-7 (" + metro.instructions[6].pkid + ") is used by route list RL-Branch (" + RouteGuid(2, 1) +
             ")\n",
         Refusal("route lists")},
        {"route filter", false, false, true, 5,
         "dial plan Metro (" + metro.pkid + ") is used by route filter RF-Local (" + RouteGuid(3, 1) + ")\n",
         Refusal("route filters")},
        {"all three: the pattern decides", true, true, true, 2, pattern, Refusal("patterns")},
    };
    deploy("Metro");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetReferences(*db, metro, c.pattern, c.routeList, c.routeFilter);
        const std::string before = db->snapshot();

        const ProgramResult result = runUninstall({"Metro"});

        EXPECT_EQ(255, result.exitCode) << result.err;
        EXPECT_EQ(Box("Metro", c.text), result.err);
        EXPECT_EQ(before, db->snapshot());
        EXPECT_TRUE(deployed("Metro"));
        EXPECT_EQ(RemovalLog("Metro", metro.pkid, c.statementsRun) + c.blocking + c.text, logOf("Metro"));
    }

    // A database error in the middle of the deletes: the library's lines, then
    // the database's message, which also is the box's text.
    SetReferences(*db, metro, false, false, false);
    BlockTagDeletes(*db, "blocked by the test");
    const std::string before = db->snapshot();
    const ProgramResult result = runUninstall({"Metro"});
    EXPECT_EQ(255, result.exitCode) << result.err;
    EXPECT_EQ(before, db->snapshot());
    EXPECT_TRUE(deployed("Metro"));
    const std::string log = logOf("Metro");
    const std::string statements = RemovalLog("Metro", metro.pkid, 8);
    ASSERT_EQ(statements, log.substr(0, statements.size()));
    const std::string message = log.substr(statements.size());
    EXPECT_NE(std::string::npos, message.find("blocked by the test")) << log;
    // The deletes were rolled back, and both the log and the box say so.
    const std::string nothing = "\nNothing was removed.";
    EXPECT_EQ(nothing, message.substr(message.size() - std::min(message.size(), nothing.size())));
    EXPECT_EQ(Box("Metro", message), result.err);
}

TEST_P(UninstallProgram, MissingOrHostileNamesDeleteNothing)
{
    install(RemovablePlan("Metro", 100));
    deploy("Metro");
    // Where the files of these names would resolve to on a host that walks "..".
    for (const char* bait : {"C:\\Program Files\\x", "C:\\Program Files\\Norvane\\x\\uninstall.exe",
                             "C:\\Program Files\\Norvane\\x\\ReadMe.txt", "C:\\Program Files\\Norvane\\y",
                             "C:\\Program Files\\Norvane\\Orvilex\\y\\uninstall.exe",
                             "C:\\Program Files\\Norvane\\Orvilex\\y\\ReadMe.txt"})
        WriteFile(hostPath(bait), "keep\n");
    db->exec("insert into DialPlan (pkid, name) values ('" + RouteGuid(0xC, 1) + "', '..\\..\\x')");
    db->exec("insert into DialPlan (pkid, name) values ('" + RouteGuid(0xD, 1) + "', '../y')");
    const std::string before = db->snapshot();
    const std::set<std::string> files = FilesBelow(prefix->path());

    // No command line: a box with an empty title, and no log.
    ProgramResult result = runUninstall({});
    EXPECT_EQ(255, result.exitCode) << result.err;
    EXPECT_EQ(Box("", "UnInstall Failed. Command Line parameter missing."), result.err);

    for (const std::string& name :
         {std::string("..\\..\\x"), std::string("../y"), std::string(".."), std::string("Metro\\..\\..\\..\\x"),
          std::string("a:b"), std::string(zentra_run::kMaxDialPlanNameLength + 1, 'L')}) {
        SCOPED_TRACE(name);
        const std::string reason = zentra_run::CheckDialPlanName(name);
        ASSERT_FALSE(reason.empty());
        result = runUninstall({name});
        EXPECT_EQ(255, result.exitCode) << result.err;
        EXPECT_EQ(Box("UnInstall Failed", reason), result.err);
    }
    EXPECT_EQ(before, db->snapshot());
    EXPECT_EQ(files, FilesBelow(prefix->path()));
    EXPECT_TRUE(FilesBelow(work->path()).empty());
}

ZENTRA_ON_EVERY_BACKEND(UninstallProgram);

}  // namespace
