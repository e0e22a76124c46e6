// The dial-plan file readers: sections found by their markers from the first
// line on, rows up to an empty line or the end of the file, the last-field rules,
// and CR LF read like LF.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

using zentra_test::ReadFile;
using zentra_test::SourceDir;
using zentra_test::WorkFolder;
using zentra_test::WriteFile;
using List = std::vector<std::string>;

namespace {

// Joins lines with the given line end after each.
std::string Lines(const List& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

const char* const kDialPlanHead[] = {"Table:DialPlan,,", "pkid,name,description",
                                     "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)"};

class CsvReaders : public ::testing::Test {
protected:
    CsvReaders() : probe(setup) {}

    // Writes Foo.csv with the given content and points the installer at it.
    void useFile(const std::string& content)
    {
        WriteFile(work.path() + "/Foo.csv", content);
        probe.csvPath() = "Foo.csv";
    }

    void readAll()
    {
        probe.CSVReadDialPlanDescription();
        probe.CSVReadDialPlanTagTable();
        probe.CSVReadDigitDiscardInstructionTable();
        probe.CSVReadDigitDiscardInstructionMemberTable();
    }

    WorkFolder work;
    CZentraSetup setup;
    CZentraSetupTestProbe probe;
};

TEST_F(CsvReaders, ReadsEveryFieldOfTheExampleFile)
{
    useFile(ReadFile(SourceDir() + "/examples/v1/Example.csv"));
    readAll();

    EXPECT_EQ(probe.csvDescription(),
              "Example site dial plan: North American numbering, 7-, 10- and 11-digit dialing, "
              "international access 011");

    ASSERT_EQ(probe.csvTagPkids().size(), 9u);
    EXPECT_EQ(probe.csvTags().size(), 9u);
    EXPECT_EQ(probe.csvTagSuppress().size(), 9u);
    EXPECT_EQ(probe.csvTagOperatorMax().size(), 9u);
    EXPECT_EQ(probe.csvTagPkids()[2], "{D84DC8DF-9801-57BB-9965-1102D6A7F187}");
    EXPECT_EQ(probe.csvTags()[2], "INTERNATIONAL-OPERATOR");
    EXPECT_EQ(probe.csvTagSuppress()[2], "f");
    EXPECT_EQ(probe.csvTagOperatorMax()[2], "2");
    EXPECT_EQ(probe.csvTags()[8], "SUBSCRIBER");
    EXPECT_EQ(probe.csvTagSuppress()[8], "t");

    ASSERT_EQ(probe.csvDdiPkids().size(), 10u);
    EXPECT_EQ(probe.csvDdiNames(),
              (List{"NoDigits", "PreDot", "PreAt", "Trailing-#", "PreDot Trailing-#",
                    "PreAt Trailing-#", "11D->10D", "10D->7D", "Intl->National", "Intl Operator"}));
    EXPECT_EQ(probe.csvDdiDaIds(), (List{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(probe.csvDdiClauses()[0], "");
    EXPECT_EQ(probe.csvDdiClauses()[5], "PRE-AT TRAILING-#");
    EXPECT_EQ(probe.csvDdiClauses()[8], "INTERNATIONAL-ACCESS COUNTRY-CODE, INTERNATIONAL-DIRECT-DIAL");
    EXPECT_EQ(probe.csvDdiPkids()[0], "{901422B8-9FC4-52D8-B28A-13C8657FF71D}");

    ASSERT_EQ(probe.csvDdiMemberPkids().size(), 61u);
    EXPECT_EQ(probe.csvDdiMemberDdis().size(), 61u);
    EXPECT_EQ(probe.csvDdiMemberTags().size(), 61u);
    EXPECT_EQ(probe.csvDdiMemberPkids()[0], "{32A93B23-C6E8-511B-917C-D3F38345F9E7}");
    EXPECT_EQ(probe.csvDdiMemberDdis()[0], "{901422B8-9FC4-52D8-B28A-13C8657FF71D}");
    EXPECT_EQ(probe.csvDdiMemberTags()[0], "{F9E9267B-ABE0-58B3-B612-2CC6D41BB706}");
    EXPECT_EQ(probe.csvDdiMemberTags()[60], "{D84DC8DF-9801-57BB-9965-1102D6A7F187}");
}

TEST_F(CsvReaders, BareLineFeedsReadLikeCarriageReturnLineFeeds)
{
    const std::string crlf = ReadFile(SourceDir() + "/examples/v2/Example.csv");
    std::string lf;
    for (char c : crlf)
        if (c != '\r')
            lf += c;
    ASSERT_NE(lf, crlf);

    useFile(crlf);
    readAll();
    CZentraSetup other;
    CZentraSetupTestProbe lfProbe(other);
    WriteFile(work.path() + "/Bar.csv", lf);
    lfProbe.csvPath() = "Bar.csv";
    lfProbe.CSVReadDialPlanDescription();
    lfProbe.CSVReadDialPlanTagTable();
    lfProbe.CSVReadDigitDiscardInstructionTable();
    lfProbe.CSVReadDigitDiscardInstructionMemberTable();

    EXPECT_EQ(lfProbe.csvDescription(), probe.csvDescription());
    EXPECT_EQ(lfProbe.csvTagPkids(), probe.csvTagPkids());
    EXPECT_EQ(lfProbe.csvTags(), probe.csvTags());
    EXPECT_EQ(lfProbe.csvTagSuppress(), probe.csvTagSuppress());
    EXPECT_EQ(lfProbe.csvTagOperatorMax(), probe.csvTagOperatorMax());
    EXPECT_EQ(lfProbe.csvDdiPkids(), probe.csvDdiPkids());
    EXPECT_EQ(lfProbe.csvDdiClauses(), probe.csvDdiClauses());
    EXPECT_EQ(lfProbe.csvDdiMemberTags(), probe.csvDdiMemberTags());
    // No carriage return is left at the end of any value.
    for (const std::string& tag : probe.csvDdiMemberTags())
        EXPECT_EQ(tag.find('\r'), std::string::npos) << tag;
    EXPECT_EQ(probe.csvDdiMemberTags().size(), 67u);
}

TEST_F(CsvReaders, EmptyLineRightAfterATypeRowGivesNoRows)
{
    useFile(Lines({"Table:DialPlan,,", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)", "{D},Foo,Desc", "",
                   "Table:DialPlanTag,,,,", "pkid,tag,fkDialPlan,s,o",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)", "",
                   "{T},LATE,{D},f,1", "", "Table:DigitDiscardInstruction,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText", "",
                   "{I},Late,{D},1,X", "", "Table:DigitDiscardInstructionMember,,",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "", "{M},{I},{T}"}));
    readAll();
    EXPECT_TRUE(probe.csvTagPkids().empty());
    EXPECT_TRUE(probe.csvTags().empty());
    EXPECT_TRUE(probe.csvTagOperatorMax().empty());
    EXPECT_TRUE(probe.csvDdiPkids().empty());
    EXPECT_TRUE(probe.csvDdiClauses().empty());
    EXPECT_TRUE(probe.csvDdiMemberPkids().empty());
    EXPECT_TRUE(probe.csvDdiMemberTags().empty());
    EXPECT_EQ(probe.csvDescription(), "Desc");
}

TEST_F(CsvReaders, SectionRunningToTheEndOfTheFileWithoutLineEndIsReadWhole)
{
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[2], "{D},Foo,Desc", "",
                   "Table:DigitDiscardInstructionMember,,",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "{M1},{I1},{T1}"}) +
            "{M2},{I2},{T2}");
    probe.CSVReadDigitDiscardInstructionMemberTable();
    EXPECT_EQ(probe.csvDdiMemberPkids(), (List{"{M1}", "{M2}"}));
    EXPECT_EQ(probe.csvDdiMemberDdis(), (List{"{I1}", "{I2}"}));
    EXPECT_EQ(probe.csvDdiMemberTags(), (List{"{T1}", "{T2}"}));

