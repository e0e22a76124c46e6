// Upgrades that fail half way leave the database as it was; the steps that
// scan the file fail where a walk over it would, after the same output.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "odbc/odbc.h"
#include "upgrade/UpgradeFixture.h"

namespace upgrade_test {
namespace {

using AtomicityTest = UpgradeTest;
UPGRADE_INSTANTIATE(AtomicityTest);

// Counts rows through the installer's own connection, which would see its
// own changes if they had been left pending instead of rolled back.
int OwnCount(CZentraSetup& setup, const std::string& sql)
{
    std::unique_ptr<odbc::Statement> statement(CZentraSetupTestProbe(setup).connection()->createStatement());
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery(sql));
    return rows->next() ? rows->getInt(1) : -1;
}

class Failing : public UpgradeTest {
protected:
    void SetUp() override
    {
        UpgradeTest::SetUp();
        if (IsSkipped())
            return;
        v1 = MakeDialPlan("Foo", 0xF0000000u, 2, 1);
        extra = v1.addInstruction("Extra", 7, "");
        v1.addMember(extra, v1.tags[0].pkid);
        install(v1);
        v2 = v1;
        v2.removeInstruction(extra);         // deleted first, at the start of the changes
        v2.removeTag(v1.tags[1].pkid);       // deleted just before the new tags go in
        v2.description = "changed";
    }
    DialPlan v1, v2;
    std::string extra;
};
UPGRADE_INSTANTIATE(Failing);

TEST_P(Failing, InsertRejectedAfterTheDeletesRollsEverythingBack)
{
    const std::string tag = v2.addTag("Foo-NEW");
    writeFile(v2);
    if (GetParam() == zentra_test::Backend::SQLite) {
        db->exec("CREATE TRIGGER test_reject_tag BEFORE INSERT ON DialPlanTag BEGIN SELECT RAISE(ABORT, 'rejected'); END");
    } else {
        db->exec("CREATE FUNCTION test_reject_tag() RETURNS trigger LANGUAGE plpgsql AS "
                 "$$ BEGIN RAISE EXCEPTION 'rejected'; END $$");
        db->exec("CREATE TRIGGER test_reject_tag BEFORE INSERT ON DialPlanTag FOR EACH ROW "
                 "EXECUTE FUNCTION test_reject_tag()");
    }
    const std::string before = db->snapshot();

    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    EXPECT_THROW(setup.DialPlanMain("Foo"), odbc::SQLException);

    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(OwnCount(setup, "select count(*) from DigitDiscardInstruction where pkid = '" + extra + "'"), 1);
    EXPECT_EQ(OwnCount(setup, "select count(*) from DialPlanTag where pkid = '" + v1.tags[1].pkid + "'"), 1);
    EXPECT_TRUE(CZentraSetupTestProbe(setup).connection()->getAutoCommit());
    EXPECT_TRUE(boxes->boxes().empty());
    // The log was closed with everything written up to the failing insert.
    EXPECT_EQ(CZentraSetupTestProbe(setup).log(), nullptr);
    const std::string log = logText("Foo");
    EXPECT_NE(log.find("Delete from DigitDiscardInstruction where pkid = '" + extra + "'"), std::string::npos);
    const std::string last = "VALUES ( '" + tag + "', 'Foo-NEW', '" + v1.pkid + "', '2', 't')\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
}

TEST_P(Failing, LowerCaseCopyOfAnInstalledTagFailsAsDuplicateAndRollsBack)
{
    std::string lower = v1.tags[0].pkid;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    v2.tags.push_back({lower, "Foo-TAG-0-again", "f", "1"});
    writeFile(v2);
    const std::string before = db->snapshot();

    CZentraSetup setup;
    prepare(setup, v1);
    CZentraSetupTestProbe probe(setup);
    EXPECT_THROW(probe.UpgradeDialPlan("Foo"), odbc::SQLException);

    // The upper-case row is installed, so it is kept; the lower-case one is
    // new to the comparison but the same row to the database.
    EXPECT_EQ(probe.newTagPkids(), std::vector<std::string>{lower});
    EXPECT_NE(logText("Foo").find("VALUES ( '" + lower + "', 'Foo-TAG-0-again'"), std::string::npos);
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_EQ(OwnCount(setup, "select count(*) from DigitDiscardInstruction where pkid = '" + extra + "'"), 1);
    EXPECT_EQ(OwnCount(setup, "select count(*) from DialPlan where description = 'changed'"), 0);
}

TEST_P(AtomicityTest, InstructionWalkLogsTriedPkidsAndStopsAtAnEntryWithoutBraces)
{
    CZentraSetup setup;
    CZentraSetupTestProbe probe(setup);
    std::filesystem::create_directories(prefix->hostPath("C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo"));
    probe.setLogPath(logPath("Foo"));
    probe.dbDdiPkids() = {"A", "Q"};
    probe.dbDdiNames() = {"a", "q"};
    probe.csvDdiPkids() = {"{B}", "{A}", "{Z}"};
    probe.ObsoleteDigitDiscardInstruction();
    EXPECT_EQ(probe.obsoleteDdiPkids(), std::vector<std::string>{"Q"});
    EXPECT_EQ(probe.obsoleteDdiNames(), std::vector<std::string>{"q"});

    // A matches before the bad entry; C lies beyond it.
    probe.dbDdiPkids() = {"A", "C"};
    probe.csvDdiPkids() = {"{A}", "{Z}", "bad", "{C}"};
    EXPECT_THROW(probe.ObsoleteDigitDiscardInstruction(), std::out_of_range);
    ASSERT_NE(probe.log(), nullptr);
    std::fclose(probe.log());
    probe.log() = nullptr;
    EXPECT_EQ(probe.obsoleteDdiPkids(), std::vector<std::string>{"Q"});
    EXPECT_EQ(logText("Foo"), "Start - ObsoleteDigitDiscardInstruction\nB\nB\nA\nZ\n"
                              "End - ObsoleteDigitDiscardInstruction\n"
                              "Start - ObsoleteDigitDiscardInstruction\nA\nZ\n");
}

TEST_P(AtomicityTest, PredefinedMembersTakeTheFirstMatchingRowAndFailWhereTheScanWould)
{
    const DialPlan plan = MakeDialPlan("Foo", 0xF0000000u, 0, 1);
    install(plan);
    const std::string p0 = plan.instructions[0].pkid, p1 = plan.instructions[1].pkid, tag = Guid(0xBB000000u, 1);
    const auto member = [](unsigned n) { return "{" + Guid(0xBC000000u, n) + "}"; };
    const auto run = [&](const std::vector<std::string>& instructions) {
        CZentraSetup setup;
        prepare(setup, plan);
        CZentraSetupTestProbe probe(setup);
        probe.dbDdiPkids() = {p0, p1};
        probe.newTagPkids() = {tag};
        for (std::size_t r = 0; r < instructions.size(); ++r) {
            probe.csvDdiMemberPkids().push_back(member(static_cast<unsigned>(r + 1)));
            probe.csvDdiMemberDdis().push_back(instructions[r]);
            probe.csvDdiMemberTags().push_back("{" + tag + "}");
        }
        try {
            probe.InsertDDIMPredefinedDDI();
        } catch (...) {
            // Left by the error, the step has not closed its log.
            std::fclose(probe.log());
            probe.log() = nullptr;
            throw;
        }
    };
    // Two rows join p0 to the tag: only the first goes in.
    run({"{" + p0 + "}", "{" + p0 + "}", "{" + p1 + "}"});
    EXPECT_EQ(memberRows(), (std::vector<std::string>{Guid(0xBC000000u, 1) + "|" + p0 + "|" + tag,
                                                      Guid(0xBC000000u, 3) + "|" + p1 + "|" + tag}));
    db->exec("delete from DigitDiscardInstructionMember");
    // p0's row lies ahead of the bad row and goes in; p1's lies beyond it.
    EXPECT_THROW(run({"{" + p0 + "}", p1, "{" + p1 + "}"}), std::out_of_range);
    EXPECT_EQ(memberRows(), std::vector<std::string>{Guid(0xBC000000u, 1) + "|" + p0 + "|" + tag});
}

}  // namespace
}  // namespace upgrade_test
