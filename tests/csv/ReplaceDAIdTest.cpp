// The digit-analysis ID rewrite of a new dial plan's file, against a real
// database: the IDs chosen, the rewritten file, the kept delivered file, the copy
// in the dial plan's folder, the log, and the failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";

std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// The log that ReplaceDAId writes for the given written lines: every line but
// the empty one after the instruction rows.
std::string ExpectedLog(const std::vector<std::string>& loggedLines)
{
    std::string log = "\n\nIn ReplaceDAId\n";
    for (const std::string& line : loggedLines)
        log += "\n" + line;
    return log + "End of the function\n";
}

// A small dial plan: one tag, three instructions (the clause of the third holds
// commas), one member; the DialPlan row's description holds commas too.
const std::vector<std::string> kHead = {
    "Table:DialPlan,,",
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
    "pkid,name,fkDialPlan,digitAnalysisID,clause",
};
const std::string kTypeRow = "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText";
const std::vector<std::string> kDeliveredRows = {
    "{I1},NoDigits,{D},1,",
    "{I2},PreDot,{D},2,PRE-DOT",
    "{I3},11D->10D,{D},77,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER",
};
const std::vector<std::string> kTail = {
    "Table:DigitDiscardInstructionMember,,",
    "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
    "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
    "{M},{I3},{T}",
};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kDelivered = Concat({kHead, {kTypeRow}, kDeliveredRows, {""}, kTail});

class ReplaceDAIdTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix = std::make_unique<Prefix>(GetParam());
        db = std::make_unique<HostDatabase>(GetParam());
        prefix->registerDatabase(*db);
        work = std::make_unique<WorkFolder>();
        boxes = std::make_unique<MessageBoxCapture>();
        setup = std::make_unique<CZentraSetup>();
        probe = std::make_unique<CZentraSetupTestProbe>(*setup);
        ASSERT_EQ(setup->DBConnection(), 0);
        useName("Foo");
    }

    void TearDown() override
    {
        probe.reset();
        setup.reset();
        boxes.reset();
        work.reset();
        db.reset();
        prefix.reset();
    }

    // The dial plan's folder and install log, as DialPlanMain sets them up.
    void useName(const std::string& name)
    {
        fs::create_directories(prefix->hostPath(kZentra + name));
        probe->setLogPath(kZentra + name + "\\" + name + "_install.txt");
    }

    std::string logText(const std::string& name = "Foo")
    {
        return ReadFile(prefix->hostPath(kZentra + name + "\\" + name + "_install.txt"));
    }

    std::string workFile(const std::string& name) { return ReadFile(work->path() + "/" + name); }
    void writeWorkFile(const std::string& name, const std::string& content)
    {
        WriteFile(work->path() + "/" + name, content);
    }

    // Instructions of another dial plan, using the given IDs.
    void useIds(const std::vector<int>& ids)
    {
        int n = 0;
        for (int id : ids) {
            ++n;
            db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, "
                     "digitAnalysisID, clause) values ('{0000000" + std::to_string(n) +
                     "-AAAA-4BBB-8CCC-DDDDDDDDDDDD}', 'Other" + std::to_string(n) +
                     "', '{99999999-AAAA-4BBB-8CCC-DDDDDDDDDDDD}', " + std::to_string(id) +
                     ", 'PRE-DOT')");
        }
    }

    std::unique_ptr<Prefix> prefix;
    std::unique_ptr<HostDatabase> db;
    std::unique_ptr<WorkFolder> work;
    std::unique_ptr<MessageBoxCapture> boxes;
    std::unique_ptr<CZentraSetup> setup;
    std::unique_ptr<CZentraSetupTestProbe> probe;
};

TEST_P(ReplaceDAIdTest, GivesTheSmallestFreeIdsInFileOrderAndKeepsTheDeliveredFile)
{
    useIds({4, 1, 2});
    const std::string delivered = Lines(kDelivered);
    writeWorkFile("Foo.csv", delivered);

    probe->ReplaceDAId("Foo");

    const std::vector<std::string> rows = {
        "{I1},NoDigits,{D},3,",
        "{I2},PreDot,{D},5,PRE-DOT",
        "{I3},11D->10D,{D},6,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER",
    };
    const std::string rewritten = Lines(Concat({kHead, {kTypeRow}, rows, {""}, kTail}));
    EXPECT_EQ(workFile("Foo.csv"), rewritten);
    EXPECT_EQ(workFile("Foo_new.csv"), delivered);
    EXPECT_EQ(ReadFile(prefix->hostPath(kZentra + "Foo\\Foo.csv")), rewritten);
    EXPECT_EQ(probe->csvPath(), "Foo.csv");
    EXPECT_EQ(probe->newCsvPath(), "Foo_new.csv");
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_EQ(probe->log(), nullptr);

    EXPECT_EQ(logText(),
              "\n\nIn ReplaceDAId\n"
              "\nTable:DialPlan,,"
              "\npkid,name,description"
              "\nUNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)"
              "\n{D},Foo,Foo dial plan, 7, 10 and 11 digits"
              "\n"
              "\nTable:DialPlanTag,,,,"
              "\npkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max"
              "\nUNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)"
              "\n{T},INTERNATIONAL-ACCESS,{D},f,1"
              "\n"
              "\nTable:DigitDiscardInstruction,,,,"
              "\npkid,name,fkDialPlan,digitAnalysisID,clause"
              "\nUNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"
              "\n{I1},NoDigits,{D},3,"
              "\n{I2},PreDot,{D},5,PRE-DOT"
              "\n{I3},11D->10D,{D},6,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER"
              "\nTable:DigitDiscardInstructionMember,,"
              "\npkid,fkDigitDiscardInstruction,fkDialPlanTag"
              "\nUNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"
              "\n{M},{I3},{T}"
              "End of the function\n");
    // The database is only read.
    EXPECT_EQ(db->count("DigitDiscardInstruction"), 3);
}

