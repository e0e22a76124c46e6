// Upgrades that are refused before anything changes: tags still used by route
// filters, instructions still used by patterns or route lists, and files that
// cannot be trusted.

#include <algorithm>
#include <cstdio>

#include "odbc/odbc.h"
#include "upgrade/UpgradeFixture.h"

namespace upgrade_test {
namespace {

using RefusalTest = UpgradeTest;
UPGRADE_INSTANTIATE(RefusalTest);

const std::string kFailed = "Installation Failed";

TEST_P(RefusalTest, TagsStillUsedByRouteFiltersAreListedInOrder)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 4, 1);
    const std::string extra = v1.addInstruction("Extra", 7, "");
    install(v1);
    db->exec("insert into RouteFilter (pkid, name, fkDialPlan) values ('" + Guid(0xAF000000u, 1) + "', 'rf', '" +
             v1.pkid + "')");
    // Tag 3 twice, tag 0 once; tag 2 is dropped too but nothing uses it.
    int n = 0;
    for (int t : {3, 0, 3})
        db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag) values ('" +
                 Guid(0xAF100000u, static_cast<unsigned>(++n)) + "', '" + Guid(0xAF000000u, 1) + "', '" +
                 v1.tags[t].pkid + "')");
    db->exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) values ('" +
             Guid(0xAF200000u, 1) + "', '9.@', '" + v1.pkid + "', '" + extra + "')");
    DialPlan v2 = v1;
    for (int t : {3, 2, 0})
        v2.removeTag(v1.tags[t].pkid);
    v2.removeInstruction(extra);
    writeFile(v2);
    const std::string before = db->snapshot();

    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    EXPECT_EQ(setup.DialPlanMain("Foo"), 2);

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, kFailed);
    EXPECT_EQ(boxes->boxes()[0].text,
              "The tags Foo-TAG-0,Foo-TAG-3 have clause configured but are deleted in the new dial plan version");
    EXPECT_EQ(db->snapshot(), before);
    const std::string log = logText("Foo");
    EXPECT_NE(log.find("Select * from RouteFilterMember where fkDialPlanTag = '" + v1.tags[2].pkid +
                       "'\n\nSelect * from RouteFilterMember where fkDialPlanTag = '" + v1.tags[3].pkid +
                       "'CheckObsoleteTagInUse\n"),
              std::string::npos);
    // Refused before the instructions are looked at.
    EXPECT_EQ(log.find("ObsoleteDigitDiscardInstruction"), std::string::npos);
}

class InstructionInUse : public UpgradeTest {
protected:
    void SetUp() override
    {
        UpgradeTest::SetUp();
        if (IsSkipped())
            return;
        v1 = MakeDialPlan("Foo", 0xF0000000u, 1, 1);
        first = v1.addInstruction("Extra-1", 7, "");
        second = v1.addInstruction("Extra-2", 8, "");
        install(v1);
        // Extra-1 is used by a pattern and a route list, Extra-2 by a route list.
        db->exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) values ('" +
                 Guid(0xAF200000u, 1) + "', '9.@', '" + v1.pkid + "', '" + first + "')");
        db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values ('" + Guid(0xAF300000u, 1) +
                 "', 'rl1', '" + first + "')");
        db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values ('" + Guid(0xAF300000u, 2) +
                 "', 'rl2', '" + second + "')");
    }
    int upgrade(const DialPlan& v2)
    {
        writeFile(v2);
        before = db->snapshot();
        CZentraSetup setup;
        prepare(setup, v1);
        return CZentraSetupTestProbe(setup).UpgradeDialPlan("Foo");
    }
    DialPlan v1;
    std::string first, second, before;
};
UPGRADE_INSTANTIATE(InstructionInUse);

TEST_P(InstructionInUse, PatternHitRefusesBeforeRouteListsAreExamined)
{
    DialPlan v2 = v1;
    v2.removeInstruction(first);
    v2.removeInstruction(second);
    EXPECT_EQ(upgrade(v2), 5);

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, kFailed);
    EXPECT_EQ(boxes->boxes()[0].text, "The DDIs Extra-1 are associated with Route/Translation Patterns but are "
                                      "deleted in the new dial plan version");
    EXPECT_EQ(db->snapshot(), before);
    const std::string log = logText("Foo");
    EXPECT_NE(log.find("select * from NumPlan where fkDigitDiscardInstruction = '" + second + "'CheckObsoleteDDIInUse\n"),
              std::string::npos);
    EXPECT_EQ(log.find("ObsoleteDDIInUse_RL"), std::string::npos);
}

