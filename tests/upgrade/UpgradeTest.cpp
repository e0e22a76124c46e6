// Upgrades of an installed dial plan: the whole road with its log, an
// unchanged file, letter case of pkids, quotes and commas in values, a dial
// plan with fewer than six instructions, a failure half way, and the refusals
// of changes while something still uses what the new version drops, or of a
// file that cannot be trusted.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "upgrade/UpgradeFixture.h"

namespace upgrade_test {
namespace {

ZENTRA_ON_EVERY_BACKEND(UpgradeTest);

// The log of the steps that change the database, from the deletion of the
// obsolete instructions on; the parts that depend on the change are given.
std::string ChangesLog(const DialPlan& file, const std::string& tagDeletes, const std::string& tagInserts,
                       const std::string& memberInserts)
{
    std::string log = "DeleteObsoleteDDI_NOT_IN_USE\nNewDialPlanTag\nUpdateDialPlanDescription\n\nupdate DialPlan set "
                      "description = '" +
                      file.description + "' where pkid='" + file.pkid + "'UpdatePredefinedDDI\n";
    for (int k = 0; k < 6; ++k)
        log += "\n\nupdate DigitDiscardInstruction set clause = '" + file.instructions[k].clause +
               "' where fkDialPlan = '" + file.pkid + "' and name = '" + dialplan::kPredefinedInstructions[k] + "'";
    log += "DeleteObsoleteTags\n" + tagDeletes + "InsertNewTags\n\n\n" + tagInserts +
           "Start - NewDigitDiscardInstructions\n";
    for (const Instruction& i : file.instructions)
        log += "NewDDIpkid = {" + i.pkid + "}\nNewDDI = " + i.name + "\nNewDDIDAId = " + std::to_string(i.analysisId) +
               "\nNewDDIClause = " + i.clause + "\n";
    return log +
           "End - NewDigitDiscardInstructions\n\n\nInsertNewDigitDiscardInstructions\n\n\n"
           "InsertDDIMPredefinedDDI\n" +
           memberInserts + "\n\nInsertDDIMNewDDI\n";
}

TEST_P(UpgradeTest, DropsOneTagAddsTwoWithTheirPredefinedMembersAndThenHasNothingToChange)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 3);
    const std::string extra = v1.addInstruction("Extra", 7, "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER");
    v1.addMember(extra, v1.tags[0].pkid);
    const DialPlan bar = MakeDialPlan("Bar", 0xF1000000u, 1);  // another dial plan: not touched
    install(v1);
    install(bar);

    DialPlan v2 = v1;
    const std::string dropped = v1.tags[2].pkid;
    v2.remove(dropped);
    const std::string d = v2.addTag("Foo-NEW-D", "t", "2"), e = v2.addTag("Foo-NEW-E", "f", "3");
    v2.description = "Foo dial plan, version 2";
    v2.instructions[1].clause = "PRE-DOT, NEW";
    v2.instructions[6].clause = "CHANGED";  // not predefined: stays as installed
    const std::vector<Instruction>& p = v2.instructions;
    // File order differs from the order of the inserts on purpose.
    const std::pair<int, std::string> joins[] = {{5, e}, {0, e}, {0, d}, {1, d}, {2, d}, {3, e}};
    for (const auto& [k, tag] : joins)
        v2.addMember(p[k].pkid, tag);
    DialPlan expected = v2;
    expected.instructions[6].clause = v1.instructions[6].clause;
    // Left out: a second row for a pair that has one, and a row joining a new
    // tag to an installed instruction beyond the six.
    v2.addMember(p[0].pkid, d);
    v2.addMember(extra, d);
    writeFile(v2);

    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    EXPECT_EQ(setup.DialPlanMain("Foo"), 7);
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_EQ(rows(), Rows({expected, bar}));

