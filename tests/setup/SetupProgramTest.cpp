// End-to-end runs of the built setup program on a fresh prefix and a real
// database: the example dial plan installed, upgraded and refused, the files
// deployed, the log, and the exit statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
const std::string kDialPlan = "C:\\Program Files\\Norvane\\DialPlan\\";
const std::string kTypeRow = "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText";

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The first fields-1 commas separate; the last field is the rest of the line.
std::vector<std::string> SplitFields(const std::string& line, std::size_t fields)
{
    std::vector<std::string> values;
    std::string::size_type start = 0;
    while (values.size() + 1 < fields) {
        const std::string::size_type comma = line.find(',', start);
        values.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    values.push_back(line.substr(start));
    return values;
}

std::string Bare(const std::string& braced) { return braced.substr(1, braced.size() - 2); }

// The rows of one section of a dial-plan file, as the database should hold
// them: pkids bare, fields in file order.
Rows SectionRows(const std::string& file, const std::string& marker, std::size_t fields)
{
    const std::vector<std::string> lines = SplitLines(file);
    auto at = std::find(lines.begin(), lines.end(), marker);
    EXPECT_NE(at, lines.end()) << marker;
    while (at != lines.end() && at->find("UNIQUEIDENTIFIER") == std::string::npos)
        ++at;
    Rows rows;
    for (++at; at != lines.end() && !at->empty(); ++at) {
        std::vector<std::string> row = SplitFields(*at, fields);
        for (std::string& value : row)
            if (!value.empty() && value.front() == '{' && value.back() == '}')
                value = Bare(value);
        rows.push_back(row);
    }
    return rows;
}

Rows Sorted(Rows rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

class SetupProgramTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        if (!FileExists(SetupProgramPath()))
            GTEST_SKIP() << "zentra-setup is not built";
        prefix = std::make_unique<Prefix>(GetParam());
        db = std::make_unique<HostDatabase>(GetParam());
        prefix->registerDatabase(*db);
        work = std::make_unique<WorkFolder>();
        deliver("v1");
    }

    void TearDown() override
    {
        work.reset();
        db.reset();
        prefix.reset();
    }

    // Copies a version of the example into the working folder, with an uninstaller.
    void deliver(const std::string& version)
    {
        for (const char* file : {"Example.csv", "Example", "ExampleReadMe.txt"})
            WriteFile(work->path() + "/" + file,
                      ReadFile(SourceDir() + "/examples/" + version + "/" + file));
        WriteFile(work->path() + "/uninstall.exe", "uninstaller of the Example dial plan");
    }

    std::string example(const std::string& version, const std::string& file)
    {
        return ReadFile(SourceDir() + "/examples/" + version + "/" + file);
    }

    ProgramResult run(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{SetupProgramPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(argv, prefix->environment(), work->path());
    }

    std::string deployed(const std::string& windowsPath) { return ReadFile(prefix->hostPath(windowsPath)); }
    bool isDeployed(const std::string& windowsPath) { return FileExists(prefix->hostPath(windowsPath)); }

    // Another dial plan whose instructions use the IDs 1, 2 and 4.
    void installOtherDialPlan()
    {
        db->exec("insert into DialPlan (pkid, name, description) values "
                 "('{0D0D0D0D-0000-4000-8000-000000000001}', 'Other', 'another dial plan')");
        for (int id : {1, 2, 4})
            db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                     "clause) values ('{0D0D0D0D-0000-4000-8000-00000000010" + std::to_string(id) +
                     "}', 'Other" + std::to_string(id) +
                     "', '{0D0D0D0D-0000-4000-8000-000000000001}', " + std::to_string(id) + ", '')");
    }

    std::string exampleDialPlanPkid()
    {
        return db->scalar("select pkid from DialPlan where name = 'Example'");
    }

    // The Example dial plan's rows, in the file's field order.
    Rows installedTags()
    {
        return db->query("select pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max from "
                         "DialPlanTag where fkDialPlan = '" + exampleDialPlanPkid() + "'");
    }
    Rows installedInstructions()
    {
        return db->query("select pkid, name, fkDialPlan, digitAnalysisID, clause from "
                         "DigitDiscardInstruction where fkDialPlan = '" + exampleDialPlanPkid() +
                         "' order by digitAnalysisID");
    }
    Rows installedMembers()
    {
        return db->query("select m.pkid, m.fkDigitDiscardInstruction, m.fkDialPlanTag from "
                         "DigitDiscardInstructionMember m, DigitDiscardInstruction i where "
                         "m.fkDigitDiscardInstruction = i.pkid and i.fkDialPlan = '" +
                         exampleDialPlanPkid() + "'");
    }

    std::unique_ptr<Prefix> prefix;
    std::unique_ptr<HostDatabase> db;
    std::unique_ptr<WorkFolder> work;
};

