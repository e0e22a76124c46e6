// The digit-analysis ID rewrite of a new dial plan's file, against a real
// database: the IDs chosen, the rewritten file, the kept delivered file, the copy
// in the dial plan's folder, the log, and the failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "csv/CsvFixture.h"
#include "odbc/odbc.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace csv_test;
using zentra_test::FileExists;
using zentra_test::ReadFile;
using zentra_test::WriteFile;

namespace {

// A small dial plan: one tag, three instructions (the clause of the third holds
// commas), one member; the DialPlan row's description holds commas too.
const List kHead = {"Table:DialPlan,,",
                    "pkid,name,description",
                    "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
                    "{D},Foo,Foo dial plan, 7, 10 and 11 digits",
                    "",
                    "Table:DialPlanTag,,,,",
                    "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max",
                    "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
                    "{T},INTERNATIONAL-ACCESS,{D},f,1",
                    "",
                    "Table:DigitDiscardInstruction,,,,",
                    "pkid,name,fkDialPlan,digitAnalysisID,clause"};
const std::string kTypeRow = "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText";
// The instruction rows with the given digit-analysis IDs.
List Rows(const char* id1, const char* id2, const char* id3)
{
    return {std::string("{I1},NoDigits,{D},") + id1 + ",", std::string("{I2},PreDot,{D},") + id2 + ",PRE-DOT",
            std::string("{I3},11D->10D,{D},") + id3 + ",INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER"};
}
const List kTail = {"Table:DigitDiscardInstructionMember,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
                    "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "{M},{I3},{T}"};
const List kDelivered = Concat({kHead, {kTypeRow}, Rows("1", "2", "77"), {""}, kTail});

// The log of a rewrite that wrote the given lines; the empty line written after
// the instruction rows is not logged.
std::string ExpectedLog(const List& loggedLines)
{
    std::string log = "\n\nIn ReplaceDAId\n";
    for (const std::string& line : loggedLines)
        log += "\n" + line;
    return log + "End of the function\n";
}

class ReplaceDAIdTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (!IsSkipped()) {
            ASSERT_EQ(setup.DBConnection(), 0);
        }
    }

    // The dial plan's folder and install log, as DialPlanMain sets them up.
    void useName(const std::string& name)
    {
        fs::create_directories(hostPath(DialPlanPaths(name).folder()));
        probe.setLogPath(DialPlanPaths(name).installLog());
    }

    // Checks that count message boxes were shown, the last one as given.
    void expectBoxes(std::size_t count, const std::string& caption, const std::string& text)
    {
        ASSERT_EQ(boxes->boxes().size(), count);
        EXPECT_EQ(boxes->boxes().back().caption, caption);
        EXPECT_EQ(boxes->boxes().back().text, text);
    }

    // Closed before the database goes.
    CZentraSetup setup;
    CZentraSetupTestProbe probe{setup};
};