    const std::string P = v1.pkid, select = "select * from DialPlan where name='Foo'";
    std::string log = "\n\nBefore the start of CheckNewDialPlan" + select + select +
                      "\n\nThe Dial Plan table entries "
                      "are\npkid, name, description \n" +
                      P +
                      "FooFoo dial plan\nselect * from DialPlanTag where "
                      "fkDialPlan='" +
                      P + "'\n\nThe Dial Plan Tag table entries are \npkid, tag \n";
    for (const Tag& t : v1.tags)
        log += t.pkid + t.tag + "\n";
    log += "\n End of the loop for DBReadDialPlanTagTable\n\n\n\nStart of DBReadDigitDiscardInstructionTable\n"
           "select * from DigitDiscardInstruction where fkDialPlan='" +
           P +
           "' ORDER BY digitAnalysisID\n\n"
           "The DigitDiscardInstruction table entries are\n\npkid, name, digitAnalysisID \n";
    for (const Instruction& i : v1.instructions)
        log += i.pkid + i.name + "\n";
    log += "\n\nObsoleteDialPlanTag\nObsoleteTagInUse\n\n\nSelect * from RouteFilterMember where fkDialPlanTag = '" +
           dropped + "'CheckObsoleteTagInUse\nStart - ObsoleteDigitDiscardInstruction\n";
    for (std::size_t k = 0; k < v1.instructions.size(); ++k)
        for (std::size_t tried = 0; tried < k; ++tried)
            log += p[tried].pkid + "\n";
    log += "End - ObsoleteDigitDiscardInstruction\nObsoleteDDIInUse_RP_TP\nCheckObsoleteDDIInUse\n"
           "ObsoleteDDIInUse_RL\nCheckObsoleteDDIInUse\n";
    const std::string tagDeletes = "\n\nDelete from DigitDiscardInstructionMember where fkDialPlanTag = '" + dropped +
                                   "'\n\nDelete from DialPlanTag where pkid = '" + dropped + "'";
    const std::string tagInsert =
        "insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter) VALUES ( '";
    const std::string tagInserts = tagInsert + d + "', 'Foo-NEW-D', '" + P + "', '2', 't')\n" + tagInsert + e +
                                   "', 'Foo-NEW-E', '" + P + "', '3', 'f')\n";
    std::string memberInserts;
    for (int k = 0; k < 6; ++k)
        for (const std::string& tag : {d, e})
            for (const Member& m : expected.members)
                if (m.instruction == p[k].pkid && m.tag == tag)
                    memberInserts += "Insert into DigitDiscardInstructionMember ( pkid, fkDigitDiscardInstruction, "
                                     "fkDialPlanTag) VALUES ( '{" +
                                     m.pkid + "}', '" + m.instruction + "', '{" + m.tag + "}')\n";
    ASSERT_EQ(std::count(memberInserts.begin(), memberInserts.end(), '\n'), 6);
    EXPECT_EQ(logText(), log + ChangesLog(v2, tagDeletes, tagInserts, memberInserts));

    // The same file again changes no row, but writes the description and the
    // six clauses again.
    removeLog();
    const std::string before = db->snapshot();
    CZentraSetup again;
    EXPECT_EQ(upgrade(again, v1), 7);
    EXPECT_EQ(db->snapshot(), before);
    const std::string rerun = logText();
    EXPECT_EQ(rerun.substr(std::min(rerun.find("DeleteObsoleteDDI_NOT_IN_USE"), rerun.size())),
              ChangesLog(v2, "", "", ""));
}

TEST_P(UpgradeTest, MatchesPkidsWhateverTheirLetterCaseAddsMissingInstructionsAndKeepsQuotesWhole)
{
    DialPlan v2 = MakeDialPlan("Foo", 0xF0000000u, 1);
    // An installed instruction beyond the predefined ones, joined to the
    // installed tag: a member that only a match of both pkids keeps.
    const std::string extra = v2.addInstruction("Extra", 7, "");
    v2.addMember(extra, v2.tags[0].pkid);
    DialPlan v1 = v2;
    v1.remove(v2.instructions[5].pkid);
    v1.remove(v2.instructions[4].pkid);
    install(v1);
    v2.description = "Foo's plan, version 2";
    v2.instructions[1].clause = "PRE-DOT, it's";
    const std::string tag = v2.addTag("O'NEIL", "t", "'");
    for (int k = 0; k < 6; ++k)
        v2.addMember(v2.instructions[k].pkid, tag);
    const std::string bob = v2.addInstruction("Bob's", 9, "INTERNATIONAL-ACCESS COUNTRY-CODE, NATIONAL-NUMBER, 'x'");
    v2.addMember(bob, tag);
    // The file writes every pkid in lower case.
    writeText(LowerCasePkids(CsvText(v2)));

    CZentraSetup setup;
    EXPECT_EQ(upgrade(setup, v1), 7);
    // Nothing installed counts as dropped; the missing predefined instructions
    // come in with their file IDs, below the installed Extra.
    CZentraSetupTestProbe probe(setup);
    EXPECT_TRUE(probe.obsoleteTagPkids().empty());
    EXPECT_TRUE(probe.obsoleteDdiPkids().empty());
    const auto lower = [](const std::string& pkid) { return LowerCasePkids("{" + pkid + "}").substr(1, pkid.size()); };
    EXPECT_EQ(probe.newTagPkids(), std::vector<std::string>{lower(v2.tags[1].pkid)});
    EXPECT_EQ(probe.newDdiPkids(),
              (std::vector<std::string>{lower(v2.instructions[4].pkid), lower(v2.instructions[5].pkid), lower(bob)}));
    EXPECT_EQ(rows(), Rows({v2}));
    EXPECT_NE(logText().find("set clause = 'PRE-DOT, it''s' where"), std::string::npos);
}