TEST_P(SetupProgramTest, InstallsTheExampleWithFreeIdsAndDeploysItsFiles)
{
    installOtherDialPlan();
    const std::string delivered = example("v1", "Example.csv");

    const ProgramResult result = run({"Example"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("Connecting to the configuration database... connected (0)\n"),
              std::string::npos)
        << result.out;

    // Exactly the file's rows, with new digit-analysis IDs that skip 1, 2 and 4.
    const Rows dialPlan = SectionRows(delivered, "Table:DialPlan,,", 3);
    ASSERT_EQ(dialPlan.size(), 1u);
    EXPECT_EQ(db->query("select pkid, name, description from DialPlan where name = 'Example'"),
              dialPlan);
    EXPECT_EQ(db->count("DialPlan"), 2);
    EXPECT_EQ(Sorted(installedTags()), Sorted(SectionRows(delivered, "Table:DialPlanTag,,,,", 5)));
    EXPECT_EQ(db->count("DialPlanTag"), 9);

    Rows expectedInstructions = SectionRows(delivered, "Table:DigitDiscardInstruction,,,,", 5);
    ASSERT_EQ(expectedInstructions.size(), 10u);
    const char* const newIds[] = {"3", "5", "6", "7", "8", "9", "10", "11", "12", "13"};
    for (std::size_t k = 0; k < expectedInstructions.size(); ++k)
        expectedInstructions[k][3] = newIds[k];
    EXPECT_EQ(installedInstructions(), expectedInstructions);
    EXPECT_EQ(db->count("DigitDiscardInstruction"), 13);
    EXPECT_EQ(db->count("DigitDiscardInstruction", "digitAnalysisID in (1, 2, 4)"), 3);
    EXPECT_EQ(db->count("DigitDiscardInstruction", "digitAnalysisID in (1, 2, 4) and name like 'Other%'"), 3);

    EXPECT_EQ(Sorted(installedMembers()),
              Sorted(SectionRows(delivered, "Table:DigitDiscardInstructionMember,,", 3)));
    EXPECT_EQ(db->count("DigitDiscardInstructionMember"), 61);

    // The files: delivered file kept, rewritten file loaded and copied, the three deployed.
    EXPECT_EQ(ReadFile(work->path() + "/Example_new.csv"), delivered);
    const std::string rewritten = ReadFile(work->path() + "/Example.csv");
    EXPECT_EQ(deployed(kZentra + "Example\\Example.csv"), rewritten);
    EXPECT_EQ(deployed(kDialPlan + "Example"), example("v1", "Example"));
    EXPECT_EQ(deployed(kZentra + "Example\\ReadMe.txt"), example("v1", "ExampleReadMe.txt"));
    EXPECT_EQ(deployed(kZentra + "Example\\uninstall.exe"), "uninstaller of the Example dial plan");

    // The whole log of the run.
    std::vector<std::string> written = SplitLines(rewritten);
    const auto typeRow = std::find(written.begin(), written.end(), kTypeRow);
    ASSERT_NE(typeRow, written.end());
    ASSERT_TRUE((typeRow + 11)->empty());
    written.erase(typeRow + 11);  // the section's closing empty line is not logged
    std::string expected =
        "\n\nBefore the start of CheckNewDialPlan"
        "select * from DialPlan where name='Example'select * from DialPlan where name='Example'"
        "\n\nThe Dial Plan table entries are\npkid, name, description \nNew Installation"
        "\n\nIn ReplaceDAId\n";
    for (const std::string& line : written)
        expected += "\n" + line;
    expected +=
        "End of the function\n"
        "Before calling ZentraInstallCSVFile\n"
        "After calling ZentraInstallCSVFile\n"
        "\nThe dial plan file is Example"
        "Copied the Dial Plan file to = C:\\Program Files\\Norvane\\DialPlan\\Example\n"
        "Copied the uninstall file uninstall.exe to the path "
        "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Example\\uninstall.exe\n"
        "Copied the ReadMe file ExampleReadMe.txt to the path "
        "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Example\\ReadMe.txt\n";
    EXPECT_EQ(deployed(kZentra + "Example\\Example_install.txt"), expected);
}

TEST_P(SetupProgramTest, FailingLoaderStopsTheInstallationWithNothingDeployed)
{
    std::string file = example("v1", "Example.csv");
    const std::string tagPkid = "{F9E9267B-ABE0-58B3-B612-2CC6D41BB706},INTERNATIONAL-ACCESS";
    ASSERT_NE(file.find(tagPkid), std::string::npos);
    file.replace(file.find(tagPkid), tagPkid.size(), "{NOT-A-GUID},INTERNATIONAL-ACCESS");
    WriteFile(work->path() + "/Example.csv", file);
    const std::string before = db->snapshot();

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 6) << result.out << result.err;
    EXPECT_NE(result.out.find("NOT-A-GUID"), std::string::npos) << result.out;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_FALSE(isDeployed(kDialPlan + "Example"));
    EXPECT_FALSE(isDeployed(kZentra + "Example\\uninstall.exe"));
    EXPECT_FALSE(isDeployed(kZentra + "Example\\ReadMe.txt"));
    EXPECT_EQ(deployed(kZentra + "Example\\Example_install.txt").find("Copied"), std::string::npos);
}

