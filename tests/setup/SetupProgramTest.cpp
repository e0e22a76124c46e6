// End-to-end runs of the built setup program on a fresh prefix and a real
// database: the example dial plan installed, upgraded and refused, the files
// deployed, and the exit statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "setup/SetupMachineTest.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;
using Rows = std::vector<std::vector<std::string>>;

namespace {

// The rows of one section of a dial-plan file, in file order, as the database
// should hold them: pkids without braces (the example's only braces), the last
// field the rest of the line.
Rows SectionRows(std::string file, const std::string& marker, std::size_t fields)
{
    file.erase(std::remove_if(file.begin(), file.end(), [](char c) { return c == '\r' || c == '{' || c == '}'; }),
               file.end());
    std::istringstream in(file);
    std::string line;
    while (std::getline(in, line) && line != marker) {}
    while (std::getline(in, line) && line.find("UNIQUEIDENTIFIER") == std::string::npos) {}
    Rows rows;
    while (std::getline(in, line) && !line.empty()) {
        std::vector<std::string> row;
        std::string::size_type start = 0;
        for (std::size_t field = 1; field < fields; start = line.find(',', start) + 1, ++field)
            row.push_back(line.substr(start, line.find(',', start) - start));
        row.push_back(line.substr(start));
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << marker;
    return rows;
}

Rows Sorted(Rows rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The example's paths on the machine.
const zentra_run::DialPlanPaths kExample("Example");

// A folder's path without its closing backslash: where a file would stand in
// its way.
std::string WithoutBackslash(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

class SetupProgramTest : public SetupMachineTest {
protected:
    void SetUp() override
    {
        SetupMachineTest::SetUp();
        if (!IsSkipped())
            deliver("v1");
    }

    std::string examplePkid() { return db->scalar("select pkid from DialPlan where name = 'Example'"); }
    Rows installedInstructions()
    {
        return db->query("select pkid, name, fkDialPlan, digitAnalysisID, clause from DigitDiscardInstruction "
                         "where fkDialPlan = '" +
                         examplePkid() + "' order by digitAnalysisID");
    }

    // Checks that the database holds exactly the Example rows of the file, the
    // instructions with the given digit-analysis IDs (in file order).
    void expectInstalled(const std::string& file, const std::vector<std::string>& ids)
    {
        const std::string pkid = examplePkid();
        EXPECT_EQ(db->query("select pkid, name, description from DialPlan where name = 'Example'"),
                  SectionRows(file, "Table:DialPlan,,", 3));
        EXPECT_EQ(Sorted(db->query("select pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max from "
                                   "DialPlanTag where fkDialPlan = '" +
                                   pkid + "'")),
                  Sorted(SectionRows(file, "Table:DialPlanTag,,,,", 5)));
        EXPECT_EQ(Sorted(db->query("select m.pkid, m.fkDigitDiscardInstruction, m.fkDialPlanTag from "
                                   "DigitDiscardInstructionMember m, DigitDiscardInstruction i where "
                                   "m.fkDigitDiscardInstruction = i.pkid and i.fkDialPlan = '" +
                                   pkid + "'")),
                  Sorted(SectionRows(file, "Table:DigitDiscardInstructionMember,,", 3)));
        Rows instructions = SectionRows(file, "Table:DigitDiscardInstruction,,,,", 5);
        ASSERT_EQ(instructions.size(), ids.size());
        for (std::size_t k = 0; k < ids.size(); ++k)
            instructions[k][3] = ids[k];
        EXPECT_EQ(installedInstructions(), instructions);
    }
};

// A new machine has neither C:\Program Files\Norvane\DialPlan nor the Zentra
// folders yet.
class NewMachineTest : public SetupProgramTest {
protected:
    NewMachineTest() { folders = Prefix::Folders::Missing; }
};

TEST_P(SetupProgramTest, InstallsTheExampleNextToAnotherDialPlanWithFreeIds)
{
    // Another dial plan whose instructions use the IDs 1, 2 and 4.
    db->exec("insert into DialPlan (pkid, name, description) values "
             "('{0D0D0D0D-0000-4000-8000-000000000001}', 'Other', 'another dial plan')");
    for (const char* id : {"1", "2", "4"})
        db->exec(std::string("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                             "clause) values ('{0D0D0D0D-0000-4000-8000-00000000010") +
                 id + "}', 'Other" + id + "', '{0D0D0D0D-0000-4000-8000-000000000001}', " + id + ", '')");

    const ProgramResult result = runSetup({"Example"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

    // Exactly the file's rows, with new digit-analysis IDs that skip 1, 2 and 4.
    expectInstalled(example("v1", "Example.csv"), {"3", "5", "6", "7", "8", "9", "10", "11", "12", "13"});
    // Nothing else: the other dial plan is as it was.
    EXPECT_EQ(db->count("DialPlan"), 2);
    EXPECT_EQ(db->count("DialPlanTag"), 9);
    EXPECT_EQ(db->count("DigitDiscardInstruction"), 13);
    EXPECT_EQ(db->count("DigitDiscardInstruction", "digitAnalysisID in (1, 2, 4) and name like 'Other%'"), 3);
    EXPECT_EQ(db->count("DigitDiscardInstructionMember"), 61);

    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v1", "Example"));
    EXPECT_EQ(machineFile(kExample.deployedReadMe()), example("v1", "ExampleReadMe.txt"));
    EXPECT_EQ(machineFile(kExample.deployedUninstaller()), ReadFile("uninstall.exe"));
}

TEST_P(SetupProgramTest, RefusedOrFailedRunsChangeNothingOrReportTheirFailure)
{
    const std::string before = db->snapshot();
    EXPECT_EQ(runSetup({"Bad|Name"}).exitCode, 2);

    fs::remove("Example.csv");
    EXPECT_EQ(runSetup({"Example"}).exitCode, 3);
    EXPECT_FALSE(onMachine(WithoutBackslash(kExample.folder())));

    // A damaged file: a tag pkid that is no GUID, refused before anything else.
    std::string file = example("v1", "Example.csv");
    const std::string tag = "{F9E9267B-ABE0-58B3-B612-2CC6D41BB706},INTERNATIONAL-ACCESS";
    ASSERT_NE(file.find(tag), std::string::npos);
    WriteFile("Example.csv", file.replace(file.find(tag), tag.size(), "{NOT-A-GUID},INTERNATIONAL-ACCESS"));
    ProgramResult result = runSetup({"Example"});
    EXPECT_EQ(result.exitCode, 8) << result.out << result.err;
    EXPECT_NE(result.err.find("[MessageBox] Installation Failed\nThe dial plan file Example.csv cannot be installed; "
                              "nothing has been changed.\nExample.csv: line 9: pkid \"{NOT-A-GUID}\""),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ReadFile("Example.csv"), file);

    // A load that the database refuses half way: nothing loaded, nothing
    // deployed, and the delivered file as it was.
    deliver("v1");
    FailWrites(*db, "reject_tag", "DialPlanTag", "INSERT", "NEW.tag = 'INTERNATIONAL-ACCESS'", "rejected by the test");
    result = runSetup({"Example"});
    EXPECT_EQ(result.exitCode, 6) << result.out << result.err;
    EXPECT_NE(result.out.find("rejected by the test"), std::string::npos) << result.out;
    EXPECT_EQ(machineFile(kExample.installLog()).find("Copied"), std::string::npos);
    EXPECT_EQ(ReadFile("Example.csv"), example("v1", "Example.csv"));
    EXPECT_FALSE(FileExists("Example_new.csv"));
    EXPECT_FALSE(onMachine(kExample.rewrittenCopy()));
    db->exec(GetParam() == Backend::SQLite ? "DROP TRIGGER reject_tag" : "DROP TRIGGER reject_tag ON DialPlanTag");

    const std::string missing =
        GetParam() == Backend::SQLite ? "/nonexistent-folder/none.db" : "zentra_no_such_database";
    prefix->registerDataSource("SERVER=" + HostName() + ";DATABASE=" + missing);
    EXPECT_EQ(runSetup({"Example"}).exitCode, 4);
    EXPECT_EQ(runSetup({"--connect-only"}).exitCode, 1);

    EXPECT_EQ(db->snapshot(), before);
    for (const std::string& path :
         {kExample.deployedDialPlanFile(), kExample.deployedUninstaller(), kExample.deployedReadMe()})
        EXPECT_FALSE(onMachine(path)) << path;

    // Without the dial-plan file the installation is not reported as done.
    prefix->registerDatabase(*db);
    deliver("v1");
    fs::remove("Example");
    EXPECT_EQ(runSetup({"Example"}).exitCode, 9);
    EXPECT_FALSE(onMachine(kExample.deployedDialPlanFile()));
}

TEST_P(SetupProgramTest, ConnectOnlyAndAMachineThatIsNotThePublisher)
{
    ProgramResult result = runSetup({"--connect-only"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("DBConnection: 0\n"), std::string::npos) << result.out;

    // The publisher is another host: the files only are deployed.
    prefix->registerDataSource("SERVER=not-" + HostName() + ";DATABASE=" + db->database());
    result = runSetup({"--connect-only"});
    EXPECT_EQ(result.exitCode, 8);
    EXPECT_NE(result.out.find("DBConnection: 8\n"), std::string::npos) << result.out;

    const std::string before = db->snapshot();
    result = runSetup({"Example"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("not the database publisher (8)"), std::string::npos) << result.out;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v1", "Example"));
    EXPECT_EQ(machineFile(kExample.deployedReadMe()), example("v1", "ExampleReadMe.txt"));
    EXPECT_TRUE(onMachine(kExample.deployedUninstaller()));
    // Nothing was rewritten.
    EXPECT_EQ(ReadFile("Example.csv"), example("v1", "Example.csv"));
    EXPECT_EQ(machineFile(kExample.installLog()).substr(0, 30), "\nThe dial plan file is Example");
}

// The setup program makes the program folders, on the publisher and elsewhere.
TEST_P(NewMachineTest, InstallsOnAMachineWithoutTheProgramFolders)
{
    for (const bool publisher : {true, false}) {
        SCOPED_TRACE(publisher ? "the publisher" : "a machine that is not the publisher");
        fs::remove_all(hostPath("C:\\Program Files"));
        ASSERT_FALSE(onMachine("C:\\Program Files\\Norvane"));
        prefix->registerDataSource("SERVER=" + std::string(publisher ? "" : "not-") + HostName() +
                                   ";DATABASE=" + db->database());
        const std::string before = db->snapshot();

        const ProgramResult result = runSetup({"Example"});

        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        if (publisher)
            expectInstalled(example("v1", "Example.csv"), {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
        else
            EXPECT_EQ(db->snapshot(), before);
        EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v1", "Example"));
        EXPECT_EQ(machineFile(kExample.deployedReadMe()), example("v1", "ExampleReadMe.txt"));
        EXPECT_TRUE(onMachine(kExample.deployedUninstaller()));
    }
}

// A command line that cannot be used: one line that names the problem, one
// that points at the full text, and nothing done.
TEST_P(SetupProgramTest, UsageErrorsNameTheProblemAndPointAtTheHelp)
{
    const std::string before = db->snapshot();
    const struct {
        std::vector<std::string> arguments;
        std::string problem;
    } cases[] = {
        {{}, "the dial plan's name is missing"},
        {{"--no-such", "Example"}, "unknown option --no-such"},
        {{"Example", "Extra"}, "one dial plan name at most"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const ProgramResult result = runSetup(c.arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, "zentra-setup: " + c.problem + "\nTry 'zentra-setup --help'.\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_FALSE(onMachine(WithoutBackslash(kExample.folder())));

    // The full text goes to standard output.
    const ProgramResult help = runSetup({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("\nUsage: zentra-setup [--json] [--lock-timeout SECONDS] [--dry-run] NAME\n"),
              std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("\n   2  usage error, or a dial plan name that cannot be used\n"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

// Nothing is checked against a database, so nothing is deployed: a folder that
// cannot be made (exit 10), and a registry that names no server (exit 4, with a
// word on the registry value).
TEST_P(SetupProgramTest, NoFolderOrNoServerChangesNothing)
{
    const std::string before = db->snapshot();
    const std::string registered = db->dataSource();
    const struct {
        const char* what;
        std::string blocker;     // a file where this folder belongs
        std::string dataSource;  // "(none)": no DBConnection0 at all
        int exitCode;
    } cases[] = {
        {"the dial-plan folder is a file", WithoutBackslash(zentra_run::kDialPlanFolder), registered, 10},
        {"the dial plan's own folder is a file", WithoutBackslash(kExample.folder()), registered, 10},
        {"no data source registered", "", "(none)", 4},
        {"an empty data source", "", "", 4},
        {"a data source without SERVER=", "", "DATABASE=" + db->database(), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(hostPath("C:\\Program Files"));
        if (!c.blocker.empty())
            WriteFile(hostPath(c.blocker), "not a folder\n");  // with its parent folders
        if (c.dataSource == "(none)")
            fs::remove(prefix->path() + "/system.reg");
        else
            prefix->registerDataSource(c.dataSource);

        const ProgramResult result = runSetup({"Example"});

        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        if (c.exitCode == 4) {
            EXPECT_NE(result.err.find("DBConnection0"), std::string::npos) << result.err;
            EXPECT_EQ(runSetup({"--connect-only"}).exitCode, 1);
        }
        EXPECT_EQ(db->snapshot(), before);
        EXPECT_EQ(ReadFile("Example.csv"), example("v1", "Example.csv"));
        for (const std::string& path :
             {kExample.deployedDialPlanFile(), kExample.deployedUninstaller(), kExample.deployedReadMe()})
            EXPECT_FALSE(onMachine(path)) << path;
    }
}

TEST_P(SetupProgramTest, UpgradeIsRefusedWhileADroppedTagIsInUseAndThenDone)
{
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    std::map<std::string, std::string> v1Ids;  // digit-analysis IDs by pkid
    for (const auto& row : installedInstructions())
        v1Ids[row[0]] = row[3];
    // A route filter uses INTERNATIONAL-OPERATOR, which v2 drops.
    db->exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) values "
             "('{0F0F0F0F-0000-4000-8000-000000000001}', 'IntlOperator', '" +
             examplePkid() + "', '')");
    db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) values "
             "('{0F0F0F0F-0000-4000-8000-000000000002}', '{0F0F0F0F-0000-4000-8000-000000000001}', "
             "'{D84DC8DF-9801-57BB-9965-1102D6A7F187}', '')");
    const std::string before = db->snapshot();
    deliver("v2");

    ProgramResult result = runSetup({"Example"});
    EXPECT_EQ(result.exitCode, 5) << result.out << result.err;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v1", "Example"));

    db->exec("delete from RouteFilterMember");
    db->exec("delete from RouteFilter");
    result = runSetup({"Example"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("upgraded (7)"), std::string::npos) << result.out;
    // Kept instructions keep their installed IDs; the new one has the file's.
    const std::string v2 = example("v2", "Example.csv");
    std::vector<std::string> ids;
    for (const auto& row : SectionRows(v2, "Table:DigitDiscardInstruction,,,,", 5))
        ids.push_back(v1Ids.count(row[0]) != 0 ? v1Ids[row[0]] : row[3]);
    expectInstalled(v2, ids);
    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v2", "Example"));
    EXPECT_EQ(machineFile(kExample.deployedReadMe()), example("v2", "ExampleReadMe.txt"));
}

TEST_P(SetupProgramTest, AnotherRunOnThisMachineIsWaitedForAndThenStops)
{
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    deliver("v2");
    const std::string before = db->snapshot();
    // Another process holds the machine's run lock for a while.
    const std::string lock = hostPath("C:\\Program Files\\Norvane\\Orvilex\\Zentra.lock");
    std::thread holder([&lock] { RunProgram({"flock", lock, "sleep", "4"}, {}, ""); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const ProgramResult setup = runSetup({"--lock-timeout", "1", "Example"});
    std::map<std::string, std::string> environment = prefix->environment();
    environment["ZENTRA_LOCK_TIMEOUT"] = "1";
    const ProgramResult removal = RunProgram({UninstallProgramPath(), "Example"}, environment, work->path());
    holder.join();

    EXPECT_EQ(setup.exitCode, 11) << setup.out << setup.err;
    EXPECT_EQ(removal.exitCode, 255) << removal.out << removal.err;
    for (const ProgramResult* result : {&setup, &removal}) {
        // It said once that it waits, and then why it stopped.
        const std::string waiting = "Waiting for another run of Zentra";
        const std::string::size_type first = result->err.find(waiting);
        EXPECT_NE(first, std::string::npos) << result->err;
        EXPECT_EQ(result->err.find(waiting, first + 1), std::string::npos) << result->err;
        EXPECT_NE(result->err.find("Zentra.lock) longer than the wait allows"), std::string::npos) << result->err;
    }
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v1", "Example"));

    // Once it is free, the run goes ahead.
    EXPECT_EQ(runSetup({"Example"}).exitCode, 0);
    EXPECT_EQ(machineFile(kExample.deployedDialPlanFile()), example("v2", "Example"));
}

ZENTRA_ON_EVERY_BACKEND(SetupProgramTest);
ZENTRA_ON_EVERY_BACKEND(NewMachineTest);

}  // namespace