TEST_P(UpgradeTest, InsertRejectedAfterTheDeletesRollsEverythingBack)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 2);
    const std::string extra = v1.addInstruction("Extra", 7, "");
    v1.addMember(extra, v1.tags[0].pkid);
    install(v1);
    DialPlan v2 = v1;
    v2.remove(extra);            // deleted first, at the start of the changes
    v2.remove(v1.tags[1].pkid);  // deleted just before the new tags go in
    v2.description = "changed";
    // The host database refuses the new tag.
    const std::string added = v2.addTag("Foo-NEW", "t", "2");
    writeFile(v2);
    zentra_test::FailWrites(*db, "reject_tag", "DialPlanTag", "INSERT", "NEW.tag = 'Foo-NEW'", "rejected by the test");
    const std::string before = db->snapshot();

    CZentraSetup setup;
    ASSERT_EQ(setup.DBConnection(), 0);
    EXPECT_THROW(setup.DialPlanMain("Foo"), odbc::SQLException);

    EXPECT_EQ(db->snapshot(), before);
    // The installer's own connection would see its changes if they had been
    // left pending instead of rolled back.
    CZentraSetupTestProbe probe(setup);
    for (const std::string& pkid : {extra, v1.tags[1].pkid}) {
        std::unique_ptr<odbc::Statement> statement(probe.connection()->createStatement());
        std::unique_ptr<odbc::ResultSet> found(
            statement->executeQuery("select pkid from DigitDiscardInstruction "
                                    "where pkid = '" +
                                    pkid + "' union select pkid from DialPlanTag where pkid = '" + pkid + "'"));
        EXPECT_TRUE(found->next()) << pkid;
    }
    EXPECT_TRUE(probe.connection()->getAutoCommit());
    EXPECT_TRUE(boxes->boxes().empty());
    // The log was closed with everything written up to the failing insert.
    EXPECT_EQ(probe.log(), nullptr);
    const std::string log = logText();
    EXPECT_NE(log.find("Delete from DigitDiscardInstruction where pkid = '" + extra + "'"), std::string::npos);
    const std::string last = "VALUES ( '" + added + "', 'Foo-NEW', '" + v1.pkid + "', '2', 't')\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
}

// Line number (1-based) of the first line holding text.
long LineOf(const std::string& file, const std::string& text)
{
    const std::string before = file.substr(0, file.find(text));  // the whole file when text is missing
    return 1 + static_cast<long>(std::count(before.begin(), before.end(), '\n'));
}

// Throws std::out_of_range when from is missing.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    return text.replace(text.find(from), from.size(), to);
}