TEST_P(ReplaceDAIdTest, BareLineFeedFileComesOutWithCrLfAndIdsFromOne)
{
    writeWorkFile("Foo.csv", Lines(kDelivered, "\n"));

    probe->ReplaceDAId("Foo");

    const std::vector<std::string> rows = {
        "{I1},NoDigits,{D},1,",
        "{I2},PreDot,{D},2,PRE-DOT",
        "{I3},11D->10D,{D},3,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER",
    };
    EXPECT_EQ(workFile("Foo.csv"), Lines(Concat({kHead, {kTypeRow}, rows, {""}, kTail})));
    EXPECT_EQ(workFile("Foo_new.csv"), Lines(kDelivered, "\n"));
}

TEST_P(ReplaceDAIdTest, InstructionSectionAtTheEndOfTheFileGetsAnEmptyLineAfterIt)
{
    // The last row has no line end.
    writeWorkFile("Foo.csv", Lines(Concat({kHead, {kTypeRow}, {kDeliveredRows[0]}}), "\n") +
                                 kDeliveredRows[1]);
    useIds({1});

    probe->ReplaceDAId("Foo");

    EXPECT_EQ(workFile("Foo.csv"),
              Lines(Concat({kHead, {kTypeRow}, {"{I1},NoDigits,{D},2,", "{I2},PreDot,{D},3,PRE-DOT"},
                            {""}})));
    EXPECT_EQ(logText(),
              ExpectedLog(Concat({kHead, {kTypeRow}, {"{I1},NoDigits,{D},2,", "{I2},PreDot,{D},3,PRE-DOT"}})));
}

TEST_P(ReplaceDAIdTest, SectionWithoutRowsIsRewrittenUnchanged)
{
    writeWorkFile("Foo.csv", Lines(Concat({kHead, {kTypeRow, ""}, kTail})));

    probe->ReplaceDAId("Foo");

    EXPECT_EQ(workFile("Foo.csv"), Lines(Concat({kHead, {kTypeRow, ""}, kTail})));
    EXPECT_EQ(logText(), ExpectedLog(Concat({kHead, {kTypeRow}, kTail})));
}

TEST_P(ReplaceDAIdTest, TypeRowIsWrittenInItsExactForm)
{
    writeWorkFile("Foo.csv", Lines(Concat({kHead, {" " + kTypeRow + ",,extra"}, kDeliveredRows})));

    probe->ReplaceDAId("Foo");

    const std::string rewritten = workFile("Foo.csv");
    EXPECT_NE(rewritten.find("\r\n" + kTypeRow + "\r\n{I1},NoDigits,{D},1,\r\n"), std::string::npos)
        << rewritten;
    EXPECT_EQ(rewritten.find("extra"), std::string::npos);
}

TEST_P(ReplaceDAIdTest, OlderKeptFileIsReplacedByTheNewDelivery)
{
    writeWorkFile("Foo_new.csv", "an older delivery\r\n");
    writeWorkFile("Foo.csv", Lines(kDelivered));

    probe->ReplaceDAId("Foo");

    EXPECT_EQ(workFile("Foo_new.csv"), Lines(kDelivered));
    EXPECT_NE(workFile("Foo.csv").find("{I3},11D->10D,{D},3,"), std::string::npos);
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_P(ReplaceDAIdTest, MissingFileIsReportedAndNothingIsMovedOrWritten)
{
    writeWorkFile("Foo_new.csv", "an older delivery\r\n");

    probe->ReplaceDAId("Foo");

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, "Foo.csv");
    EXPECT_EQ(boxes->boxes()[0].text, "The dial plan file Foo.csv was not found");
    EXPECT_FALSE(FileExists(work->path() + "/Foo.csv"));
    EXPECT_EQ(workFile("Foo_new.csv"), "an older delivery\r\n");
    EXPECT_FALSE(FileExists(prefix->hostPath(kZentra + "Foo\\Foo.csv")));
    // Nothing names a rewritten file for the loader.
    EXPECT_EQ(probe->csvPath(), "");
    EXPECT_EQ(logText(), "\n\nIn ReplaceDAId\n\nThe dial plan file Foo.csv was not found\n");
    EXPECT_EQ(probe->log(), nullptr);
}

