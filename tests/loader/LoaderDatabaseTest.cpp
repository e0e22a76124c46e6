// CInstallCSVFile against real host databases: what a valid file leaves in the
// database, and that a refused file or a failing database leaves nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "loader/Quillet.h"
#include "support/TestSupport.h"

namespace {

using zentra_test::Backend;

// A GUID of the file: kind tells the tables apart, n the rows.
std::string FileGuid(unsigned kind, unsigned n)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", kind << 28, n);
    return text;
}

std::string Bare(const std::string& braced) { return braced.substr(1, braced.size() - 2); }

const char* const kPredefined[] = {"NoDigits", "PreDot", "PreAt", "Trailing-#", "PreDot Trailing-#",
                                   "PreAt Trailing-#"};

// A dial plan as fields of its file, and the file it makes.
struct DialPlanSample {
    std::array<std::string, 3> dialPlan;
    std::vector<std::array<std::string, 5>> tags, instructions;
    std::vector<std::array<std::string, 3>> members;

    // tags, instructions (at least 6) and members; members join instruction
    // k % instructions with tag k % tags.
    DialPlanSample(unsigned tagCount, unsigned instructionCount, unsigned memberCount)
    {
        dialPlan = {"{11111111-2222-3333-4444-555555555555}", "Example",
                    "Example's plan, with commas, 100% and \"quotes\""};
        for (unsigned k = 0; k < tagCount; ++k)
            tags.push_back({FileGuid(0xA, k), "TAG-" + std::to_string(k), dialPlan[0], k % 2 ? "t" : "f",
                            k == 0 ? "12" : std::to_string(k % 10)});
        for (unsigned k = 0; k < instructionCount; ++k)
            instructions.push_back({FileGuid(0xB, k), k < 6 ? kPredefined[k] : "DDI " + std::to_string(k),
                                    dialPlan[0], std::to_string(k + 1),
                                    k == 6 ? "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER 'x' 50%"
                                           : k < 1 ? "" : "PRE-DOT"});
        for (unsigned k = 0; k < memberCount; ++k)
            members.push_back({FileGuid(0xC, k), instructions[k % instructionCount][0], tags[k % tagCount][0]});
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out = {"Table:DialPlan,,", "pkid,name,description",
                                        "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
                                        dialPlan[0] + "," + dialPlan[1] + "," + dialPlan[2], "",
                                        "Table:DialPlanTag,,,,",
                                        "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max",
                                        "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)"};
        for (const auto& t : tags)
            out.push_back(t[0] + "," + t[1] + "," + t[2] + "," + t[3] + "," + t[4]);
        out.insert(out.end(), {"", "Table:DigitDiscardInstruction,,,,", "pkid,name,fkDialPlan,digitAnalysisID,clause",
                               "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"});
        for (const auto& i : instructions)
            out.push_back(i[0] + "," + i[1] + "," + i[2] + "," + i[3] + "," + i[4]);
        out.insert(out.end(), {"", "Table:DigitDiscardInstructionMember,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
                               "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"});
        for (const auto& m : members)
            out.push_back(m[0] + "," + m[1] + "," + m[2]);
        return out;
    }
};

std::string Join(const std::vector<std::string>& lines, const char* end)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// The line (from 1) that begins with start.
long Find(const std::vector<std::string>& lines, const std::string& start)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, start.size(), start) == 0)
            return static_cast<long>(i) + 1;
    throw std::logic_error("no line begins with " + start);
}

