// A new installation driven as the setup program drives it, in this process:
// DialPlanMain, the ID rewrite, the loader, the deployment; the whole log of the
// run and the rows it leaves in the database.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "csv/CsvFixture.h"
#include "installer/CZentraSetup.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace csv_test;
using zentra_test::ReadFile;
using zentra_test::WriteFile;
using Rows = std::vector<List>;

namespace {

// The pkids of the dial plan, its tags T1 and T2, instructions I1 to I7 and members M1 and M2.
std::string Guid(int n) { return "3F2504E0-4F89-41D3-9A0C-0305E82C33" + std::to_string(10 + n); }
const std::string kD = Guid(1), kT1 = Guid(2), kT2 = Guid(3), kM1 = Guid(4), kM2 = Guid(5);
std::string Instruction(int k) { return Guid(10 + k); }  // k from 1

const char* const kNames[7] = {"NoDigits",          "PreDot",           "PreAt",   "Trailing-#",
                               "PreDot Trailing-#", "PreAt Trailing-#", "11D->10D"};
const char* const kClauses[7] = {"",
                                 "PRE-DOT",
                                 "PRE-AT",
                                 "TRAILING-#",
                                 "PRE-DOT TRAILING-#",
                                 "PRE-AT TRAILING-#",
                                 "LONG-DISTANCE-DIRECT-DIAL, AREA-CODE 100%s"};

std::string Braced(const std::string& guid) { return "{" + guid + "}"; }

// The dial plan's file; its instruction rows carry the given digit-analysis IDs.
List DialPlanLines(const std::string& name, const std::vector<std::string>& ids)
{
    const std::string d = Braced(kD);
    List lines = {"Table:DialPlan,,",
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
                  "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"};
    for (int k = 0; k < 7; ++k)
        lines.push_back(Braced(Instruction(k + 1)) + "," + kNames[k] + "," + d + "," + ids.at(k) + "," + kClauses[k]);
    return Concat({lines,
                   {"", "Table:DigitDiscardInstructionMember,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
                    "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
                    Braced(kM1) + "," + Braced(Instruction(7)) + "," + Braced(kT1),
                    Braced(kM2) + "," + Braced(Instruction(2)) + "," + Braced(kT2)}});
}

class InstallRoadTest : public DatabaseTest {
protected:
    // Delivers the dial plan's files into the current folder, next to another
    // dial plan that uses the IDs 1, 2 and 4, and drives the new-installation
    // road of the setup program: the lookup, the rewrite, the loader and the
    // deployment.
    void install(const std::string& name)
    {
        WriteFile(name + ".csv", Lines(DialPlanLines(name, {"1", "2", "3", "4", "5", "6", "7"})));
        WriteFile(name, "dialplan " + name + "\n");
        WriteFile(name + "ReadMe.txt", "read me");
        WriteFile("uninstall.exe", "uninstaller");
        fs::create_directories(hostPath(DialPlanPaths(name).folder()));
        useIds({1, 2, 4});
        CZentraSetup setup;
        ASSERT_EQ(setup.DBConnection(), 0);
        ASSERT_EQ(setup.DialPlanMain(name), 6);
        CZentraSetupTestProbe probe(setup);
        probe.ReplaceDAId(name);
        ASSERT_EQ(probe.csvPath(), name + ".csv");
        ASSERT_TRUE(setup.ZentraInstallCSVFile(probe.csvPath()));
        probe.CopyDialPlanFile();
    }
};

TEST_P(InstallRoadTest, NewInstallationWritesTheWholeLogAndLoadsTheRewrittenRows)
{
    ASSERT_NO_FATAL_FAILURE(install("Foo"));

    std::string expected = "\n\nBefore the start of CheckNewDialPlan"
                           "select * from DialPlan where name='Foo'select * from DialPlan where name='Foo'"
                           "\n\nThe Dial Plan table entries are\npkid, name, description \nNew Installation"
                           "\n\nIn ReplaceDAId\n";
    List written = DialPlanLines("Foo", {"3", "5", "6", "7", "8", "9", "10"});
    written.erase(written.begin() + 21);  // the empty line after the instructions is not logged
    for (const std::string& line : written)
        expected += "\n" + line;
    expected += "End of the function\n"
                "Before calling ZentraInstallCSVFile\n"
                "After calling ZentraInstallCSVFile\n"
                "\nThe dial plan file is Foo"
                "Copied the Dial Plan file to = C:\\Program Files\\Norvane\\DialPlan\\Foo\n"
                "Copied the uninstall file uninstall.exe to the path "
                "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\n"
                "Copied the ReadMe file FooReadMe.txt to the path "
                "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\n";
    EXPECT_EQ(logText("Foo"), expected);

    // The rows loaded are the rewritten ones.
    Rows expectedRows;
    const char* const ids[7] = {"3", "5", "6", "7", "8", "9", "10"};
    for (int k = 0; k < 7; ++k)
        expectedRows.push_back({Instruction(k + 1), kNames[k], ids[k], kClauses[k]});
    EXPECT_EQ(db->query("select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction "
                        "where fkDialPlan = '" +
                        kD + "' order by digitAnalysisID"),
              expectedRows);

    // No step but the deployment showed anything.
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, "Foo");
}

TEST_P(InstallRoadTest, NameWithAQuoteAndAPercentSignIsLookedUpSafelyAndLoggedLiterally)
{
    const std::string name = "O'Neil 100%s";
    ASSERT_NO_FATAL_FAILURE(install(name));

    const std::string lookup = "select * from DialPlan where name='O''Neil 100%s'";
    const std::string check = "\n\nBefore the start of CheckNewDialPlan" + lookup + lookup +
                              "\n\nThe Dial Plan table entries are\npkid, name, description \nNew Installation";
    EXPECT_EQ(logText(name).substr(0, check.size()), check);
    EXPECT_EQ(db->query("select name from DialPlan"), (Rows{{name}}));
}

ZENTRA_ON_EVERY_BACKEND(InstallRoadTest);

}  // namespace
