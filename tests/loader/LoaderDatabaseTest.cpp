// CInstallCSVFile against real host databases: what a valid file leaves in the
// database, and that a refused file or a failing database leaves nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "loader/Quillet.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace {

using zentra_test::Backend;
using Lines = std::vector<std::string>;
using RowList = std::vector<std::vector<std::string>>;

// A GUID of the file: kind tells the tables apart, n the rows.
std::string FileGuid(unsigned kind, unsigned n)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", kind << 28, n);
    return text;
}

std::string Bare(const std::string& braced) { return braced.substr(1, braced.size() - 2); }

// A dial plan as fields of its file: tags, instructions (at least 6) and
// members; member k joins instruction k % instructions with tag k % tags.
struct DialPlanSample {
    using Row = std::vector<std::string>;
    Row dialPlan{"{11111111-2222-3333-4444-555555555555}", "Example",
                 "Example's plan, with commas, 100% and \"quotes\""};
    std::vector<Row> tags, instructions, members;

    DialPlanSample(unsigned tagCount, unsigned instructionCount, unsigned memberCount)
    {
        for (unsigned k = 0; k < tagCount; ++k)
            tags.push_back({FileGuid(0xA, k), "TAG-" + std::to_string(k), dialPlan[0], k % 2 ? "t" : "f",
                            k == 0 ? "12" : std::to_string(k % 10)});
        for (unsigned k = 0; k < instructionCount; ++k)
            instructions.push_back({FileGuid(0xB, k), "DDI " + std::to_string(k), dialPlan[0], std::to_string(k + 1),
                                    k == 6  ? "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER 'x' 50%"
                                    : k < 1 ? ""
                                            : "PRE-DOT"});
        for (unsigned k = 0; k < memberCount; ++k)
            members.push_back({FileGuid(0xC, k), instructions[k % instructionCount][0], tags[k % tagCount][0]});
    }