TEST_P(InstructionInUse, RouteListHitRefusesAtTheSecondCheck)
{
    DialPlan v2 = v1;
    v2.removeInstruction(second);
    EXPECT_EQ(upgrade(v2), 5);

    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].caption, kFailed);
    EXPECT_EQ(boxes->boxes()[0].text,
              "The DDIs Extra-2 are associated with Route Lists but are deleted in the new dial plan version");
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_NE(logText("Foo").find("ObsoleteDDIInUse_RP_TP\n\n\nselect * from NumPlan where fkDigitDiscardInstruction = '" +
                                  second + "'CheckObsoleteDDIInUse\nObsoleteDDIInUse_RL\n\n\nselect * from RouteList "
                                  "where fkDigitDiscardInstruction = '" + second + "'CheckObsoleteDDIInUse\n"),
              std::string::npos);
}

// Line number (1-based) of the first line holding text.
long LineOf(const std::string& file, const std::string& text)
{
    const auto at = file.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    return 1 + static_cast<long>(std::count(file.begin(), file.begin() + static_cast<long>(at), '\n'));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST_P(RefusalTest, UntrustworthyFileIsRefusedBeforeAnyQuery)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 2, 1);
    install(v1);
    const std::string good = CsvText(v1);
    const auto row = [&](const std::string& name) {
        const auto& i = v1.instructionNamed(name);
        return "{" + i.pkid + "}," + name + ",{" + v1.pkid + "}," + std::to_string(i.analysisId) + "," + i.clause + "\r\n";
    };
    const std::string cut = good.substr(0, good.find("\r\nTable:DigitDiscardInstructionMember"));
    const std::string preAt = v1.instructionNamed("PreAt").pkid;
    const Member& m = v1.members[2];
    const std::string member = "{" + m.pkid + "},{" + m.instruction + "},{" + m.tag + "}";
    struct Case {
        const char* what;
        std::string text;  // empty: no file at all
        long line;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"missing file", "", 0, "cannot be opened"},
        {"no member section", cut, LineOf(cut, row("PreAt Trailing-#")), "Table:DigitDiscardInstructionMember,,"},
        {"five instructions", Replaced(good, row("PreAt Trailing-#"), ""), LineOf(good, row("PreAt Trailing-#")),
         "ends after 5 rows"},
        {"names out of order", Replaced(good, row("PreDot") + row("PreAt"), row("PreAt") + row("PreDot")),
         LineOf(good, row("PreDot")), "is named \"PreAt\" where \"PreDot\" is expected"},
        {"tag pkid without braces", Replaced(good, "{" + v1.tags[1].pkid + "},Foo", v1.tags[1].pkid + ",Foo"),
         LineOf(good, "{" + v1.tags[1].pkid + "},Foo"), "tag pkid"},
        {"instruction pkid without closing brace",
         Replaced(good, "{" + preAt + "},PreAt,", "{" + preAt + ",PreAt,"), LineOf(good, row("PreAt")),
         "instruction pkid"},
        {"member instruction without braces",
         Replaced(good, member, "{" + m.pkid + "}," + m.instruction + ",{" + m.tag + "}"), LineOf(good, member),
         "fkDigitDiscardInstruction"},
        {"member tag without opening brace",
         Replaced(good, member, "{" + m.pkid + "},{" + m.instruction + "}," + m.tag + "}"), LineOf(good, member),
         "fkDialPlanTag"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = db->snapshot();
        const std::string path = work->path() + "/Foo.csv";
        std::remove(path.c_str());
        if (!c.text.empty())
            writeText("Foo", c.text);
        std::remove(prefix->hostPath(logPath("Foo")).c_str());
        const std::size_t shown = boxes->boxes().size();

        CZentraSetup setup;
        prepare(setup, v1);
        EXPECT_EQ(CZentraSetupTestProbe(setup).UpgradeDialPlan("Foo"), 12);

        ASSERT_EQ(boxes->boxes().size(), shown + 1);
        const auto& box = boxes->boxes().back();
        EXPECT_EQ(box.caption, kFailed);
        EXPECT_NE(box.text.find("Foo.csv"), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(c.problem), std::string::npos) << box.text;
        if (c.line > 0) {
            EXPECT_NE(box.text.find("line " + std::to_string(c.line) + ":"), std::string::npos) << box.text;
        }
        EXPECT_EQ(db->snapshot(), before);
        EXPECT_EQ(logText("Foo"), "UpgradeDialPlan refused: " + box.text + "\n");
    }
}

TEST_P(RefusalTest, WithoutConnectionTheUpgradeFailsAtItsFirstQuery)
{
    const DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 1, 1);
    install(v1);
    writeFile(v1);
    CZentraSetup setup;
    CZentraSetupTestProbe probe(setup);
    probe.setLogPath(logPath("Foo"));
    probe.dialPlanPkid() = v1.pkid;
    EXPECT_THROW(probe.UpgradeDialPlan("Foo"), odbc::SQLException);
    EXPECT_EQ(probe.log(), nullptr);
    EXPECT_TRUE(probe.dbTagPkids().empty());
}

}  // namespace
}  // namespace upgrade_test
