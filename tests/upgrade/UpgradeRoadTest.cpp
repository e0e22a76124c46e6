// Upgrades that go through: the whole road with its log, an unchanged file,
// letter case of pkids, quotes and commas in values, a dial plan with fewer
// than six instructions.

#include <algorithm>

#include "odbc/odbc.h"
#include "upgrade/UpgradeFixture.h"

namespace upgrade_test {
namespace {

using RoadTest = UpgradeTest;
UPGRADE_INSTANTIATE(RoadTest);

std::vector<std::string> Rows(const DialPlan& plan)
{
    std::vector<std::string> rows;
    for (const Member& m : plan.members)
        rows.push_back(m.pkid + "|" + m.instruction + "|" + m.tag);
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST_P(RoadTest, DropsOneTagAddsTwoWithTheirPredefinedMembersAndWritesTheWholeLog)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 3, 1);
    const std::string extra = v1.addInstruction("Extra", 7, "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER");
    v1.addMember(extra, v1.tags[0].pkid);
    const DialPlan bar = MakeDialPlan("Bar", 0xF1000000u, 1, 20);
    install(v1);
    install(bar);
    // The other dial plan's rows, which the upgrade must not touch.
    const auto barRows = [&] {
        auto rows = db->query("select pkid, tag from DialPlanTag where fkDialPlan = '" + bar.pkid + "'");
        for (auto& row : db->query("select pkid, name, clause from DigitDiscardInstruction where fkDialPlan = '" +
                                   bar.pkid + "' order by pkid"))
            rows.push_back(row);
        for (auto& row : memberRows(" where fkDialPlanTag = '" + bar.tags[0].pkid + "'"))
            rows.push_back({row});
        return rows;
    };
    const auto barBefore = barRows();
    ASSERT_EQ(barBefore.size(), 1u + 6u + 6u);

    DialPlan v2 = v1;
    const std::string dropped = v1.tags[2].pkid;
    v2.removeTag(dropped);
    const std::string d = v2.addTag("Foo-NEW-D", "t", "2");
    const std::string e = v2.addTag("Foo-NEW-E", "f", "3");
    v2.description = "Foo dial plan, version 2";
    v2.instructions[1].clause = "PRE-DOT, NEW";
    v2.instructions[6].clause = "CHANGED";  // not predefined: stays as installed
    const auto& p = v2.instructions;
    // File order differs from the order of the inserts on purpose.
    v2.addMember(p[5].pkid, e);
    v2.addMember(p[0].pkid, e);
    v2.addMember(p[0].pkid, d);
    v2.addMember(p[1].pkid, d);
    v2.addMember(p[2].pkid, d);
    v2.addMember(p[3].pkid, e);
    v2.addMember(extra, d);  // new tag, installed instruction beyond the six: left out
    writeFile(v2);

    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    EXPECT_EQ(setup.DialPlanMain("Foo"), 7);
    EXPECT_TRUE(boxes->boxes().empty());

    const std::string P = v1.pkid;
    const std::string select = "select * from DialPlan where name='Foo'";
    std::string log = "\n\nBefore the start of CheckNewDialPlan" + select + select +
                      "\n\nThe Dial Plan table entries are\npkid, name, description \n" + P + "FooFoo dial plan\n";
    log += "select * from DialPlanTag where fkDialPlan='" + P + "'\n\nThe Dial Plan Tag table entries are \npkid, tag \n";
    for (const Tag& t : v1.tags)
        log += t.pkid + t.tag + "\n";
    log += "\n End of the loop for DBReadDialPlanTagTable\n";
    log += "\n\n\nStart of DBReadDigitDiscardInstructionTable\nselect * from DigitDiscardInstruction where "
           "fkDialPlan='" + P + "' ORDER BY digitAnalysisID\n\nThe DigitDiscardInstruction table entries are\n\n"
           "pkid, name, digitAnalysisID \n";
    for (const Instruction& i : v1.instructions)
        log += i.pkid + i.name + "\n";
    log += "\n\nObsoleteDialPlanTag\nObsoleteTagInUse\n\n\nSelect * from RouteFilterMember where fkDialPlanTag = '" +
           dropped + "'CheckObsoleteTagInUse\nStart - ObsoleteDigitDiscardInstruction\n";
    for (std::size_t k = 0; k < v1.instructions.size(); ++k)
        for (std::size_t tried = 0; tried < k; ++tried)
            log += v2.instructions[tried].pkid + "\n";
    log += "End - ObsoleteDigitDiscardInstruction\nObsoleteDDIInUse_RP_TP\nCheckObsoleteDDIInUse\n"
           "ObsoleteDDIInUse_RL\nCheckObsoleteDDIInUse\nDeleteObsoleteDDI_NOT_IN_USE\nNewDialPlanTag\n"
           "UpdateDialPlanDescription\n\nupdate DialPlan set description = 'Foo dial plan, version 2' where pkid='" +
           P + "'UpdatePredefinedDDI\n";
    for (int k = 0; k < 6; ++k)
        log += "\n\nupdate DigitDiscardInstruction set clause = '" + p[k].clause + "' where fkDialPlan = '" + P +
               "' and name = '" + kPredefined[k] + "'";
    log += "DeleteObsoleteTags\n\n\nDelete from DigitDiscardInstructionMember where fkDialPlanTag = '" + dropped +
           "'\n\nDelete from DialPlanTag where pkid = '" + dropped + "'InsertNewTags\n\n\n";
    const std::string tagInsert =
        "insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter) VALUES ( '";
    log += tagInsert + d + "', 'Foo-NEW-D', '" + P + "', '2', 't')\n";
    log += tagInsert + e + "', 'Foo-NEW-E', '" + P + "', '3', 'f')\n";
    log += "Start - NewDigitDiscardInstructions\n";
    for (const Instruction& i : v2.instructions)
        log += "NewDDIpkid = {" + i.pkid + "}\nNewDDI = " + i.name + "\nNewDDIDAId = " +
               std::to_string(i.analysisId) + "\nNewDDIClause = " + i.clause + "\n";
    log += "End - NewDigitDiscardInstructions\n\n\nInsertNewDigitDiscardInstructions\n\n\nInsertDDIMPredefinedDDI\n";
    std::vector<Member> inserted;
    for (int k = 0; k < 6; ++k)
        for (const std::string& tag : {d, e})
            for (const Member& m : v2.members)
                if (m.instruction == p[k].pkid && m.tag == tag)
                    inserted.push_back(m);
    ASSERT_EQ(inserted.size(), 6u);
    for (const Member& m : inserted)
        log += "Insert into DigitDiscardInstructionMember ( pkid, fkDigitDiscardInstruction, fkDialPlanTag) VALUES "
               "( '{" + m.pkid + "}', '" + m.instruction + "', '{" + m.tag + "}')\n";
    log += "\n\nInsertDDIMNewDDI\n";
    EXPECT_EQ(logText("Foo"), log);

