// uninstall.exe from end to end: the built program run against a prefix folder
// and a real host database, with its deployed files in place.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "installer/DialPlanName.h"
#include "removal/DialPlanRows.h"
#include "support/TestSupport.h"

namespace {

using removal_test::CountRowsOf;
using removal_test::DialPlanRows;
using removal_test::Guid;
using removal_test::InsertDialPlan;
using removal_test::kRowsOfFullDialPlan;
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

int CountBoxes(const std::string& err)
{
    int boxes = 0;
    for (std::string::size_type at = err.find("[MessageBox] "); at != std::string::npos;
         at = err.find("[MessageBox] ", at + 1))
        ++boxes;
    return boxes;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Every file below a folder, relative to it.
std::set<std::string> FilesBelow(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files.insert(std::filesystem::relative(entry.path(), folder).string());
    return files;
}

class UninstallProgram : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix_ = std::make_unique<zentra_test::Prefix>(GetParam());
        db_ = std::make_unique<zentra_test::HostDatabase>(GetParam());
        prefix_->registerDatabase(*db_);
        work_ = std::make_unique<zentra_test::WorkFolder>();
    }

    zentra_test::HostDatabase& db() { return *db_; }

    std::string host(const std::string& windowsPath) const { return prefix_->hostPath(windowsPath); }
    std::string dialPlanFile(const std::string& name) const
    {
        return host(std::string(kDialPlanFolder) + name);
    }
    std::string zentraFile(const std::string& name, const std::string& file) const
    {
        return host(std::string(kZentraFolder) + name + "\\" + file);
    }
    std::string logOf(const std::string& name) const
    {
        return ReadFile(zentraFile(name, name + "_uninstall.txt"));
    }

    // What an installation leaves in place, and a log of it that must stay.
    void deploy(const std::string& name) const
    {
        WriteFile(dialPlanFile(name), "dial plan " + name + "\n");
        WriteFile(zentraFile(name, "uninstall.exe"), "program\n");
        WriteFile(zentraFile(name, "ReadMe.txt"), "read me\n");
        WriteFile(zentraFile(name, name + "_install.txt"), "installed\n");
    }
    bool deployed(const std::string& name) const
    {
        return FileExists(dialPlanFile(name)) && FileExists(zentraFile(name, "uninstall.exe")) &&
               FileExists(zentraFile(name, "ReadMe.txt"));
    }

    ProgramResult run(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> argv = {zentra_test::UninstallProgramPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return zentra_test::RunProgram(argv, prefix_->environment(), work_->path());
    }

    std::unique_ptr<zentra_test::Prefix> prefix_;
    std::unique_ptr<zentra_test::HostDatabase> db_;
    std::unique_ptr<zentra_test::WorkFolder> work_;
};

std::string Describe(const ProgramResult& result)
{
    return "exit " + std::to_string(result.exitCode) + "\nstdout: " + result.out +
           "\nstderr: " + result.err;
}

// ---- Removals that complete ----

TEST_P(UninstallProgram, RemovesTheDialPlanAndItsDeployedFiles)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    const DialPlanRows east = InsertDialPlan(db(), "Metro-East", 'B', 200);
    deploy("Metro");
    deploy("Metro-East");
    // A log of an earlier removal is emptied.
    WriteFile(zentraFile("Metro", "Metro_uninstall.txt"), "an earlier removal\n");

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(0, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Metro", kComplete), result.err);
    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), east));

    EXPECT_FALSE(FileExists(dialPlanFile("Metro")));
    EXPECT_FALSE(FileExists(zentraFile("Metro", "uninstall.exe")));
    EXPECT_FALSE(FileExists(zentraFile("Metro", "ReadMe.txt")));
    EXPECT_EQ("installed\n", ReadFile(zentraFile("Metro", "Metro_install.txt")));
    EXPECT_TRUE(deployed("Metro-East"));

    EXPECT_EQ("\n\nUnInstallDialPlan\n"
              "select pkid from DialPlan where name='Metro'\n\n"
              "select * from NumPlan where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= "
              "'AAAAAAAA-0001-0000-0000-000000000001' and T1.fkDigitDiscardInstruction = T2.pkid\n\n"
              "select * from RouteFilter where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "delete from DigitDiscardInstructionMember where (fkDigitDiscardInstruction in "
              "(select pkid from DigitDiscardInstruction where fkDialPlan = "
              "'AAAAAAAA-0001-0000-0000-000000000001'))\n\n"
              "delete from DigitDiscardInstruction where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "delete from DialPlan where Name='Metro'\n\n"
              "Deleted the existing entries for the Dial Plan = Metro\n"
              "Deleted the Dial Plan file from = C:\\Program Files\\Norvane\\DialPlan\\Metro\n"
              "Deleted the ReadMe file for the Dial Plan from the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Metro\\ReadMe.txt \n",
              logOf("Metro"));
}