// The rows the database should hold after loading the sample, in the form the
// database returns them, ordered by pkid.
std::vector<std::vector<std::string>> Sorted(std::vector<std::vector<std::string>> rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

class Loader : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix = std::make_unique<zentra_test::Prefix>(GetParam());
        database = std::make_unique<zentra_test::HostDatabase>(GetParam());
        work = std::make_unique<zentra_test::WorkFolder>();
    }

    int load(const std::string& text, const std::string& name = "plan.csv")
    {
        zentra_test::WriteFile(work->path() + "/" + name, text);
        return CInstallCSVFile(zentra_test::HostName().c_str(), database->database().c_str(), "", "", name.c_str());
    }

    void expectLoaded(const DialPlanSample& sample)
    {
        EXPECT_EQ(database->query("select pkid, name, description from DialPlan"),
                  (std::vector<std::vector<std::string>>{
                      {Bare(sample.dialPlan[0]), sample.dialPlan[1], sample.dialPlan[2]}}));
        std::vector<std::vector<std::string>> tags, instructions, members;
        for (const auto& t : sample.tags)
            tags.push_back({Bare(t[0]), t[1], Bare(t[2]), t[3], t[4].substr(0, 1)});
        for (const auto& i : sample.instructions)
            instructions.push_back({Bare(i[0]), i[1], Bare(i[2]), i[3], i[4]});
        for (const auto& m : sample.members)
            members.push_back({Bare(m[0]), Bare(m[1]), Bare(m[2])});
        EXPECT_EQ(database->query("select pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max "
                                  "from DialPlanTag order by pkid"),
                  Sorted(tags));
        EXPECT_EQ(database->query("select pkid, name, fkDialPlan, digitAnalysisID, clause "
                                  "from DigitDiscardInstruction order by pkid"),
                  Sorted(instructions));
        EXPECT_EQ(database->query("select pkid, fkDigitDiscardInstruction, fkDialPlanTag "
                                  "from DigitDiscardInstructionMember order by pkid"),
                  Sorted(members));
        // Stored as an integer, not as text that looks like one.
        EXPECT_EQ(database->scalar("select max(digitAnalysisID) from DigitDiscardInstruction"),
                  std::to_string(sample.instructions.size()));
    }

    std::unique_ptr<zentra_test::Prefix> prefix;
    std::unique_ptr<zentra_test::HostDatabase> database;
    std::unique_ptr<zentra_test::WorkFolder> work;
};

// 250 members: two full batches of rows and a part of one.
TEST_P(Loader, LoadsExactlyTheRowsOfAFileWithCrLfLineEnds)
{
    const DialPlanSample sample(3, 8, 250);
    ASSERT_EQ(load(Join(sample.lines(), "\r\n")), 0) << CInstallCSVFileLastError();
    EXPECT_STREQ(CInstallCSVFileLastError(), "");
    expectLoaded(sample);
}

TEST_P(Loader, LoadsABareLfFileWithoutAFinalLineEndAlike)
{
    const DialPlanSample sample(2, 7, 4);
    std::string text = Join(sample.lines(), "\n");
    text.pop_back();
    ASSERT_EQ(load(text), 0) << CInstallCSVFileLastError();
    expectLoaded(sample);
}

TEST_P(Loader, LoadsAFileNamedByAWindowsPathInThePrefix)
{
    const DialPlanSample sample(2, 6, 2);
    zentra_test::WriteFile(prefix->hostPath("C:\\Program Files\\Norvane\\DialPlan\\plan.csv"),
                           Join(sample.lines(), "\r\n"));
    ASSERT_EQ(CInstallCSVFile(zentra_test::HostName().c_str(), database->database().c_str(), "", "",
                              "C:\\Program Files\\Norvane\\DialPlan\\plan.csv"),
              0)
        << CInstallCSVFileLastError();
    expectLoaded(sample);
}

// A database failure in the second batch of members: all rows before it, of
// every table, are gone again.
TEST_P(Loader, APkidAlreadyInTheDatabaseRollsEverythingBack)
{
    const DialPlanSample sample(3, 8, 250);
    database->exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, fkDialPlanTag) "
                   "values ('" + Bare(sample.members[150][0]) + "', NULL, NULL)");
    const std::string before = database->snapshot();
    const std::vector<std::string> lines = sample.lines();
    EXPECT_EQ(load(Join(lines, "\r\n")), QUILLET_DATABASE_FAILED);
    const std::string message = CInstallCSVFileLastError();
    // The message names the lines of the batch that holds the row.
    const std::string range = "plan.csv: lines " + std::to_string(Find(lines, sample.members[100][0])) + " to " +
                              std::to_string(Find(lines, sample.members[199][0])) + ": ";
    EXPECT_EQ(message.rfind(range, 0), 0u) << message;
    EXPECT_EQ(database->snapshot(), before);
}