TEST_P(ReplaceDAIdTest, FailedMoveLeavesTheDeliveredFileUntouched)
{
    // A folder of the kept file's name cannot be replaced by a file.
    fs::create_directory(work->path() + "/Foo_new.csv");
    writeWorkFile("Foo.csv", Lines(kDelivered));

    probe->ReplaceDAId("Foo");

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, "Foo.csv");
    EXPECT_EQ(boxes->boxes()[0].text, "Cannot move the dial plan file Foo.csv to Foo_new.csv");
    EXPECT_EQ(workFile("Foo.csv"), Lines(kDelivered));
    EXPECT_EQ(probe->csvPath(), "");
    EXPECT_FALSE(FileExists(prefix->hostPath(kZentra + "Foo\\Foo.csv")));
}

TEST_P(ReplaceDAIdTest, FailedCopyIntoTheFolderIsReported)
{
    writeWorkFile("Foo.csv", Lines(kDelivered));
    fs::remove_all(prefix->hostPath(kZentra + "Foo"));

    probe->ReplaceDAId("Foo");

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, "Foo.csv");
    EXPECT_EQ(boxes->boxes()[0].text,
              "Failed to Copy the CSV file to the path C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\Foo.csv ");
    // The rewrite itself is done.
    EXPECT_NE(workFile("Foo.csv").find("{I1},NoDigits,{D},1,"), std::string::npos);
    EXPECT_EQ(workFile("Foo_new.csv"), Lines(kDelivered));
}

TEST_P(ReplaceDAIdTest, DatabaseErrorLeavesTheFilesAsDeliveredAndClosesTheLog)
{
    writeWorkFile("Foo.csv", Lines(kDelivered));
    db->exec("drop table DigitDiscardInstruction");

    EXPECT_THROW(probe->ReplaceDAId("Foo"), odbc::SQLException);

    EXPECT_EQ(workFile("Foo.csv"), Lines(kDelivered));
    EXPECT_FALSE(FileExists(work->path() + "/Foo_new.csv"));
    EXPECT_EQ(probe->log(), nullptr);
    EXPECT_EQ(logText(), "\n\nIn ReplaceDAId\n");
}

TEST_P(ReplaceDAIdTest, PercentSignsAndQuotesAreWrittenLiterally)
{
    const std::string name = "O'Neil 100%s%d";
    useName(name);
    const std::vector<std::string> delivered = Concat(
        {kHead, {kTypeRow, "{I1},Pct %s,{D},1,100%n%s%d%% DIGITS"}});
    writeWorkFile(name + ".csv", Lines(delivered));

    probe->ReplaceDAId(name);

    const std::vector<std::string> written =
        Concat({kHead, {kTypeRow, "{I1},Pct %s,{D},1,100%n%s%d%% DIGITS"}});
    EXPECT_EQ(workFile(name + ".csv"), Lines(Concat({written, {""}})));
    EXPECT_EQ(workFile(name + "_new.csv"), Lines(delivered));
    EXPECT_EQ(ReadFile(prefix->hostPath(kZentra + name + "\\" + name + ".csv")),
              Lines(Concat({written, {""}})));
    EXPECT_EQ(logText(name), ExpectedLog(written));
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_P(ReplaceDAIdTest, MoreThanSixtyFiveThousandRowsAreNumberedWithoutOverflow)
{
    useIds({1, 2, 4});
    const int rows = 70000;
    std::string delivered = Lines(Concat({kHead, {kTypeRow}}));
    for (int k = 0; k < rows; ++k)
        delivered += "{R" + std::to_string(k) + "},Row,{D},0,CLAUSE\r\n";
    delivered += "\r\n" + Lines(kTail);
    writeWorkFile("Foo.csv", delivered);

    probe->ReplaceDAId("Foo");

    const std::string rewritten = workFile("Foo.csv");
    // Free IDs: 3, then 5 onwards.
    EXPECT_NE(rewritten.find("\r\n{R0},Row,{D},3,CLAUSE\r\n{R1},Row,{D},5,CLAUSE\r\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\r\n{R64999},Row,{D},65003,CLAUSE\r\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\r\n{R69999},Row,{D},70003,CLAUSE\r\n\r\n" + Lines(kTail)),
              std::string::npos);
    EXPECT_TRUE(boxes->boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ReplaceDAIdTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return BackendName(param.param);
                         });

}  // namespace