    // The database holds the new version, apart from what the upgrade leaves.
    EXPECT_EQ(db->scalar("select description from DialPlan where name = 'Foo'"), "Foo dial plan, version 2");
    EXPECT_EQ(db->query("select tag, tkOperator_Max, suppressFromRouteFilter from DialPlanTag where fkDialPlan = '" +
                        P + "' order by tag"),
              (std::vector<std::vector<std::string>>{{"Foo-NEW-D", "2", "t"}, {"Foo-NEW-E", "3", "f"},
                                                     {"Foo-TAG-0", "1", "f"}, {"Foo-TAG-1", "1", "f"}}));
    EXPECT_EQ(db->scalar("select clause from DigitDiscardInstruction where pkid = '" + p[1].pkid + "'"), "PRE-DOT, NEW");
    EXPECT_EQ(db->scalar("select clause from DigitDiscardInstruction where pkid = '" + extra + "'"),
              "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER");
    DialPlan expected = v2;
    expected.members.pop_back();  // the row joining the new tag to Extra
    EXPECT_EQ(memberRows(" where fkDialPlanTag <> '" + bar.tags[0].pkid + "'"), Rows(expected));
    EXPECT_EQ(barRows(), barBefore);
}

TEST_P(RoadTest, UnchangedFileRewritesDescriptionAndClausesButChangesNoRow)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 2, 1);
    v1.addMember(v1.addInstruction("Extra", 7, "PRE-DOT"), v1.tags[1].pkid);
    install(v1);
    writeFile(v1);
    const std::string before = db->snapshot();

    CZentraSetup setup;
    prepare(setup, v1);
    CZentraSetupTestProbe probe(setup);
    EXPECT_EQ(probe.UpgradeDialPlan("Foo"), 7);

    EXPECT_EQ(db->snapshot(), before);
    const std::string log = logText("Foo");
    EXPECT_NE(log.find("DeleteObsoleteDDI_NOT_IN_USE\nNewDialPlanTag\nUpdateDialPlanDescription\n\nupdate DialPlan "
                       "set description = 'Foo dial plan' where pkid='" + v1.pkid + "'UpdatePredefinedDDI\n"),
              std::string::npos);
    for (int k = 0; k < 6; ++k)
        EXPECT_NE(log.find("\n\nupdate DigitDiscardInstruction set clause = '" + v1.instructions[k].clause +
                           "' where fkDialPlan = '" + v1.pkid + "' and name = '" + kPredefined[k] + "'"),
                  std::string::npos) << kPredefined[k];
    EXPECT_NE(log.find("DeleteObsoleteTags\nInsertNewTags\n\n\nStart - NewDigitDiscardInstructions\n"),
              std::string::npos);
    const std::string tail = "End - NewDigitDiscardInstructions\n\n\nInsertNewDigitDiscardInstructions\n\n\n"
                             "InsertDDIMPredefinedDDI\n\n\nInsertDDIMNewDDI\n";
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), tail.size())), tail);
    EXPECT_TRUE(probe.obsoleteTagPkids().empty());
    EXPECT_TRUE(probe.newDdiPkids().empty());
}

