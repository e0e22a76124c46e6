// A new installation driven as the setup program drives it, in this process:
// DialPlanMain, the ID rewrite, the loader, the deployment; the whole log of the
// run and the rows it leaves in the database.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "installer/CZentraSetupSteps.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
const std::string kDialPlan = "C:\\Program Files\\Norvane\\DialPlan\\";

const std::string kD = "3F2504E0-4F89-41D3-9A0C-0305E82C3301";
const std::string kT1 = "3F2504E0-4F89-41D3-9A0C-0305E82C3302";
const std::string kT2 = "3F2504E0-4F89-41D3-9A0C-0305E82C3303";
const std::string kI1 = "3F2504E0-4F89-41D3-9A0C-0305E82C3304";
const std::string kI2 = "3F2504E0-4F89-41D3-9A0C-0305E82C3305";
const std::string kI3 = "3F2504E0-4F89-41D3-9A0C-0305E82C3306";
const std::string kM1 = "3F2504E0-4F89-41D3-9A0C-0305E82C3307";
const std::string kM2 = "3F2504E0-4F89-41D3-9A0C-0305E82C3308";

std::string Braced(const std::string& guid) { return "{" + guid + "}"; }

// The dial plan's file; its instruction rows carry the given digit-analysis IDs.
std::vector<std::string> DialPlanLines(const std::string& name, const std::string& id1,
                                       const std::string& id2, const std::string& id3)
{
    const std::string d = Braced(kD);
    return {
        "Table:DialPlan,,",
        "pkid,name,description",
        "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
        d + "," + name + ",Test dial plan, 10 and 11 digits",
        "",
        "Table:DialPlanTag,,,,",
        "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max",
        "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
        Braced(kT1) + ",LONG-DISTANCE-DIRECT-DIAL," + d + ",f,1",
        Braced(kT2) + ",AREA-CODE," + d + ",t,2",
        "",
        "Table:DigitDiscardInstruction,,,,",
        "pkid,name,fkDialPlan,digitAnalysisID,clause",
        "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
        Braced(kI1) + ",NoDigits," + d + "," + id1 + ",",
        Braced(kI2) + ",PreDot," + d + "," + id2 + ",PRE-DOT",
        Braced(kI3) + ",11D->10D," + d + "," + id3 + ",LONG-DISTANCE-DIRECT-DIAL, AREA-CODE 100%s",
        "",
        "Table:DigitDiscardInstructionMember,,",
        "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
        "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
        Braced(kM1) + "," + Braced(kI3) + "," + Braced(kT1),
        Braced(kM2) + "," + Braced(kI2) + "," + Braced(kT2),
    };
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

class InstallRoadTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix = std::make_unique<Prefix>(GetParam());
        db = std::make_unique<HostDatabase>(GetParam());
        prefix->registerDatabase(*db);
        work = std::make_unique<WorkFolder>();
        boxes = std::make_unique<MessageBoxCapture>();
        // Another dial plan's instructions use the IDs 1, 2 and 4.
        for (int id : {1, 2, 4})
            db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                     "clause) values ('{6C1F0E2A-0000-4000-8000-00000000000" + std::to_string(id) +
                     "}', 'Other', '{6C1F0E2A-0000-4000-8000-0000000000FF}', " + std::to_string(id) +
                     ", '')");
    }

    void TearDown() override
    {
        boxes.reset();
        work.reset();
        db.reset();
        prefix.reset();
    }

    // Delivers the dial plan's files into the current folder and creates its folder.
    void deliver(const std::string& name)
    {
        WriteFile(work->path() + "/" + name + ".csv", Lines(DialPlanLines(name, "1", "2", "3")));
        WriteFile(work->path() + "/" + name, "dialplan " + name + "\n");
        WriteFile(work->path() + "/" + name + "ReadMe.txt", "read me");
        WriteFile(work->path() + "/uninstall.exe", "uninstaller");
        fs::create_directories(prefix->hostPath(kZentra + name));
    }

    // The new-installation road of the setup program.
    void install(const std::string& name)
    {
        CZentraSetup setup;
        ASSERT_EQ(setup.DBConnection(), 0);
        ASSERT_EQ(setup.DialPlanMain(name), 6);
        CZentraSetupSteps::ReplaceDAId(setup, name);
        ASSERT_EQ(CZentraSetupSteps::RewrittenCsvPath(setup), name + ".csv");
        ASSERT_TRUE(setup.ZentraInstallCSVFile(CZentraSetupSteps::RewrittenCsvPath(setup)));
        CZentraSetupSteps::CopyDialPlanFile(setup);
    }

    std::unique_ptr<Prefix> prefix;
    std::unique_ptr<HostDatabase> db;
    std::unique_ptr<WorkFolder> work;
    std::unique_ptr<MessageBoxCapture> boxes;
};