    Lines lines() const
    {
        Lines out;
        const auto section = [&out](std::initializer_list<const char*> head, const std::vector<Row>& rows) {
            out.insert(out.end(), head.begin(), head.end());
            for (const Row& row : rows) {
                out.push_back(row[0]);
                for (std::size_t k = 1; k < row.size(); ++k)
                    out.back() += "," + row[k];
            }
            out.push_back("");
        };
        section({"Table:DialPlan,,", "pkid,name,description", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)"}, {dialPlan});
        section({"Table:DialPlanTag,,,,", "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max",
                 "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)"},
                tags);
        section({"Table:DigitDiscardInstruction,,,,", "pkid,name,fkDialPlan,digitAnalysisID,clause",
                 "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"},
                instructions);
        section({"Table:DigitDiscardInstructionMember,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
                 "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"},
                members);
        out.pop_back();
        return out;
    }
};

std::string Join(const Lines& lines, const char* end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// Sets field `field` (from 0) of line `number` (from 1); the last field runs
// to the end of the line.
void SetField(Lines& lines, long number, std::size_t field, const std::string& value)
{
    std::string& line = lines.at(static_cast<std::size_t>(number - 1));
    std::size_t begin = 0;
    for (std::size_t f = 0; f < field; ++f)
        begin = line.find(',', begin) + 1;
    const std::size_t end = line.find(',', begin);
    line.replace(begin, end == std::string::npos ? std::string::npos : end - begin, value);
}

std::string LastError() { return CInstallCSVFileLastError(); }

class Loader : public zentra_test::MachineTest {
protected:
    // Loads the file at path (a Windows path in the prefix, or one in the
    // working folder), written with text first.
    int load(const std::string& text, const std::string& path = "plan.csv", const char* user = "")
    {
        zentra_test::WriteFile(path.find(':') != std::string::npos ? hostPath(path) : work->path() + "/" + path, text);
        return CInstallCSVFile(zentra_test::HostName().c_str(), db->database().c_str(), user, "", path.c_str());
    }

    RowList rows() { return db->dialPlanRows(); }

    void expectLoaded(const DialPlanSample& sample)
    {
        RowList expected = {{"DialPlan", Bare(sample.dialPlan[0]), sample.dialPlan[1], sample.dialPlan[2]}};
        for (const auto& t : sample.tags)
            expected.push_back({"Tag", Bare(t[0]), t[1], Bare(t[2]), t[3], t[4].substr(0, 1)});
        for (const auto& i : sample.instructions)
            expected.push_back({"Instruction", Bare(i[0]), i[1], Bare(i[2]), i[3], i[4]});
        for (const auto& m : sample.members)
            expected.push_back({"Member", Bare(m[0]), Bare(m[1]), Bare(m[2])});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(rows(), expected);
        // Stored as an integer, not as text that looks like one.
        EXPECT_EQ(db->scalar("select max(digitAnalysisID) from DigitDiscardInstruction"),
                  std::to_string(sample.instructions.size()));
    }
};

ZENTRA_ON_EVERY_BACKEND(Loader);

// Malformed files: kSample's lines spoilt, and the line that the message must
// name with a piece of it. kSample's file has its DialPlan row at line 4, the
// tags at 9 to 11, the instructions at 16 to 22 and the members at 27 to 32.
struct Malformed {
    const char* name;
    long line;
    void (*spoil)(Lines&);
    const char* problem;
};

const DialPlanSample kSample(3, 7, 6);
const std::string kOtherPlan = "{11111111-2222-3333-4444-555555555556}";

const Malformed kMalformed[] = {
    {"PkidWithoutBraces", 10, [](Lines& l) { SetField(l, 10, 0, Bare(FileGuid(0xA, 1))); },
     "is not a GUID in curly braces"},
    {"PkidNotAGuid", 18, [](Lines& l) { SetField(l, 18, 0, "{B0000000-0000-4000-8000-00000000000G}"); },
     "is not a GUID in curly braces"},
    {"FkNotAGuid", 30, [](Lines& l) { SetField(l, 30, 2, "{A0000000-0000-4000-8000-000000000001},"); },
     "fkDialPlanTag"},
    {"DigitAnalysisIdNotAnInteger", 18, [](Lines& l) { SetField(l, 18, 3, "3a"); }, "is not a decimal integer"},
    {"DuplicatePkid", 30, [](Lines& l) { SetField(l, 30, 0, FileGuid(0xA, 1)); }, "is used again (first at line 10)"},
    {"TagOfAnotherDialPlan", 10, [](Lines& l) { SetField(l, 10, 2, kOtherPlan); }, "fkDialPlan"},
    {"InstructionOfAnotherDialPlan", 18, [](Lines& l) { SetField(l, 18, 2, kOtherPlan); }, "fkDialPlan"},
    {"MemberOfNoInstruction", 30, [](Lines& l) { SetField(l, 30, 1, FileGuid(0xB, 99)); },
     "is not the pkid of a DigitDiscardInstruction row"},
    {"MemberOfATagThatIsAnInstruction", 30, [](Lines& l) { SetField(l, 30, 2, FileGuid(0xB, 2)); },
     "is not the pkid of a DialPlanTag row"},
    {"TagWithFourFields", 10, [](Lines& l) { l[9].erase(l[9].rfind(',')); }, "exactly 5 fields"},
    {"TagWithSixFields", 10, [](Lines& l) { SetField(l, 10, 4, "1,2"); }, "exactly 5 fields"},
    {"InstructionWithFourFields", 18, [](Lines& l) { l[17].erase(l[17].rfind(',')); }, "needs 5 fields"},
    {"InstructionTypeRowInAClause", 18,
     [](Lines& l) { SetField(l, 18, 4, "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"); },
     "only the type row"},
    {"NulCharacter", 18, [](Lines& l) { SetField(l, 18, 4, std::string("PRE\0DOT", 7)); }, "NUL character"},
    {"TypeRowWithWrongFieldCount", 8, [](Lines& l) { SetField(l, 8, 4, "VARCHAR(1),VARCHAR(9)"); },
     "has 6 fields; it needs 5"},
    {"DialPlanWithTwoRows", 5, [](Lines& l) { l.insert(l.begin() + 4, kOtherPlan + ",Second,"); }, "more than one row"},
    {"DialPlanWithoutRow", 4, [](Lines& l) { l.erase(l.begin() + 3); }, "holds no row"},
    {"SectionBeforeDialPlan", 1,
     [](Lines& l) {
         l.insert(l.begin(), {"Table:DigitDiscardInstructionMember,,", ""});
     },
     "must come first"},
    {"NoEmptyLineBetweenSections", 12, [](Lines& l) { l.erase(l.begin() + 11); }, "an empty line must end a section"},
    {"MissingSection", 22, [](Lines& l) { l.resize(22); }, "no DigitDiscardInstructionMember section"},
    {"NoTypeRow", 26, [](Lines& l) { l.erase(l.begin() + 25); }, "stands before the type row"},
    {"NoTypeRowAtTheEnd", 24, [](Lines& l) { l.resize(25); }, "has no type row"},
    {"MarkerTwice", 34,
     [](Lines& l) {
         l.insert(l.end(), {"", "Table:DialPlanTag,,,,"});
     },
     "occurs again"},
    {"TypeRowOutsideASection", 34,
     [](Lines& l) {
         l.insert(l.end(), {"", "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"});
     },
     "outside any section"},
};

TEST_P(Loader, RefusesMalformedFilesNamingTheLineAndLoadsValidOnesExactly)
{
    const std::string before = db->snapshot();
    for (const Malformed& malformed : kMalformed) {
        SCOPED_TRACE(malformed.name);
        Lines lines = kSample.lines();
        malformed.spoil(lines);
        EXPECT_EQ(load(Join(lines)), QUILLET_FILE_REFUSED);
        const std::string lead = "plan.csv: line " + std::to_string(malformed.line) + ": ";
        EXPECT_EQ(LastError().substr(0, lead.size()), lead);
        EXPECT_NE(LastError().find(malformed.problem), std::string::npos) << LastError();
    }
    EXPECT_EQ(load("", "empty.csv"), QUILLET_FILE_REFUSED);
    EXPECT_EQ(LastError(), "empty.csv: line 1: end of file: the file has no DialPlan section "
                           "(no line holds \"Table:DialPlan,,\")");
    // A liberal file: no line end at the end, markers with extra text, more
    // lines between marker and type row, sections in another order, fields
    // that hold commas, quotes and blanks, a tkOperator_Max of two characters.
    const std::string plan = "11111111-2222-3333-4444-555555555555", tag = "A0000000-0000-4000-8000-000000000001",
                      ddi = "B0000000-0000-4000-8000-000000000001", member = "C0000000-0000-4000-8000-000000000001";
    std::string liberal =
        "Table:DialPlan\nUNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)\n{" + plan +
        "},Plan,\"Quoted, not really\", 100%\n"
        "\nsome text outside of any section\nTable:DigitDiscardInstructionMember,,,extra\n"
        "pkid,fkDigitDiscardInstruction,fkDialPlanTag\nUNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER\n"
        "{" +
        member + "},{" + ddi + "},{" + tag +
        "}\n"
        "\nTable:DigitDiscardInstruction,,,,\npkid,name,fkDialPlan,digitAnalysisID,clause\na comment line\n"
        "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\n"
        "{" +
        ddi + "},Eleven, digits,{" + plan +
        "},-12,A, B,,C\n"
        "\nTable:DialPlanTag,,,,\nUNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\n"
        "{" +
        tag + "}, TAG ,{" + plan + "},t,12";
    // Only the last field may hold commas: the instruction's name cannot.
    EXPECT_EQ(load(liberal), QUILLET_FILE_REFUSED);
    EXPECT_EQ(LastError().substr(0, 19), "plan.csv: line 15: ");
    EXPECT_EQ(db->snapshot(), before);
    ASSERT_EQ(load(liberal.replace(liberal.find("Eleven, digits"), 14, "Eleven digits")), 0) << LastError();
    EXPECT_EQ(rows(), (RowList{{"DialPlan", plan, "Plan", "\"Quoted, not really\", 100%"},
                               {"Instruction", ddi, "Eleven digits", plan, "-12", "A, B,,C"},
                               {"Member", member, ddi, tag},
                               {"Tag", tag, " TAG ", plan, "t", "1"}}));

    struct Valid {
        const char* what;
        DialPlanSample sample;
        const char* end;
        std::string path;
    };
    const Valid valid[] = {
        {"CR LF; 250 members: two full batches and a part", DialPlanSample(3, 8, 250), "\r\n", "plan.csv"},
        {"bare LF and no final line end, by a Windows path", kSample, "\n",
         "C:\\Program Files\\Norvane\\DialPlan\\plan.csv"},
        {"the size the loader is measured with", DialPlanSample(2000, 2000, 20000), "\r\n", "large.csv"},
    };
    for (const Valid& v : valid) {
        SCOPED_TRACE(v.what);
        for (const char* table :
             {"DigitDiscardInstructionMember", "DigitDiscardInstruction", "DialPlanTag", "DialPlan"})
            db->exec(std::string("delete from ") + table);
        std::string text = Join(v.sample.lines(), v.end);
        if (std::string(v.end) == "\n")
            text.pop_back();
        ASSERT_EQ(load(text, v.path), 0) << LastError();
        EXPECT_EQ(LastError(), "");
        expectLoaded(v.sample);
    }
}

TEST_P(Loader, ADatabaseFailureLeavesNothingInserted)
{
    // Loads text: the load must fail with a message that begins with lead and
    // leave the database as it was.
    const auto fails = [this](const std::string& text, const std::string& lead) {
        const std::string before = db->snapshot();
        EXPECT_EQ(load(text), QUILLET_DATABASE_FAILED);
        EXPECT_EQ(LastError().substr(0, lead.size()), lead) << LastError();
        EXPECT_EQ(db->snapshot(), before);
    };
    // A pkid already in the database, in the second batch of members (lines
    // 128 to 227): all rows before it, of every table, are gone again.
    const DialPlanSample sample(3, 8, 250);
    db->exec("insert into DigitDiscardInstructionMember (pkid) values ('" + Bare(sample.members[150][0]) + "')");
    fails(Join(sample.lines()),
          "plan.csv: lines 128 to 227: the database refused a row of DigitDiscardInstructionMember: ");
    db->exec("delete from DigitDiscardInstructionMember");

    // Looked at again inside the transaction: a dial plan name already
    // installed, and a digit-analysis ID that another instruction holds.
    db->exec("insert into DialPlan (pkid, name) values ('99999999-2222-3333-4444-555555555555', 'Example')");
    fails(Join(sample.lines()), "plan.csv: line 4: the dial plan \"Example\" is installed already");
    db->exec("delete from DialPlan");
    db->exec("insert into DigitDiscardInstruction (pkid, name, digitAnalysisID) values "
             "('99999999-2222-3333-4444-555555555555', 'Other', 3)");
    fails(Join(sample.lines()),
          "plan.csv: line 18: the digitAnalysisID 3 is held by another digit discard instruction");
    db->exec("delete from DigitDiscardInstruction");

    // A row that a trigger silently drops is a failure, not a success.
    const std::string pkid = Bare(kSample.members[1][0]);
    if (GetParam() == Backend::SQLite) {
        db->exec("create trigger DropMember before insert on DigitDiscardInstructionMember when NEW.pkid = '" + pkid +
                 "' begin select raise(ignore); end");
    } else {
        db->exec("create function drop_member() returns trigger language plpgsql as "
                 "$$ begin return null; end $$");
        db->exec("create trigger DropMember before insert on DigitDiscardInstructionMember for each row "
                 "when (NEW.pkid = '" +
                 pkid + "') execute function drop_member()");
    }
    fails(Join(kSample.lines()), "plan.csv: lines 27 to 32: the database did not insert every row into "
                                 "DigitDiscardInstructionMember (5 of 6)");
}

TEST_P(Loader, UserAndPasswordReachTheDatabase)
{
    if (GetParam() == Backend::SQLite)
        GTEST_SKIP() << "SQLite has no users";
    EXPECT_EQ(load(Join(kSample.lines()), "plan.csv", "no_such_role"), QUILLET_DATABASE_FAILED);
    EXPECT_NE(LastError().find("no_such_role"), std::string::npos) << LastError();
    EXPECT_EQ(db->count("DialPlan"), 0);
    ASSERT_EQ(load(Join(kSample.lines()), "plan.csv", "postgres"), 0) << LastError();
    expectLoaded(kSample);
}

}  // namespace