TEST_P(Loader, ADialPlanNameAlreadyInstalledIsRefusedByTheDatabase)
{
    database->exec("insert into DialPlan (pkid, name) values ('99999999-2222-3333-4444-555555555555', 'Example')");
    const std::string before = database->snapshot();
    EXPECT_EQ(load(Join(DialPlanSample(2, 6, 2).lines(), "\r\n")), QUILLET_DATABASE_FAILED);
    EXPECT_EQ(std::string(CInstallCSVFileLastError()).rfind("plan.csv: line 4: ", 0), 0u)
        << CInstallCSVFileLastError();
    EXPECT_EQ(database->snapshot(), before);
}

// A trigger that silently drops a row is a failure, not a success.
TEST_P(Loader, ARowTheDatabaseSilentlyDropsFailsTheLoad)
{
    const DialPlanSample sample(2, 6, 3);
    const std::string pkid = Bare(sample.members[1][0]);
    if (GetParam() == Backend::SQLite) {
        database->exec("create trigger DropMember before insert on DigitDiscardInstructionMember when NEW.pkid = '" +
                       pkid + "' begin select raise(ignore); end");
    } else {
        database->exec("create function drop_member() returns trigger language plpgsql as "
                       "$$ begin return null; end $$");
        database->exec("create trigger DropMember before insert on DigitDiscardInstructionMember for each row "
                       "when (NEW.pkid = '" + pkid + "') execute function drop_member()");
    }
    const std::string before = database->snapshot();
    EXPECT_EQ(load(Join(sample.lines(), "\r\n")), QUILLET_DATABASE_FAILED);
    EXPECT_NE(std::string(CInstallCSVFileLastError()).find("did not insert every row into DigitDiscardInstructionMember (2 of 3)"),
              std::string::npos)
        << CInstallCSVFileLastError();
    EXPECT_EQ(database->snapshot(), before);
}

TEST_P(Loader, UserAndPasswordReachTheDatabase)
{
    if (GetParam() == Backend::SQLite)
        GTEST_SKIP() << "SQLite has no users";
    const DialPlanSample sample(2, 6, 2);
    zentra_test::WriteFile(work->path() + "/plan.csv", Join(sample.lines(), "\r\n"));
    const std::string host = zentra_test::HostName();
    EXPECT_EQ(CInstallCSVFile(host.c_str(), database->database().c_str(), "no_such_role", "x", "plan.csv"),
              QUILLET_DATABASE_FAILED);
    EXPECT_NE(std::string(CInstallCSVFileLastError()).find("no_such_role"), std::string::npos)
        << CInstallCSVFileLastError();
    EXPECT_EQ(database->count("DialPlan"), 0);
    ASSERT_EQ(CInstallCSVFile(host.c_str(), database->database().c_str(), "postgres", "", "plan.csv"), 0)
        << CInstallCSVFileLastError();
    expectLoaded(sample);
}

// The size the loader is measured with: 2,000 tags, 2,000 instructions and
// 20,000 members.
TEST_P(Loader, LoadsALargeFile)
{
    const DialPlanSample sample(2000, 2000, 20000);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(load(Join(sample.lines(), "\r\n")), 0) << CInstallCSVFileLastError();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("loaded 24,001 rows into %s in %.2f s\n", zentra_test::BackendName(GetParam()).c_str(),
                took.count());
    EXPECT_EQ(database->count("DialPlanTag"), 2000);
    EXPECT_EQ(database->count("DigitDiscardInstruction"), 2000);
    EXPECT_EQ(database->count("DigitDiscardInstructionMember"), 20000);
    EXPECT_EQ(database->scalar("select fkDialPlanTag from DigitDiscardInstructionMember where pkid = '" +
                               Bare(sample.members[19999][0]) + "'"),
              Bare(sample.tags[19999 % 2000][0]));
}