    // The same for a DialPlan row that is the last line of the file.
    useFile(std::string(kDialPlanHead[0]) + "\n" + kDialPlanHead[2] + "\n{D},Foo,Last row");
    probe.CSVReadDialPlanDescription();
    EXPECT_EQ(probe.csvDescription(), "Last row");
}

TEST_F(CsvReaders, LineOfCommasIsARowOfEmptyFields)
{
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[2], "{D},Foo,Desc", "", "Table:DialPlanTag,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)", ",,,,",
                   "{T},AFTER,{D},t,1", "", "Table:DigitDiscardInstruction,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText", ",,,,",
                   "{I},After,{D},2,C", "", "Table:DigitDiscardInstructionMember,,",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", ",,", "{M},{I},{T}"}));
    readAll();
    EXPECT_EQ(probe.csvTagPkids(), (List{"", "{T}"}));
    EXPECT_EQ(probe.csvTags(), (List{"", "AFTER"}));
    EXPECT_EQ(probe.csvTagSuppress(), (List{"", "t"}));
    EXPECT_EQ(probe.csvTagOperatorMax(), (List{"", "1"}));
    EXPECT_EQ(probe.csvDdiPkids(), (List{"", "{I}"}));
    EXPECT_EQ(probe.csvDdiNames(), (List{"", "After"}));
    EXPECT_EQ(probe.csvDdiDaIds(), (List{"", "2"}));
    EXPECT_EQ(probe.csvDdiClauses(), (List{"", "C"}));
    EXPECT_EQ(probe.csvDdiMemberPkids(), (List{"", "{M}"}));
    EXPECT_EQ(probe.csvDdiMemberDdis(), (List{"", "{I}"}));
    EXPECT_EQ(probe.csvDdiMemberTags(), (List{"", "{T}"}));
}