TEST_P(ReplaceDAIdTest, RewritesTheFileWithTheSmallestFreeIdsInFileOrder)
{
    // The rewritten file has CR LF line ends and an empty line after the
    // instruction rows; an older delivery kept as NAME_new.csv is replaced.
    const struct {
        const char* title;
        std::string name;
        std::vector<int> used;  // by another dial plan, from this case on
        std::string delivered;
        List written;  // written and logged up to that empty line
        List rest;     // written and logged after it
    } cases[] = {
        {"bare LF line ends",
         "Lf",
         {},
         Lines(kDelivered, "\n"),
         Concat({kHead, {kTypeRow}, Rows("1", "2", "3")}),
         kTail},
        {"the instruction section at the end of the file, its last row without line end",
         "End",
         {},
         Lines(Concat({kHead, {kTypeRow, "{I1},NoDigits,{D},7,"}}), "\n") + "{I2},PreDot,{D},8,PRE-DOT",
         Concat({kHead, {kTypeRow, "{I1},NoDigits,{D},1,", "{I2},PreDot,{D},2,PRE-DOT"}}),
         {}},
        {"a section without rows",
         "Empty",
         {},
         Lines(Concat({kHead, {kTypeRow, ""}, kTail})),
         Concat({kHead, {kTypeRow}}),
         kTail},
        {"the type row written in its exact form",
         "Type",
         {},
         Lines(Concat({kHead, {" " + kTypeRow + ",,extra"}, Rows("1", "2", "77")})),
         Concat({kHead, {kTypeRow}, Rows("1", "2", "3")}),
         {}},
        {"percent signs and quotes written literally",
         "O'Neil 100%s%d",
         {},
         Lines(Concat({kHead, {kTypeRow, "{I1},Pct %s,{D},7,100%n%s%d%% DIGITS"}})),
         Concat({kHead, {kTypeRow, "{I1},Pct %s,{D},1,100%n%s%d%% DIGITS"}}),
         {}},
        {"IDs 1, 2 and 4 in use",
         "Foo",
         {4, 1, 2},
         Lines(kDelivered),
         Concat({kHead, {kTypeRow}, Rows("3", "5", "6")}),
         kTail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        useIds(c.used);
        useName(c.name);
        WriteFile(c.name + "_new.csv", "an older delivery\r\n");
        WriteFile(c.name + ".csv", c.delivered);
        probe.ReplaceDAId(c.name);

        const std::string rewritten = Lines(c.written) + "\r\n" + Lines(c.rest);
        EXPECT_EQ(ReadFile(c.name + ".csv"), rewritten);
        EXPECT_EQ(ReadFile(c.name + "_new.csv"), c.delivered);
        EXPECT_EQ(machineFile(DialPlanPaths(c.name).rewrittenCopy()), rewritten);
        EXPECT_EQ(logText(c.name), ExpectedLog(Concat({c.written, c.rest})));
        EXPECT_EQ(probe.csvPath(), c.name + ".csv");
        EXPECT_EQ(probe.newCsvPath(), c.name + "_new.csv");
        EXPECT_EQ(probe.log(), nullptr);
    }
    EXPECT_TRUE(boxes->boxes().empty());
    // The database is only read.
    EXPECT_EQ(db->count("DigitDiscardInstruction"), 3);

    // More rows than a 16-bit count holds are numbered on: 3, then 5 onwards.
    useName("Many");
    std::string many = Lines(Concat({kHead, {kTypeRow}}));
    for (int k = 0; k < 70000; ++k)
        many += "{R" + std::to_string(k) + "},Row,{D},0,CLAUSE\r\n";
    WriteFile("Many.csv", many + "\r\n" + Lines(kTail));
    probe.ReplaceDAId("Many");
    const std::string numbered = ReadFile("Many.csv");
    EXPECT_NE(numbered.find("\r\n{R0},Row,{D},3,CLAUSE\r\n{R1},Row,{D},5,CLAUSE\r\n"), std::string::npos);
    EXPECT_NE(numbered.find("\r\n{R64999},Row,{D},65003,CLAUSE\r\n"), std::string::npos);
    EXPECT_NE(numbered.find("\r\n{R69999},Row,{D},70003,CLAUSE\r\n\r\n" + Lines(kTail)), std::string::npos);
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_P(ReplaceDAIdTest, FailuresLeaveTheDeliveredFileAsItWas)
{
    // Without the delivered file: reported, nothing moved or written, nothing
    // named for the loader.
    useName("Foo");
    WriteFile("Foo_new.csv", "an older delivery\r\n");
    probe.ReplaceDAId("Foo");
    expectBoxes(1, "Foo.csv", "The dial plan file Foo.csv was not found");
    EXPECT_FALSE(FileExists("Foo.csv"));
    EXPECT_EQ(ReadFile("Foo_new.csv"), "an older delivery\r\n");
    EXPECT_FALSE(onMachine(DialPlanPaths("Foo").rewrittenCopy()));
    EXPECT_EQ(probe.csvPath(), "");
    EXPECT_EQ(logText("Foo"), "\n\nIn ReplaceDAId\n\nThe dial plan file Foo.csv was not found\n");
    EXPECT_EQ(probe.log(), nullptr);
    // A deployment after that stops at the dial-plan file, which has no name.
    probe.CopyDialPlanFile();
    expectBoxes(2, "", "Failed to Copy the DialPlan file to the path C:\\Program Files\\Norvane\\DialPlan\\ ");

    // A folder of the kept file's name cannot be replaced by a file.
    useName("Bar");
    fs::create_directory("Bar_new.csv");
    WriteFile("Bar.csv", Lines(kDelivered));
    probe.ReplaceDAId("Bar");
    expectBoxes(3, "Bar.csv", "Cannot move the dial plan file Bar.csv to Bar_new.csv");
    EXPECT_EQ(ReadFile("Bar.csv"), Lines(kDelivered));
    EXPECT_EQ(probe.csvPath(), "");
    EXPECT_FALSE(onMachine(DialPlanPaths("Bar").rewrittenCopy()));

    // Without the dial plan's folder the copy fails; the rewrite itself is done.
    probe.setLogPath(DialPlanPaths("Baz").installLog());
    WriteFile("Baz.csv", Lines(kDelivered));
    probe.ReplaceDAId("Baz");
    expectBoxes(4, "Baz.csv",
                "Failed to Copy the CSV file to the path "
                "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Baz\\Baz.csv ");
    EXPECT_EQ(ReadFile("Baz.csv"), Lines(Concat({kHead, {kTypeRow}, Rows("1", "2", "3"), {""}, kTail})));
    EXPECT_EQ(ReadFile("Baz_new.csv"), Lines(kDelivered));

    // A database error leaves the files as delivered and closes the log.
    useName("Qux");
    WriteFile("Qux.csv", Lines(kDelivered));
    db->exec("drop table DigitDiscardInstruction");
    EXPECT_THROW(probe.ReplaceDAId("Qux"), odbc::SQLException);
    EXPECT_EQ(ReadFile("Qux.csv"), Lines(kDelivered));
    EXPECT_FALSE(FileExists("Qux_new.csv"));
    EXPECT_EQ(probe.log(), nullptr);
    EXPECT_EQ(logText("Qux"), "\n\nIn ReplaceDAId\n");
}

ZENTRA_ON_EVERY_BACKEND(ReplaceDAIdTest);

}  // namespace