// A malformed file: how to spoil the sample's lines, returning the line (from
// 1) that the message must name, and a piece of the expected message.
struct Malformed {
    const char* name;
    std::function<long(std::vector<std::string>&)> spoil;
    const char* problem;
};

// Replaces field `field` (from 0) of the line that begins with `start`.
long SetField(std::vector<std::string>& lines, const std::string& start, std::size_t field, const std::string& value)
{
    const long number = Find(lines, start);
    std::string& line = lines[static_cast<std::size_t>(number - 1)];
    std::size_t begin = 0;
    for (std::size_t f = 0; f < field; ++f)
        begin = line.find(',', begin) + 1;
    const std::size_t end = line.find(',', begin);
    line.replace(begin, end == std::string::npos ? std::string::npos : end - begin, value);
    return number;
}

const DialPlanSample kSample(3, 7, 6);
const std::string kTag1 = FileGuid(0xA, 1), kDdi2 = FileGuid(0xB, 2), kMember3 = FileGuid(0xC, 3);

const Malformed kMalformed[] = {
    {"PkidWithoutBraces", [](auto& l) { return SetField(l, kTag1, 0, Bare(kTag1)); }, "is not a GUID in curly braces"},
    {"PkidNotAGuid", [](auto& l) { return SetField(l, kDdi2, 0, "{B0000000-0000-4000-8000-00000000000G}"); },
     "is not a GUID in curly braces"},
    {"FkNotAGuid", [](auto& l) { return SetField(l, kMember3, 2, "{A0000000-0000-4000-8000-000000000001},"); },
     "fkDialPlanTag"},
    {"DigitAnalysisIdNotAnInteger", [](auto& l) { return SetField(l, kDdi2, 3, "3a"); }, "is not a decimal integer"},
    {"DuplicatePkid", [](auto& l) { return SetField(l, kMember3, 0, kTag1); }, "is used again"},
    {"TagOfAnotherDialPlan",
     [](auto& l) { return SetField(l, kTag1, 2, "{11111111-2222-3333-4444-555555555556}"); }, "fkDialPlan"},
    {"InstructionOfAnotherDialPlan",
     [](auto& l) { return SetField(l, kDdi2, 2, "{11111111-2222-3333-4444-555555555556}"); }, "fkDialPlan"},
    {"MemberOfNoInstruction", [](auto& l) { return SetField(l, kMember3, 1, FileGuid(0xB, 99)); },
     "is not the pkid of a DigitDiscardInstruction row"},
    {"MemberOfATagThatIsAnInstruction", [](auto& l) { return SetField(l, kMember3, 2, kDdi2); },
     "is not the pkid of a DialPlanTag row"},
    {"TagWithFourFields",
     [](auto& l) {
         const long n = Find(l, kTag1);
         l[n - 1] = l[n - 1].substr(0, l[n - 1].rfind(','));
         return n;
     },
     "exactly 5 fields"},
    {"TagWithSixFields", [](auto& l) { return SetField(l, kTag1, 4, "1,2"); }, "exactly 5 fields"},
    {"InstructionWithFourFields",
     [](auto& l) {
         const long n = Find(l, kDdi2);
         l[n - 1] = l[n - 1].substr(0, l[n - 1].rfind(','));
         return n;
     },
     "needs 5 fields"},
    {"DialPlanWithTwoRows",
     [](auto& l) {
         l.insert(l.begin() + 4, "{11111111-2222-3333-4444-555555555557},Second,");
         return 5L;
     },
     "more than one row"},
    {"DialPlanWithoutRow",
     [](auto& l) {
         l.erase(l.begin() + 3);
         return 4L;
     },
     "holds no row"},
    {"MissingSection",
     [](auto& l) {
         l.erase(l.begin() + Find(l, "Table:DigitDiscardInstructionMember") - 2, l.end());
         return static_cast<long>(l.size());
     },
     "no DigitDiscardInstructionMember section"},
    {"SectionBeforeDialPlan",
     [](auto& l) {
         l.insert(l.begin(), {"Table:DigitDiscardInstructionMember,,", ""});
         return 1L;
     },
     "must come first"},
    {"MarkerTwice",
     [](auto& l) {
         l.push_back("");
         l.push_back("Table:DialPlanTag,,,,");
         return static_cast<long>(l.size());
     },
     "occurs again"},
    {"TypeRowWithWrongFieldCount",
     [](auto& l) {
         const long n = Find(l, "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER");
         l[n - 1] += ",VARCHAR(9)";
         return n;
     },
     "has 6 fields; it needs 5"},
    {"NoTypeRow",
     [](auto& l) {
         const long marker = Find(l, "Table:DigitDiscardInstructionMember");
         l.erase(l.begin() + marker + 1);
         return marker;
     },
     "has no type row"},
    {"NoEmptyLineBetweenSections",
     [](auto& l) {
         const long marker = Find(l, "Table:DigitDiscardInstruction,");
         l.erase(l.begin() + marker - 2);
         return marker - 1;
     },
     "an empty line must end a section"},
    {"InstructionTypeRowInAClause",
     [](auto& l) { return SetField(l, kDdi2, 4, "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"); },
     "only the type row"},
    {"TypeRowOutsideASection",
     [](auto& l) {
         l.push_back("");
         l.push_back("UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER");
         return static_cast<long>(l.size());
     },
     "outside any section"},
    {"NulCharacter", [](auto& l) { return SetField(l, kDdi2, 4, std::string("PRE\0DOT", 7)); }, "NUL character"},
};