TEST_F(CsvReaders, LastFieldsKeepTheirCommasAndTheOperatorMaximumIsOneCharacter)
{
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[1], kDialPlanHead[2],
                   "{D},Foo,North, South, and \"quoted, text\"", "", "Table:DialPlanTag,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
                   "{T1},TWO,{D},f,12", "{T2},EMPTY,{D},t,", "{T3},EXTRA,{D},f,3,more",
                   "{T4},\"Quoted,Tag\",{D},f,1", "", "Table:DigitDiscardInstruction,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
                   "{I},11D->10D,{D},7,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER,,", "",
                   "Table:DigitDiscardInstructionMember,,",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "{M},{I},{T1},{T2}"}));
    readAll();
    EXPECT_EQ(probe.csvDescription(), "North, South, and \"quoted, text\"");
    EXPECT_EQ(probe.csvTagOperatorMax(), (List{"1", "", "3", "f"}));
    EXPECT_EQ(probe.csvTagSuppress(), (List{"f", "t", "f", "{D}"}));
    // A double quote opens no quoted field: the comma inside still separates.
    EXPECT_EQ(probe.csvTags(), (List{"TWO", "EMPTY", "EXTRA", "\"Quoted"}));
    EXPECT_EQ(probe.csvDdiClauses(), (List{"INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER,,"}));
    EXPECT_EQ(probe.csvDdiDaIds(), (List{"7"}));
    EXPECT_EQ(probe.csvDdiMemberTags(), (List{"{T1},{T2}"}));
}

TEST_F(CsvReaders, SectionsMayStandInAnyOrderAndMarkersAreFoundWithinTheirLine)
{
    // Members first, then instructions, then tags; markers with more text around them.
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[2], "{D},Foo,Desc", "",
                   "Table:DigitDiscardInstructionMember,,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "{M},{I},{T}", "",
                   "x Table:DigitDiscardInstruction,,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
                   "{I},NoDigits,{D},1,", "", "Table:DialPlanTag,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
                   "{T},TAG,{D},f,1"}));
    readAll();
    EXPECT_EQ(probe.csvDdiMemberPkids(), (List{"{M}"}));
    // The member section, which comes first, is not taken for the instructions.
    EXPECT_EQ(probe.csvDdiPkids(), (List{"{I}"}));
    EXPECT_EQ(probe.csvDdiNames(), (List{"NoDigits"}));
    EXPECT_EQ(probe.csvTagPkids(), (List{"{T}"}));
    EXPECT_EQ(probe.csvTags(), (List{"TAG"}));
}