TEST_P(UninstallProgram, ArgumentsJoinedByBlanksNameTheDialPlan)
{
    const DialPlanRows plan = InsertDialPlan(db(), "Metro East 100%", 'A', 100);
    deploy("Metro East 100%");

    const ProgramResult result = run({"Metro", "East", "100%"});

    EXPECT_EQ(0, result.exitCode) << Describe(result);
    EXPECT_EQ(0, CountRowsOf(db(), plan));
    EXPECT_FALSE(FileExists(dialPlanFile("Metro East 100%")));
    const std::string log = logOf("Metro East 100%");
    EXPECT_NE(std::string::npos,
              log.find("Deleted the existing entries for the Dial Plan = Metro East 100%\n"))
        << log;
}

TEST_P(UninstallProgram, UnknownDialPlanStillLosesItsFiles)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    deploy("Suburb");
    const std::string before = db().snapshot();

    const ProgramResult result = run({"Suburb"});

    EXPECT_EQ(0, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Suburb", kComplete), result.err);
    EXPECT_EQ(before, db().snapshot());
    EXPECT_FALSE(FileExists(dialPlanFile("Suburb")));
    EXPECT_FALSE(FileExists(zentraFile("Suburb", "ReadMe.txt")));
    EXPECT_EQ("\n\nUnInstallDialPlan\n"
              "select pkid from DialPlan where name='Suburb'\n\n"
              "The dial plan does not exist in the OV"
              "Deleted the existing entries for the Dial Plan = Suburb\n"
              "Deleted the Dial Plan file from = C:\\Program Files\\Norvane\\DialPlan\\Suburb\n"
              "Deleted the ReadMe file for the Dial Plan from the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Suburb\\ReadMe.txt \n",
              logOf("Suburb"));
}

TEST_P(UninstallProgram, NotThePublisherOnlyDeletesTheFiles)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    prefix_->registerDataSource("SERVER=not-" + zentra_test::HostName() +
                                ";DATABASE=" + db().database());
    deploy("Metro");
    const std::string before = db().snapshot();

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(0, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Metro", kComplete), result.err);
    EXPECT_EQ(before, db().snapshot());
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), metro));
    EXPECT_FALSE(FileExists(dialPlanFile("Metro")));
    EXPECT_FALSE(FileExists(zentraFile("Metro", "uninstall.exe")));
    EXPECT_FALSE(FileExists(zentraFile("Metro", "ReadMe.txt")));
    EXPECT_EQ("Deleted the Dial Plan file from = C:\\Program Files\\Norvane\\DialPlan\\Metro\n"
              "Deleted the ReadMe file for the Dial Plan from the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Metro\\ReadMe.txt \n",
              logOf("Metro"));
}

TEST_P(UninstallProgram, LogFallsBackToTheCurrentFolder)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    WriteFile(dialPlanFile("Metro"), "dial plan\n");
    // A file where the dial plan's folder belongs: no log can be made there.
    WriteFile(host(std::string(kZentraFolder) + "Metro"), "not a folder\n");

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(0, result.exitCode) << Describe(result);
    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_FALSE(FileExists(dialPlanFile("Metro")));
    EXPECT_EQ("not a folder\n", ReadFile(host(std::string(kZentraFolder) + "Metro")));
    EXPECT_EQ("Deleted the existing entries for the Dial Plan = Metro\n"
              "Deleted the Dial Plan file from = C:\\Program Files\\Norvane\\DialPlan\\Metro\n"
              "Deleted the ReadMe file for the Dial Plan from the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Metro\\ReadMe.txt \n",
              ReadFile(work_->path() + "/Metro_install.txt"));
}

// ---- Refusals: nothing is deleted ----