TEST_P(SetupProgramTest, MissingDeliveredFileStopsBeforeAnythingIsTouched)
{
    fs::remove(work->path() + "/Example.csv");
    const std::string before = db->snapshot();

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_FALSE(isDeployed(kZentra + "Example"));
    EXPECT_FALSE(isDeployed(kDialPlan + "Example"));
}

TEST_P(SetupProgramTest, UnusableNameOrArgumentsAreRefused)
{
    EXPECT_EQ(run({"Bad|Name"}).exitCode, 2);
    EXPECT_EQ(run({}).exitCode, 2);
    EXPECT_EQ(run({"Example", "Extra"}).exitCode, 2);
    EXPECT_EQ(run({"--no-such-option"}).exitCode, 2);
    EXPECT_EQ(db->count("DialPlan"), 0);

    const ProgramResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    EXPECT_NE(help.out.find("  6  the CSV loader failed"), std::string::npos);
}

TEST_P(SetupProgramTest, ConnectOnlyPrintsTheConnectionResult)
{
    ProgramResult result = run({"--connect-only"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("DBConnection: 0\n"), std::string::npos) << result.out;

    prefix->registerDataSource("SERVER=not-" + HostName() + ";DATABASE=" + db->database());
    result = run({"--connect-only"});
    EXPECT_EQ(result.exitCode, 8);
    EXPECT_NE(result.out.find("DBConnection: 8\n"), std::string::npos) << result.out;
}

TEST_P(SetupProgramTest, FailedConnectionStopsTheInstallation)
{
    const std::string missing = GetParam() == Backend::SQLite ? "/nonexistent-folder/none.db"
                                                              : "zentra_no_such_database";
    prefix->registerDataSource("SERVER=" + HostName() + ";DATABASE=" + missing);

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 4) << result.out << result.err;
    EXPECT_FALSE(isDeployed(kDialPlan + "Example"));
    EXPECT_EQ(run({"--connect-only"}).exitCode, 1);
}