TEST_F(CsvReaders, ListsOnlyGrowAndTheDescriptionIsReplaced)
{
    useFile(ReadFile(SourceDir() + "/examples/v1/Example.csv"));
    probe.csvDescription() = "old";
    readAll();
    readAll();
    EXPECT_EQ(probe.csvTagPkids().size(), 18u);
    EXPECT_EQ(probe.csvDdiClauses().size(), 20u);
    EXPECT_EQ(probe.csvDdiMemberPkids().size(), 122u);
    EXPECT_EQ(probe.csvDdiNames()[10], "NoDigits");
    EXPECT_NE(probe.csvDescription().find("Example site dial plan"), std::string::npos);
}

TEST_F(CsvReaders, MissingFileAddsNothingAndEmptiesTheDescription)
{
    probe.csvPath() = "Missing.csv";
    probe.csvDescription() = "old";
    probe.csvTags().push_back("kept");
    readAll();
    EXPECT_EQ(probe.csvDescription(), "");
    EXPECT_EQ(probe.csvTags(), (List{"kept"}));
    EXPECT_TRUE(probe.csvTagPkids().empty());
    EXPECT_TRUE(probe.csvDdiPkids().empty());
    EXPECT_TRUE(probe.csvDdiMemberPkids().empty());
}

TEST_F(CsvReaders, DescriptionIsEmptyWithoutATypeRowOrARowAfterIt)
{
    useFile(Lines({"Table:DialPlan,,", "pkid,name,description", "{D},Foo,Desc"}));
    probe.csvDescription() = "old";
    probe.CSVReadDialPlanDescription();
    EXPECT_EQ(probe.csvDescription(), "");

    useFile(Lines({"Table:DialPlan,,", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)"}));
    probe.csvDescription() = "old";
    probe.CSVReadDialPlanDescription();
    EXPECT_EQ(probe.csvDescription(), "");
}

TEST_F(CsvReaders, MissingSectionLeavesItsListsEmpty)
{
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[2], "{D},Foo,Desc", "", "Table:DialPlanTag,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
                   "{T},TAG,{D},f,1"}));
    readAll();
    EXPECT_EQ(probe.csvTags(), (List{"TAG"}));
    EXPECT_TRUE(probe.csvDdiPkids().empty());
    EXPECT_TRUE(probe.csvDdiMemberPkids().empty());
}

TEST_F(CsvReaders, RowsWithTooFewFieldsGiveEmptyFieldsInsteadOfFailing)
{
    useFile(Lines({kDialPlanHead[0], kDialPlanHead[2], "{D}", "", "Table:DialPlanTag,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)", "{T},SHORT",
                   "", "Table:DigitDiscardInstruction,,,,",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText", "{I}", "",
                   "Table:DigitDiscardInstructionMember,,",
                   "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER", "{M},{I}"}));
    readAll();
    EXPECT_EQ(probe.csvDescription(), "");
    EXPECT_EQ(probe.csvTagPkids(), (List{"{T}"}));
    EXPECT_EQ(probe.csvTags(), (List{"SHORT"}));
    EXPECT_EQ(probe.csvTagSuppress(), (List{""}));
    EXPECT_EQ(probe.csvTagOperatorMax(), (List{""}));
    EXPECT_EQ(probe.csvDdiPkids(), (List{"{I}"}));
    EXPECT_EQ(probe.csvDdiNames(), (List{""}));
    EXPECT_EQ(probe.csvDdiClauses(), (List{""}));
    EXPECT_EQ(probe.csvDdiMemberDdis(), (List{"{I}"}));
    EXPECT_EQ(probe.csvDdiMemberTags(), (List{""}));
}

}  // namespace