TEST_P(InstallRoadTest, NewInstallationWritesTheWholeLogAndLoadsTheRewrittenRows)
{
    deliver("Foo");
    install("Foo");

    std::string expected =
        "\n\nBefore the start of CheckNewDialPlan"
        "select * from DialPlan where name='Foo'select * from DialPlan where name='Foo'"
        "\n\nThe Dial Plan table entries are\npkid, name, description \nNew Installation"
        "\n\nIn ReplaceDAId\n";
    std::vector<std::string> written = DialPlanLines("Foo", "3", "5", "6");
    written.erase(written.begin() + 17);  // the empty line after the instructions is not logged
    for (const std::string& line : written)
        expected += "\n" + line;
    expected +=
        "End of the function\n"
        "Before calling ZentraInstallCSVFile\n"
        "After calling ZentraInstallCSVFile\n"
        "\nThe dial plan file is Foo"
        "Copied the Dial Plan file to = C:\\Program Files\\Norvane\\DialPlan\\Foo\n"
        "Copied the uninstall file uninstall.exe to the path "
        "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\n"
        "Copied the ReadMe file FooReadMe.txt to the path "
        "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\n";
    EXPECT_EQ(ReadFile(prefix->hostPath(kZentra + "Foo\\Foo_install.txt")), expected);

    EXPECT_EQ(db->query("select pkid, name, description from DialPlan"),
              (Rows{{kD, "Foo", "Test dial plan, 10 and 11 digits"}}));
    EXPECT_EQ(db->query("select pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max "
                        "from DialPlanTag order by tag"),
              (Rows{{kT2, "AREA-CODE", kD, "t", "2"}, {kT1, "LONG-DISTANCE-DIRECT-DIAL", kD, "f", "1"}}));
    EXPECT_EQ(db->query("select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction "
                        "where fkDialPlan = '" + kD + "' order by digitAnalysisID"),
              (Rows{{kI1, "NoDigits", "3", ""},
                    {kI2, "PreDot", "5", "PRE-DOT"},
                    {kI3, "11D->10D", "6", "LONG-DISTANCE-DIRECT-DIAL, AREA-CODE 100%s"}}));
    EXPECT_EQ(db->query("select pkid, fkDigitDiscardInstruction, fkDialPlanTag from "
                        "DigitDiscardInstructionMember order by pkid"),
              (Rows{{kM1, kI3, kT1}, {kM2, kI2, kT2}}));

    EXPECT_EQ(ReadFile(prefix->hostPath(kDialPlan + "Foo")), "dialplan Foo\n");
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, "Foo");
}

TEST_P(InstallRoadTest, NameWithAQuoteAndAPercentSignIsLookedUpSafelyAndLoggedLiterally)
{
    const std::string name = "O'Neil 100%s";
    deliver(name);
    install(name);

    const std::string log = ReadFile(prefix->hostPath(kZentra + name + "\\" + name + "_install.txt"));
    const std::string lookup = "select * from DialPlan where name='O''Neil 100%s'";
    EXPECT_EQ(log.substr(0, 2 + 36 + 2 * lookup.size()),
              "\n\nBefore the start of CheckNewDialPlan" + lookup + lookup);
    EXPECT_NE(log.find("\nThe dial plan file is " + name + "Copied the Dial Plan file to = " +
                       kDialPlan + name + "\n"),
              std::string::npos);
    EXPECT_EQ(db->query("select name from DialPlan"), (Rows{{name}}));
    EXPECT_EQ(ReadFile(prefix->hostPath(kDialPlan + name)), "dialplan " + name + "\n");
}

TEST_P(InstallRoadTest, MissingDeliveryLeavesNoFileForTheLoader)
{
    deliver("Foo");
    fs::remove(work->path() + "/Foo.csv");
    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    ASSERT_EQ(setup.DialPlanMain("Foo"), 6);
    CZentraSetupTestProbe(setup).csvPath() = "Stale.csv";

    CZentraSetupSteps::ReplaceDAId(setup, "Foo");

    EXPECT_EQ(CZentraSetupSteps::RewrittenCsvPath(setup), "");
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].text, "The dial plan file Foo.csv was not found");
}

INSTANTIATE_TEST_SUITE_P(Backends, InstallRoadTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return BackendName(param.param);
                         });

// On a machine that is not the publisher: the files only, logged to the install log.
TEST(DeployWithoutDatabase, DeploysTheFilesAndLogsToTheInstallLog)
{
    Prefix prefix(Backend::SQLite);
    WorkFolder work;
    MessageBoxCapture boxes;
    WriteFile(work.path() + "/Foo", "dialplan Foo\n");
    WriteFile(work.path() + "/FooReadMe.txt", "read me");
    WriteFile(work.path() + "/uninstall.exe", "uninstaller");
    fs::create_directories(prefix.hostPath(kZentra + "Foo"));

    CZentraSetup setup;
    ASSERT_TRUE(CZentraSetupSteps::DeployWithoutDatabase(setup, "Foo"));

    EXPECT_EQ(ReadFile(prefix.hostPath(kDialPlan + "Foo")), "dialplan Foo\n");
    EXPECT_EQ(ReadFile(prefix.hostPath(kZentra + "Foo\\ReadMe.txt")), "read me");
    EXPECT_EQ(ReadFile(prefix.hostPath(kZentra + "Foo\\Foo_install.txt")).substr(0, 26),
              "\nThe dial plan file is Foo");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Foo");

    // A name whose log path cannot fit is refused with nothing done.
    CZentraSetup other;
    EXPECT_FALSE(CZentraSetupSteps::DeployWithoutDatabase(other, std::string(250, 'x')));
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

}  // namespace