TEST_P(SetupProgramTest, MachineThatIsNotThePublisherDeploysTheFilesOnly)
{
    prefix->registerDataSource("SERVER=not-" + HostName() + ";DATABASE=" + db->database());
    const std::string before = db->snapshot();

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("not the database publisher (8)"), std::string::npos) << result.out;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(deployed(kDialPlan + "Example"), example("v1", "Example"));
    EXPECT_EQ(deployed(kZentra + "Example\\ReadMe.txt"), example("v1", "ExampleReadMe.txt"));
    EXPECT_TRUE(isDeployed(kZentra + "Example\\uninstall.exe"));
    // The delivered file is left as it is: nothing was rewritten.
    EXPECT_EQ(ReadFile(work->path() + "/Example.csv"), example("v1", "Example.csv"));
    EXPECT_EQ(deployed(kZentra + "Example\\Example_install.txt").substr(0, 30),
              "\nThe dial plan file is Example");
}

TEST_P(SetupProgramTest, MissingDialPlanFileIsNotReportedAsSuccess)
{
    fs::remove(work->path() + "/Example");

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 9) << result.out << result.err;
    EXPECT_FALSE(isDeployed(kDialPlan + "Example"));
}

TEST_P(SetupProgramTest, UpgradesVersionOneToVersionTwo)
{
    ASSERT_EQ(run({"Example"}).exitCode, 0);
    const Rows v1Instructions = installedInstructions();
    deliver("v2");
    const std::string v2 = example("v2", "Example.csv");

    const ProgramResult result = run({"Example"});

    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("upgraded (7)"), std::string::npos) << result.out;
    EXPECT_EQ(db->query("select pkid, name, description from DialPlan"),
              SectionRows(v2, "Table:DialPlan,,", 3));
    EXPECT_EQ(Sorted(installedTags()), Sorted(SectionRows(v2, "Table:DialPlanTag,,,,", 5)));
    EXPECT_EQ(Sorted(installedMembers()),
              Sorted(SectionRows(v2, "Table:DigitDiscardInstructionMember,,", 3)));

    // Kept instructions keep their installed IDs; the new one has the file's.
    Rows expected = SectionRows(v2, "Table:DigitDiscardInstruction,,,,", 5);
    std::map<std::string, std::string> installedIds;
    for (const auto& row : v1Instructions)
        installedIds[row[0]] = row[3];
    for (auto& row : expected)
        if (installedIds.count(row[0]) != 0)
            row[3] = installedIds[row[0]];
    EXPECT_EQ(installedInstructions(), expected);
    EXPECT_EQ(db->scalar("select clause from DigitDiscardInstruction where name = 'PreAt'"),
              "PRE-AT TRANSIT-NETWORK");
    EXPECT_EQ(db->scalar("select digitAnalysisID from DigitDiscardInstruction where name = 'Carrier Access'"),
              "9001");

    EXPECT_EQ(deployed(kDialPlan + "Example"), example("v2", "Example"));
    EXPECT_EQ(deployed(kZentra + "Example\\ReadMe.txt"), example("v2", "ExampleReadMe.txt"));
}

TEST_P(SetupProgramTest, UpgradeDroppingATagInUseIsRefusedAndChangesNothing)
{
    ASSERT_EQ(run({"Example"}).exitCode, 0);
    // A route filter still uses INTERNATIONAL-OPERATOR, which v2 drops.
    db->exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) values "
             "('{0F0F0F0F-0000-4000-8000-000000000001}', 'IntlOperator', '" + exampleDialPlanPkid() +
             "', '')");
    db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) values "
             "('{0F0F0F0F-0000-4000-8000-000000000002}', '{0F0F0F0F-0000-4000-8000-000000000001}', "
             "'{D84DC8DF-9801-57BB-9965-1102D6A7F187}', '')");
    const std::string before = db->snapshot();
    deliver("v2");

    const ProgramResult result = run({"Example"});

    EXPECT_EQ(result.exitCode, 5) << result.out << result.err;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(deployed(kDialPlan + "Example"), example("v1", "Example"));
}

INSTANTIATE_TEST_SUITE_P(Backends, SetupProgramTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return BackendName(param.param);
                         });

}  // namespace
