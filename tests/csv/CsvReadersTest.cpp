// The dial-plan file readers: sections found by their markers from the first
// line on, rows up to an empty line or the end of the file, the last-field rules,
// and CR LF read like LF.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "csv/CsvFixture.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

using csv_test::Concat;
using csv_test::Lines;
using csv_test::List;
using zentra_test::ReadFile;
using zentra_test::SourceDir;

namespace {

// What the four readers leave in the installer: the description, and the rows
// read of each section that has any, their fields joined by '|'.
using Fields = std::map<std::string, List>;

const List kPlan = {"Table:DialPlan,,", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)", "{D},Foo,Desc", ""};
const List kTags = {"Table:DialPlanTag,,,,", "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)"};
const List kInstructions = {"Table:DigitDiscardInstruction,,,,",
                            "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"};
const List kMembers = {"Table:DigitDiscardInstructionMember,,", "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"};

// The rows of the column lists of one section, each list as long as the first.
List JoinRows(const std::vector<const List*>& columns)
{
    List joined(columns.front()->size());
    for (const List* column : columns) {
        EXPECT_EQ(column->size(), joined.size());
        for (std::size_t row = 0; row < joined.size() && row < column->size(); ++row)
            joined[row] += (column == columns.front() ? "" : "|") + (*column)[row];
    }
    return joined;
}

Fields ReadAll(const std::string& path)
{
    CZentraSetup setup;
    CZentraSetupTestProbe p(setup);
    p.csvPath() = path;
    p.CSVReadDialPlanDescription();
    p.CSVReadDialPlanTagTable();
    p.CSVReadDigitDiscardInstructionTable();
    p.CSVReadDigitDiscardInstructionMemberTable();
    Fields fields{{"description", {p.csvDescription()}}};
    const std::pair<const char*, List> sections[] = {
        {"tags", JoinRows({&p.csvTagPkids(), &p.csvTags(), &p.csvTagSuppress(), &p.csvTagOperatorMax()})},
        {"instructions", JoinRows({&p.csvDdiPkids(), &p.csvDdiNames(), &p.csvDdiDaIds(), &p.csvDdiClauses()})},
        {"members", JoinRows({&p.csvDdiMemberPkids(), &p.csvDdiMemberDdis(), &p.csvDdiMemberTags()})},
    };
    for (const auto& [key, rows] : sections)
        if (!rows.empty())
            fields[key] = rows;
    return fields;
}

// Reads Foo.csv of the current folder, written with the given content.
Fields Read(const std::string& content)
{
    zentra_test::WriteFile("Foo.csv", content);
    return ReadAll("Foo.csv");
}

TEST(CsvReaders, ReadsEveryFieldOfTheExampleFileWithEitherLineEnd)
{
    zentra_test::WorkFolder work;
    const std::string crlf = zentra_test::ExampleFile("v1", "Example.csv");
    std::string lf;
    std::copy_if(crlf.begin(), crlf.end(), std::back_inserter(lf), [](char c) { return c != '\r'; });
    ASSERT_NE(lf, crlf);

    Fields f = Read(crlf);
    EXPECT_EQ(Read(lf), f);
    EXPECT_EQ(f["description"], (List{"Example site dial plan: North American numbering, 7-, 10- and "
                                      "11-digit dialing, international access 011"}));
    ASSERT_EQ(f["tags"].size(), 9u);
    EXPECT_EQ(f["tags"][2], "{D84DC8DF-9801-57BB-9965-1102D6A7F187}|INTERNATIONAL-OPERATOR|f|2");
    EXPECT_EQ(f["instructions"].at(0).substr(0, 38), "{901422B8-9FC4-52D8-B28A-13C8657FF71D}");
    List instructions;  // without their pkids
    for (const std::string& row : f["instructions"])
        instructions.push_back(row.substr(38));
    EXPECT_EQ(instructions,
              (List{"|NoDigits|1|", "|PreDot|2|PRE-DOT", "|PreAt|3|PRE-AT", "|Trailing-#|4|TRAILING-#",
                    "|PreDot Trailing-#|5|PRE-DOT TRAILING-#", "|PreAt Trailing-#|6|PRE-AT TRAILING-#",
                    "|11D->10D|7|LONG-DISTANCE-DIRECT-DIAL", "|10D->7D|8|LONG-DISTANCE-DIRECT-DIAL AREA-CODE",
                    "|Intl->National|9|INTERNATIONAL-ACCESS COUNTRY-CODE, INTERNATIONAL-DIRECT-DIAL",
                    "|Intl Operator|10|INTERNATIONAL-ACCESS INTERNATIONAL-OPERATOR"}));
    ASSERT_EQ(f["members"].size(), 61u);
    EXPECT_EQ(f["members"][0], "{32A93B23-C6E8-511B-917C-D3F38345F9E7}|{901422B8-9FC4-52D8-B28A-13C8657FF71D}|"
                               "{F9E9267B-ABE0-58B3-B612-2CC6D41BB706}");
}

TEST(CsvReaders, EdgesOfTheLayout)
{
    zentra_test::WorkFolder work;
    const struct {
        const char* title;
        std::string content;
        Fields expected;
    } cases[] = {
        {"an empty line right after a type row ends the section",
         Lines(Concat({kPlan,
                       kTags,
                       {"", "{T},LATE,{D},f,1", ""},
                       kInstructions,
                       {"", "{I},Late,{D},1,X", ""},
                       kMembers,
                       {"", "{M},{I},{T}"}})),
         {{"description", {"Desc"}}}},
        // The sections missing here leave their lists empty.
        {"a section running to the end of the file without a line end",
         Lines(Concat({kPlan, kMembers, {"{M1},{I1},{T1}"}})) + "{M2},{I2},{T2}",
         {{"description", {"Desc"}}, {"members", {"{M1}|{I1}|{T1}", "{M2}|{I2}|{T2}"}}}},
        {"a line of commas is a row of empty fields",
         Lines(Concat({kPlan,
                       kTags,
                       {",,,,", "{T},AFTER,{D},t,1", ""},
                       kInstructions,
                       {",,,,", "{I},After,{D},2,C", ""},
                       kMembers,
                       {",,", "{M},{I},{T}"}})),
         {{"description", {"Desc"}},
          {"tags", {"|||", "{T}|AFTER|t|1"}},
          {"instructions", {"|||", "{I}|After|2|C"}},
          {"members", {"||", "{M}|{I}|{T}"}}}},
        // A double quote opens no quoted field: a comma inside still separates.
        {"last fields keep their commas, the operator maximum is one character",
         Lines({"Table:DialPlan,,", "pkid,name,description", kPlan[1], "{D},Foo,North, South, and \"quoted, text\"", "",
                kTags[0], kTags[1], "{T1},TWO,{D},f,12", "{T2},EMPTY,{D},t,", "{T3},EXTRA,{D},f,3,more",
                "{T4},\"Quoted,Tag\",{D},f,1", "", kInstructions[0], kInstructions[1],
                "{I},11D->10D,{D},7,INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER,,", "", kMembers[0], kMembers[1],
                "{M},{I},{T1},{T2}"}),
         {{"description", {"North, South, and \"quoted, text\""}},
          {"tags", {"{T1}|TWO|f|1", "{T2}|EMPTY|t|", "{T3}|EXTRA|f|3", "{T4}|\"Quoted|{D}|f"}},
          {"instructions", {"{I}|11D->10D|7|INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER,,"}},
          {"members", {"{M}|{I}|{T1},{T2}"}}}},
        // The member section, which comes first, is not taken for the instructions.
        {"sections in any order, markers found within their line",
         Lines(Concat(
             {kPlan,
              {"Table:DigitDiscardInstructionMember,,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag", kMembers[1],
               "{M},{I},{T}", "", "x Table:DigitDiscardInstruction,,,,,", kInstructions[1], "{I},NoDigits,{D},1,", ""},
              kTags,
              {"{T},TAG,{D},f,1"}})),
         {{"description", {"Desc"}},
          {"tags", {"{T}|TAG|f|1"}},
          {"instructions", {"{I}|NoDigits|1|"}},
          {"members", {"{M}|{I}|{T}"}}}},
        {"rows with too few fields give empty fields",
         Lines(Concat({{kPlan[0], kPlan[1], "{D}", ""},
                       kTags,
                       {"{T},SHORT", ""},
                       kInstructions,
                       {"{I}", ""},
                       kMembers,
                       {"{M},{I}"}})),
         {{"description", {""}}, {"tags", {"{T}|SHORT||"}}, {"instructions", {"{I}|||"}}, {"members", {"{M}|{I}|"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Read(c.content), c.expected);
    }

    EXPECT_EQ(ReadAll("Missing.csv"), (Fields{{"description", {""}}}));
}

}  // namespace