struct Refusal {
    const char* reference;
    const char* text;
};

TEST_P(UninstallProgram, ReferencesRefuseTheRemoval)
{
    const Refusal refusals[] = {
        {"pattern",
         "UnInstallation Failed.\nPlease remove the patterns\nassociated with this\nDial Plan and "
         "then UnInstall"},
        {"route list",
         "UnInstallation Failed.\nPlease remove the route lists\nassociated with this\nDial Plan "
         "and then UnInstall"},
        {"route filter",
         "UnInstallation Failed.\nPlease remove the route filters\nassociated with this\nDial "
         "Plan and then UnInstall"},
    };
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    deploy("Metro");
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.reference);
        db().exec("delete from NumPlan");
        db().exec("delete from RouteList");
        db().exec("delete from RouteFilter");
        const std::string reference = refusal.reference;
        if (reference == "pattern")
            removal_test::InsertPattern(db(), Guid('F', 1, 1), metro.pkid, metro.instructionPkids[0]);
        else if (reference == "route list")
            removal_test::InsertRouteList(db(), Guid('F', 3, 1), metro.instructionPkids[3]);
        else
            removal_test::InsertRouteFilter(db(), Guid('F', 2, 1), metro.pkid);
        const std::string before = db().snapshot();

        const ProgramResult result = run({"Metro"});

        EXPECT_EQ(255, result.exitCode) << Describe(result);
        EXPECT_EQ(Box("Metro", refusal.text), result.err);
        EXPECT_EQ(before, db().snapshot());
        EXPECT_TRUE(deployed("Metro"));
        const std::string log = logOf("Metro");
        EXPECT_EQ(0u, log.find("\n\nUnInstallDialPlan\n")) << log;
        EXPECT_TRUE(EndsWith(log, refusal.text)) << log;
        EXPECT_EQ(std::string::npos, log.find("delete")) << log;
    }
}

TEST_P(UninstallProgram, PatternRefusalComesFirst)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    removal_test::InsertRouteFilter(db(), Guid('F', 2, 1), metro.pkid);
    removal_test::InsertRouteList(db(), Guid('F', 3, 1), metro.instructionPkids[3]);
    removal_test::InsertPattern(db(), Guid('F', 1, 1), metro.pkid, metro.instructionPkids[0]);
    deploy("Metro");
    const std::string before = db().snapshot();

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(255, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Metro",
                  "UnInstallation Failed.\nPlease remove the patterns\nassociated with this\nDial "
                  "Plan and then UnInstall"),
              result.err);
    EXPECT_EQ(before, db().snapshot());
    EXPECT_TRUE(deployed("Metro"));
}

TEST_P(UninstallProgram, SecondRunFindsTheDialPlanFileGone)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    deploy("Metro");
    ASSERT_EQ(0, run({"Metro"}).exitCode);
    // A read-me put back meanwhile stays, as the removal stops at the dial-plan file.
    WriteFile(zentraFile("Metro", "ReadMe.txt"), "read me\n");

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(255, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Metro",
                  "Failed to delete the file C:\\Program Files\\Norvane\\DialPlan\\Metro "
                  "\nRequires manual deletion"),
              result.err);
    EXPECT_TRUE(FileExists(zentraFile("Metro", "ReadMe.txt")));
    EXPECT_EQ("\n\nUnInstallDialPlan\n"
              "select pkid from DialPlan where name='Metro'\n\n"
              "The dial plan does not exist in the OV"
              "Deleted the existing entries for the Dial Plan = Metro\n"
              "Failed to delete the DialPlan file from the destination "
              "C:\\Program Files\\Norvane\\DialPlan\\Metro"
              "GetLastError = 2\n",
              logOf("Metro"));
}