class LoaderRefuses : public Loader {};

TEST_P(LoaderRefuses, MalformedFilesNamingTheLineAndLeavingTheDatabaseAlone)
{
    const std::string before = database->snapshot();
    for (const Malformed& malformed : kMalformed) {
        SCOPED_TRACE(malformed.name);
        std::vector<std::string> lines = kSample.lines();
        const long line = malformed.spoil(lines);
        EXPECT_EQ(load(Join(lines, "\r\n")), QUILLET_FILE_REFUSED);
        const std::string message = CInstallCSVFileLastError();
        EXPECT_EQ(message.rfind("plan.csv: line " + std::to_string(line) + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(malformed.problem), std::string::npos) << message;
    }
    EXPECT_EQ(load("", "empty.csv"), QUILLET_FILE_REFUSED);
    EXPECT_STREQ(CInstallCSVFileLastError(), "empty.csv: line 1: end of file: the file has no DialPlan section "
                                             "(no line holds \"Table:DialPlan,,\")");
    EXPECT_EQ(CInstallCSVFile(zentra_test::HostName().c_str(), database->database().c_str(), "", "", "absent.csv"),
              QUILLET_FILE_REFUSED);
    EXPECT_EQ(std::string(CInstallCSVFileLastError()).rfind("absent.csv: cannot open the file", 0), 0u);
    EXPECT_EQ(database->snapshot(), before);

    // The same file unspoilt loads.
    ASSERT_EQ(load(Join(kSample.lines(), "\r\n")), 0) << CInstallCSVFileLastError();
    EXPECT_STREQ(CInstallCSVFileLastError(), "");
    expectLoaded(kSample);
}

std::string Name(const ::testing::TestParamInfo<Backend>& info) { return zentra_test::BackendName(info.param); }

INSTANTIATE_TEST_SUITE_P(Backends, Loader, ::testing::Values(Backend::SQLite, Backend::PostgreSQL), Name);
INSTANTIATE_TEST_SUITE_P(Backends, LoaderRefuses, ::testing::Values(Backend::SQLite, Backend::PostgreSQL), Name);

}  // namespace