TEST_P(RoadTest, LowerCasePkidOfAnInstalledTagCountsAsAnotherTag)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 2, 1);
    const std::string extra = v1.addInstruction("Extra", 7, "PRE-AT");
    v1.addMember(extra, v1.tags[0].pkid);
    install(v1);
    DialPlan v2 = v1;
    std::string lower = v1.tags[0].pkid;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    ASSERT_NE(lower, v1.tags[0].pkid);
    v2.tags[0].pkid = lower;
    for (Member& m : v2.members)
        if (m.tag == v1.tags[0].pkid)
            m.tag = lower;
    writeFile(v2);

    CZentraSetup setup;
    prepare(setup, v1);
    CZentraSetupTestProbe probe(setup);
    EXPECT_EQ(probe.UpgradeDialPlan("Foo"), 7);

    // Installed under its upper-case form, the tag is obsolete; the file's
    // lower-case form is new. It is deleted, then inserted again.
    EXPECT_EQ(probe.obsoleteTagPkids(), std::vector<std::string>{v1.tags[0].pkid});
    EXPECT_EQ(probe.newTagPkids(), std::vector<std::string>{lower});
    const std::string log = logText("Foo");
    const auto deleted = log.find("Delete from DialPlanTag where pkid = '" + v1.tags[0].pkid + "'");
    const auto insertedAt = log.find("VALUES ( '" + lower + "', 'Foo-TAG-0', ");
    ASSERT_NE(deleted, std::string::npos);
    ASSERT_NE(insertedAt, std::string::npos);
    EXPECT_LT(deleted, insertedAt);
    // The database keeps the upper-case form; the tag's members of the six
    // predefined instructions come back, the one of Extra does not.
    EXPECT_EQ(db->count("DialPlanTag", "pkid = '" + v1.tags[0].pkid + "'"), 1);
    EXPECT_EQ(db->count("DigitDiscardInstructionMember", "fkDialPlanTag = '" + v1.tags[0].pkid + "'"), 6);
    EXPECT_EQ(db->count("DigitDiscardInstructionMember", "fkDigitDiscardInstruction = '" + extra + "'"), 0);
}

TEST_P(RoadTest, QuotesAndCommasInValuesReachTheDatabaseWhole)
{
    const DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 1, 1);
    install(v1);
    DialPlan v2 = v1;
    v2.description = "Foo's plan, version 2";
    v2.instructions[1].clause = "PRE-DOT, it's";
    const std::string tag = v2.addTag("O'NEIL", "t", "'");
    const std::string instruction =
        v2.addInstruction("Bob's", 9, "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER, 'quoted'");
    v2.addMember(instruction, tag);
    writeFile(v2);

    CZentraSetup setup;
    prepare(setup, v1);
    EXPECT_EQ(CZentraSetupTestProbe(setup).UpgradeDialPlan("Foo"), 7);

    EXPECT_EQ(db->scalar("select description from DialPlan where pkid = '" + v1.pkid + "'"), "Foo's plan, version 2");
    EXPECT_EQ(db->scalar("select clause from DigitDiscardInstruction where pkid = '" + v1.instructions[1].pkid + "'"),
              "PRE-DOT, it's");
    EXPECT_EQ(db->query("select tag, tkOperator_Max from DialPlanTag where pkid = '" + tag + "'"),
              (std::vector<std::vector<std::string>>{{"O'NEIL", "'"}}));
    EXPECT_EQ(db->query("select name, clause, digitAnalysisID from DigitDiscardInstruction where pkid = '" +
                        instruction + "'"),
              (std::vector<std::vector<std::string>>{
                  {"Bob's", "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER, 'quoted'", "9"}}));
    EXPECT_EQ(db->count("DigitDiscardInstructionMember", "fkDigitDiscardInstruction = '" + instruction + "'"), 1);
    EXPECT_NE(logText("Foo").find("set clause = 'PRE-DOT, it''s' where"), std::string::npos);
}

TEST_P(RoadTest, DialPlanWithFewerThanSixInstructionsGetsMembersForThoseItHas)
{
    DialPlan v2 = MakeDialPlan("Foo", 0xF0000000u, 1, 1);
    DialPlan v1 = v2;
    v1.removeInstruction(v2.instructions[5].pkid);
    v1.removeInstruction(v2.instructions[4].pkid);
    install(v1);
    const std::string tag = v2.addTag("Foo-NEW");
    for (int k = 0; k < 6; ++k)
        v2.addMember(v2.instructions[k].pkid, tag);
    writeFile(v2);

    CZentraSetup setup;
    prepare(setup, v1);
    CZentraSetupTestProbe probe(setup);
    EXPECT_EQ(probe.UpgradeDialPlan("Foo"), 7);

    // Four members come from the installed predefined instructions, the other
    // two with the instructions that the upgrade inserts.
    EXPECT_EQ(probe.newDdiPkids(), (std::vector<std::string>{v2.instructions[4].pkid, v2.instructions[5].pkid}));
    EXPECT_EQ(memberRows(), Rows(v2));
    EXPECT_EQ(db->count("DigitDiscardInstruction", "fkDialPlan = '" + v1.pkid + "'"), 6);
}

}  // namespace
}  // namespace upgrade_test