TEST_P(UninstallProgram, DatabaseErrorKeepsRowsAndFiles)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    if (GetParam() == Backend::SQLite) {
        db().exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                  "BEGIN SELECT RAISE(ABORT, 'blocked by the test'); END");
    } else {
        db().exec("CREATE FUNCTION block_tag_delete() RETURNS trigger LANGUAGE plpgsql AS "
                  "$$ BEGIN RAISE EXCEPTION 'blocked by the test'; END $$");
        db().exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                  "FOR EACH STATEMENT EXECUTE FUNCTION block_tag_delete()");
    }
    deploy("Metro");
    const std::string before = db().snapshot();

    const ProgramResult result = run({"Metro"});

    EXPECT_EQ(255, result.exitCode) << Describe(result);
    EXPECT_EQ(0u, result.err.find("[MessageBox] Metro\n")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("blocked by the test")) << result.err;
    EXPECT_EQ(before, db().snapshot());
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), metro));
    EXPECT_TRUE(deployed("Metro"));

    // The library's lines, then the database's message, which also is the box's text.
    const std::string log = logOf("Metro");
    const std::string lastDelete = "delete from DigitDiscardInstruction where "
                                   "fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n";
    const std::string::size_type end = log.find(lastDelete);
    ASSERT_NE(std::string::npos, end) << log;
    const std::string message = log.substr(end + lastDelete.size());
    EXPECT_NE(std::string::npos, message.find("blocked by the test")) << log;
    EXPECT_EQ(Box("Metro", message), result.err);
    EXPECT_EQ(std::string::npos, log.find("Deleted")) << log;
}

TEST_P(UninstallProgram, ConnectionFailureIsReported)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    const std::string missing = GetParam() == Backend::SQLite
                                    ? work_->path() + "/no such folder/orvilex.db"
                                    : "zentra_no_such_database";
    prefix_->registerDataSource("SERVER=" + zentra_test::HostName() + ";DATABASE=" + missing);
    deploy("Metro");

    const ProgramResult result = run({"Metro"});

    const std::string text =
        "UnInstallation Failed.Failed to connect to Database. Check the regitry entry "
        "DBConnection0";
    EXPECT_EQ(255, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("Metro", text), result.err);
    EXPECT_EQ(text, logOf("Metro"));
    EXPECT_TRUE(deployed("Metro"));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), metro));
}

TEST_P(UninstallProgram, MissingCommandLine)
{
    deploy("Metro");
    const std::set<std::string> before = FilesBelow(prefix_->path());

    const ProgramResult result = run({});

    EXPECT_EQ(255, result.exitCode) << Describe(result);
    EXPECT_EQ(Box("", "UnInstall Failed. Command Line parameter missing."), result.err);
    EXPECT_EQ(before, FilesBelow(prefix_->path()));
    EXPECT_TRUE(FilesBelow(work_->path()).empty());
}

TEST_P(UninstallProgram, NamesThatLeaveTheDialPlanFoldersDeleteNothing)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    deploy("Metro");
    // Where the files of these names would resolve to on a host that walks "..".
    for (const char* bait :
         {"C:\\Program Files\\x", "C:\\Program Files\\Norvane\\x\\uninstall.exe",
          "C:\\Program Files\\Norvane\\x\\ReadMe.txt", "C:\\Program Files\\Norvane\\y",
          "C:\\Program Files\\Norvane\\Orvilex\\y\\uninstall.exe",
          "C:\\Program Files\\Norvane\\Orvilex\\y\\ReadMe.txt"})
        WriteFile(host(bait), "keep\n");
    db().exec("insert into DialPlan (pkid, name) values ('" + Guid('C', 1, 1) + "', '..\\..\\x')");
    db().exec("insert into DialPlan (pkid, name) values ('" + Guid('D', 1, 1) + "', '../y')");
    const std::string before = db().snapshot();
    const std::set<std::string> files = FilesBelow(prefix_->path());

    const std::string tooLong(kMaxDialPlanNameLength + 1, 'L');
    for (const std::string& name : {std::string("..\\..\\x"), std::string("../y"), std::string(".."),
                                    std::string("Metro\\..\\..\\..\\x"), std::string("a:b"), tooLong}) {
        SCOPED_TRACE(name);
        const ProgramResult result = run({name});

        EXPECT_EQ(255, result.exitCode) << Describe(result);
        EXPECT_EQ(0u, result.err.find("[MessageBox] UnInstall Failed\n")) << result.err;
        EXPECT_EQ(1, CountBoxes(result.err)) << result.err;
    }
    EXPECT_EQ(before, db().snapshot());
    EXPECT_EQ(files, FilesBelow(prefix_->path()));
    EXPECT_TRUE(FilesBelow(work_->path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, UninstallProgram,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& backend) {
                             return zentra_test::BackendName(backend.param);
                         });

}  // namespace