TEST_P(UpgradeTest, RefusesWhatIsStillInUseOrAFileThatCannotBeTrustedAndChangesNothing)
{
    DialPlan v1 = MakeDialPlan("Foo", 0xF0000000u, 4);
    const std::string first = v1.addInstruction("Extra-1", 7, "");
    const std::string second = v1.addInstruction("Extra-2", 8, "");
    install(v1);
    // A route filter uses tag 3 twice and tag 0 once; Extra-1 is used by a
    // pattern and a route list, Extra-2 by a route list.
    const std::string filter = Guid(0xAF000000u, 1);
    insert("RouteFilter (pkid, name, fkDialPlan)", {filter, "rf", v1.pkid});
    unsigned n = 0;
    for (int t : {3, 0, 3})
        insert("RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag)",
               {Guid(0xAF100000u, ++n), filter, v1.tags[t].pkid});
    insert("NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction)",
           {Guid(0xAF200000u, 1), "9.@", v1.pkid, first});
    for (const std::string& instruction : {first, second})
        insert("RouteList (pkid, name, fkDigitDiscardInstruction)",
               {Guid(0xAF300000u, ++n), "rl-" + instruction, instruction});
    const std::string before = db->snapshot();

    // Runs the upgrade with text as Foo.csv (no file when empty): it must
    // return code, change nothing and show one message box, whose text it gives.
    const auto refused = [&](const std::string& text, int code) {
        std::remove((work->path() + "/Foo.csv").c_str());
        if (!text.empty())
            writeText(text);
        removeLog();
        const std::size_t shown = boxes->boxes().size();
        CZentraSetup setup;
        EXPECT_EQ(upgrade(setup, v1), code);
        EXPECT_EQ(db->snapshot(), before);
        EXPECT_EQ(boxes->boxes().size(), shown + 1);
        const auto box = boxes->boxes().size() > shown ? boxes->boxes().back() : zentra_test::MessageBoxCapture::Box{};
        EXPECT_EQ(box.caption, "Installation Failed");
        return box.text;
    };
    const auto expectEnd = [](const std::string& text, const std::string& end) {
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), end.size())), end) << text;
    };

    DialPlan noTags = v1, noExtras = v1, noSecond = v1;
    for (int t : {3, 2, 0})
        noTags.remove(v1.tags[t].pkid);
    for (DialPlan* plan : {&noTags, &noExtras})
        plan->remove(first);
    for (DialPlan* plan : {&noTags, &noExtras, &noSecond})
        plan->remove(second);
    // The walk over the file's instructions: for each installed one, the file
    // entries tried before its match, or all of them.
    std::string walk = "Start - ObsoleteDigitDiscardInstruction\n";
    for (std::size_t k = 0; k < v1.instructions.size(); ++k)
        for (std::size_t tried = 0; tried < std::min<std::size_t>(k, 6); ++tried)
            walk += v1.instructions[tried].pkid + "\n";
    const std::string numPlan = "select * from NumPlan where fkDigitDiscardInstruction = '";
    const std::string routeFilter = "Select * from RouteFilterMember where fkDialPlanTag = '";
    // Each is refused at the check that the log ends with.
    // After the refusal's own lines, the log names each row that blocks it.
    const std::string byFilter = " is used by route filter rf (" + filter + ")\n";
    struct InUse {
        const char* what;
        const DialPlan& file;
        int code;
        std::string message, logEnd;
    };
    const InUse inUse[] = {
        {"tags used by route filters, checked before the instructions", noTags, 2,
         "The tags Foo-TAG-0,Foo-TAG-3 have clause configured but are deleted in the new dial plan version",
         routeFilter + v1.tags[2].pkid + "'\n\n" + routeFilter + v1.tags[3].pkid + "'CheckObsoleteTagInUse\n" +
             "tag Foo-TAG-0 (" + v1.tags[0].pkid + ")" + byFilter + "tag Foo-TAG-3 (" + v1.tags[3].pkid + ")" +
             byFilter},
        {"instruction used by a pattern, route lists not examined", noExtras, 5,
         "The DDIs Extra-1 are associated with Route/Translation Patterns but are deleted in the new dial plan version",
         walk + "End - ObsoleteDigitDiscardInstruction\nObsoleteDDIInUse_RP_TP\n\n\n" + numPlan + first + "'\n\n" +
             numPlan + second + "'CheckObsoleteDDIInUse\ninstruction Extra-1 (" + first + ") is used by pattern 9.@ (" +
             Guid(0xAF200000u, 1) + ")\n"},
        {"instruction used by a route list", noSecond, 5,
         "The DDIs Extra-2 are associated with Route Lists but are deleted in the new dial plan version",
         "ObsoleteDDIInUse_RP_TP\n\n\n" + numPlan + second +
             "'CheckObsoleteDDIInUse\nObsoleteDDIInUse_RL\n\n\n"
             "select * from RouteList where fkDigitDiscardInstruction = '" +
             second + "'CheckObsoleteDDIInUse\n" + "instruction Extra-2 (" + second + ") is used by route list rl-" +
             second + " (" + Guid(0xAF300000u, 5) + ")\n"},
    };
    for (const InUse& c : inUse) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refused(CsvText(c.file), c.code), c.message);
        expectEnd(logText(), c.logEnd);
    }

    // Files that are missing or damaged: the upgrade would delete what they
    // fail to list. The install entry refuses them before it looks anything up.
    const std::string good = CsvText(noExtras);
    const auto row = [&](std::size_t k) {
        const Instruction& i = v1.instructions[k];
        return "{" + i.pkid + "}," + i.name + ",{" + v1.pkid + "}," + std::to_string(i.analysisId) + "," + i.clause +
               "\r\n";
    };
    const std::string cut = good.substr(0, good.find("\r\nTable:DigitDiscardInstructionMember"));
    const std::string preAt = v1.instructions[2].pkid, tag = "{" + v1.tags[1].pkid + "},Foo";
    const Member& m = v1.members[2];
    const std::string member = "{" + m.pkid + "},{" + m.instruction + "},{" + m.tag + "}";
    DialPlan five = noExtras;
    five.remove(v1.instructions[5].pkid);
    const std::string fiveText = CsvText(five);
    // text empty: no file at all; line 0: no line named.
    struct Damaged {
        const char* what;
        std::string text;
        long line;
        const char* problem;
    };
    const Damaged damaged[] = {
        {"missing file", "", 0, "cannot open the file"},
        {"no member section", cut, LineOf(cut, row(5)), "no DigitDiscardInstructionMember section"},
        {"five instructions", fiveText, LineOf(fiveText, row(4)), "holds 5 rows"},
        {"names out of order", Replaced(good, row(1) + row(2), row(2) + row(1)), LineOf(good, row(1)),
         "is named \"PreAt\" where \"PreDot\" is expected"},
        {"tag pkid without braces", Replaced(good, tag, tag.substr(1, 36) + ",Foo"), LineOf(good, tag),
         "is not a GUID in curly braces"},
        {"instruction pkid without closing brace", Replaced(good, "{" + preAt + "},PreAt,", "{" + preAt + ",PreAt,"),
         LineOf(good, row(2)), "is not a GUID in curly braces"},
        {"member instruction without braces",
         Replaced(good, member, "{" + m.pkid + "}," + m.instruction + ",{" + m.tag + "}"), LineOf(good, member),
         "fkDigitDiscardInstruction"},
        {"member tag without opening brace",
         Replaced(good, member, "{" + m.pkid + "},{" + m.instruction + "}," + m.tag + "}"), LineOf(good, member),
         "fkDialPlanTag"},
        {"another dial plan's name", Replaced(good, ",Foo,Foo dial plan", ",Bar,Foo dial plan"), 4,
         "names the dial plan \"Bar\", but it is being installed as \"Foo\""},
    };
    for (const Damaged& c : damaged) {
        SCOPED_TRACE(c.what);
        std::remove((work->path() + "/Foo.csv").c_str());
        if (!c.text.empty())
            writeText(c.text);
        removeLog();
        const std::size_t shown = boxes->boxes().size();
        CZentraSetup setup;
        ASSERT_EQ(setup.DBConnection(), 0);
        EXPECT_EQ(setup.DialPlanMain("Foo"), 12);
        EXPECT_EQ(db->snapshot(), before);
        ASSERT_EQ(boxes->boxes().size(), shown + 1);
        const zentra_test::MessageBoxCapture::Box& box = boxes->boxes().back();
        EXPECT_EQ(box.caption, "Installation Failed");
        const std::string where = "Foo.csv: " + (c.line > 0 ? "line " + std::to_string(c.line) + ": " : "");
        const std::string lead = "The dial plan file Foo.csv cannot be installed; nothing has been changed.\n";
        EXPECT_EQ(box.text.rfind(lead + where, 0), 0u) << box.text;
        EXPECT_NE(box.text.find(c.problem), std::string::npos) << box.text;
        EXPECT_EQ(logText(), "The dial plan file is refused: " + box.text.substr(lead.size()) + "\n");
    }
}

}  // namespace
}  // namespace upgrade_test
