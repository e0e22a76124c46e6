// The removal of an installed dial plan through the installer object, on the
// real host databases.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "installer/CZentraSetup.h"
#include "installer/DialPlanName.h"
#include "odbc/odbc.h"
#include "removal/DialPlanRows.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace {

using removal_test::CountRowsOf;
using removal_test::DialPlanRows;
using removal_test::Guid;
using removal_test::InsertDialPlan;
using removal_test::kRowsOfFullDialPlan;
using zentra_test::Backend;

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Removal : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix_ = std::make_unique<zentra_test::Prefix>(GetParam());
        db_ = std::make_unique<zentra_test::HostDatabase>(GetParam());
        prefix_->registerDatabase(*db_);
        setup_ = std::make_unique<CZentraSetup>();
        ASSERT_EQ(0, setup_->DBConnection());
    }

    zentra_test::HostDatabase& db() { return *db_; }
    CZentraSetup& setup() { return *setup_; }

    std::string logHostPath(const std::string& name) const
    {
        return prefix_->hostPath(std::string(kZentraFolder) + name + "\\" + name +
                                 "_uninstall.txt");
    }
    // The run's folder, which the uninstall program creates before a removal.
    void makeFolder(const std::string& name) const
    {
        std::filesystem::create_directories(prefix_->hostPath(std::string(kZentraFolder) + name));
    }
    std::string logOf(const std::string& name) const { return zentra_test::ReadFile(logHostPath(name)); }

    std::unique_ptr<zentra_test::Prefix> prefix_;
    std::unique_ptr<zentra_test::HostDatabase> db_;
    std::unique_ptr<CZentraSetup> setup_;
};

// ---- A removal that goes through ----

TEST_P(Removal, DeletesEveryRowOfTheDialPlanAndLogsEachStatement)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    const DialPlanRows east = InsertDialPlan(db(), "Metro-East", 'B', 200);
    makeFolder("Metro");
    // The uninstall program creates the log; the removal appends to it.
    zentra_test::WriteFile(logHostPath("Metro"), "created by the program\n");

    EXPECT_EQ(0, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_EQ(0, db().count("DialPlan", "name = 'Metro'"));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), east));

    EXPECT_EQ("created by the program\n"
              "\n\nUnInstallDialPlan\n"
              "select pkid from DialPlan where name='Metro'\n\n"
              "select * from NumPlan where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= "
              "'AAAAAAAA-0001-0000-0000-000000000001' and T1.fkDigitDiscardInstruction = T2.pkid\n\n"
              "select * from RouteFilter where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "delete from DigitDiscardInstructionMember where (fkDigitDiscardInstruction in "
              "(select pkid from DigitDiscardInstruction where fkDialPlan = "
              "'AAAAAAAA-0001-0000-0000-000000000001'))\n\n"
              "delete from DigitDiscardInstruction where fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"
              "delete from DialPlan where Name='Metro'\n\n",
              logOf("Metro"));

    CZentraSetupTestProbe probe(setup());
    EXPECT_STREQ("C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Metro\\Metro_uninstall.txt",
                 probe.logPath());
    EXPECT_EQ(nullptr, probe.log()) << "the log is closed at the end of the step";
    EXPECT_EQ(nullptr, probe.statement());
    EXPECT_EQ(nullptr, probe.resultSet());
    EXPECT_TRUE(probe.dialPlanPkid().empty()) << "the removal keeps the pkid to itself";
}

TEST_P(Removal, UnknownNameIsNotAnErrorAndDeletesNothing)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    makeFolder("Suburb");
    const std::string before = db().snapshot();

    EXPECT_EQ(0, setup().UnInstallDialPlan("Suburb"));

    EXPECT_EQ(before, db().snapshot());
    EXPECT_EQ("\n\nUnInstallDialPlan\n"
              "select pkid from DialPlan where name='Suburb'\n\n"
              "The dial plan does not exist in the OV",
              logOf("Suburb"));
    CZentraSetupTestProbe probe(setup());
    EXPECT_EQ(nullptr, probe.statement());
    EXPECT_EQ(nullptr, probe.resultSet());
}

TEST_P(Removal, DialPlanWithoutTagsOrInstructionsGoes)
{
    const DialPlanRows bare = InsertDialPlan(db(), "Bare", 'C', 100, false);
    const DialPlanRows other = InsertDialPlan(db(), "Other", 'D', 200);
    makeFolder("Bare");

    EXPECT_EQ(0, setup().UnInstallDialPlan("Bare"));

    EXPECT_EQ(0, CountRowsOf(db(), bare));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), other));
}

TEST_P(Removal, MembersGoWithTheirInstructionsWhateverTagTheyPointAt)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    const DialPlanRows east = InsertDialPlan(db(), "Metro-East", 'B', 200);
    // A member of Metro's instruction pointing at a tag of Metro-East, and one of
    // Metro-East's instruction pointing at a tag of Metro.
    const std::string ownInstruction = Guid('E', 4, 1);
    const std::string foreignInstruction = Guid('E', 4, 2);
    db().exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
              "fkDialPlanTag) values ('" + ownInstruction + "', '" + metro.instructionPkids[0] +
              "', '" + east.tagPkids[0] + "')");
    db().exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
              "fkDialPlanTag) values ('" + foreignInstruction + "', '" + east.instructionPkids[0] +
              "', '" + metro.tagPkids[0] + "')");
    makeFolder("Metro");

    EXPECT_EQ(0, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(0, db().count("DigitDiscardInstructionMember", "pkid = '" + ownInstruction + "'"));
    EXPECT_EQ(1, db().count("DigitDiscardInstructionMember", "pkid = '" + foreignInstruction + "'"));
    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_EQ(kRowsOfFullDialPlan + 1, CountRowsOf(db(), east));
}

TEST_P(Removal, NameWithSingleQuoteStaysOneValue)
{
    const DialPlanRows obrien = InsertDialPlan(db(), "O'Brien", 'A', 100);
    // The text before the quote names another dial plan, which must stay.
    const DialPlanRows o = InsertDialPlan(db(), "O", 'B', 200);
    makeFolder("O'Brien");

    EXPECT_EQ(0, setup().UnInstallDialPlan("O'Brien"));

    EXPECT_EQ(0, CountRowsOf(db(), obrien));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), o));
    const std::string log = logOf("O'Brien");
    EXPECT_NE(std::string::npos, log.find("select pkid from DialPlan where name='O''Brien'\n\n"));
    EXPECT_TRUE(EndsWith(log, "delete from DialPlan where Name='O''Brien'\n\n")) << log;
}

TEST_P(Removal, RemovesWithoutALogWhenTheFolderIsMissing)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);

    EXPECT_EQ(0, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_FALSE(zentra_test::FileExists(logHostPath("Metro")));
    EXPECT_EQ(nullptr, CZentraSetupTestProbe(setup()).log());
}

// ---- References that block the removal ----

TEST_P(Removal, PatternDecidesBeforeRouteFilter)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    removal_test::InsertPattern(db(), Guid('F', 1, 1), metro.pkid, metro.instructionPkids[1]);
    removal_test::InsertRouteFilter(db(), Guid('F', 2, 1), metro.pkid);
    makeFolder("Metro");
    const std::string before = db().snapshot();

    EXPECT_EQ(9, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(before, db().snapshot());
    const std::string log = logOf("Metro");
    EXPECT_TRUE(EndsWith(log, "select pkid from DialPlan where name='Metro'\n\n"
                              "select * from NumPlan where fkDialPlan="
                              "'AAAAAAAA-0001-0000-0000-000000000001'\n\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("RouteList"));
    EXPECT_EQ(std::string::npos, log.find("RouteFilter"));
    CZentraSetupTestProbe probe(setup());
    EXPECT_EQ(nullptr, probe.log());
    EXPECT_EQ(nullptr, probe.statement());
}

TEST_P(Removal, RouteListOfOneOfItsInstructionsRefuses)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    removal_test::InsertRouteList(db(), Guid('F', 3, 1), metro.instructionPkids[6]);
    makeFolder("Metro");
    const std::string before = db().snapshot();

    EXPECT_EQ(10, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(before, db().snapshot());
    const std::string log = logOf("Metro");
    EXPECT_TRUE(EndsWith(log, "Select * from RouteList T1, DigitDiscardInstruction T2 where "
                              "T2.fkDialPlan= 'AAAAAAAA-0001-0000-0000-000000000001' and "
                              "T1.fkDigitDiscardInstruction = T2.pkid\n\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("RouteFilter"));
}

TEST_P(Removal, RouteFilterOfTheDialPlanRefuses)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    removal_test::InsertRouteFilter(db(), Guid('F', 2, 1), metro.pkid);
    makeFolder("Metro");
    const std::string before = db().snapshot();

    EXPECT_EQ(11, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(before, db().snapshot());
    const std::string log = logOf("Metro");
    EXPECT_TRUE(EndsWith(log, "select * from RouteFilter where "
                              "fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("delete"));
}

TEST_P(Removal, ReferencesToAnotherDialPlanDoNotBlock)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    const DialPlanRows east = InsertDialPlan(db(), "Metro-East", 'B', 200);
    removal_test::InsertRouteList(db(), Guid('F', 3, 1), east.instructionPkids[0]);
    removal_test::InsertPattern(db(), Guid('F', 1, 1), east.pkid, east.instructionPkids[2]);
    removal_test::InsertRouteFilter(db(), Guid('F', 2, 1), east.pkid);
    makeFolder("Metro");

    EXPECT_EQ(0, setup().UnInstallDialPlan("Metro"));

    EXPECT_EQ(0, CountRowsOf(db(), metro));
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), east));
    EXPECT_EQ(1, db().count("RouteList"));
    EXPECT_EQ(1, db().count("NumPlan"));
    EXPECT_EQ(1, db().count("RouteFilter"));
}

// ---- Failures ----

TEST_P(Removal, DatabaseErrorDuringTheDeletesLeavesTheDialPlanWhole)
{
    const DialPlanRows metro = InsertDialPlan(db(), "Metro", 'A', 100);
    if (GetParam() == Backend::SQLite) {
        db().exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                  "BEGIN SELECT RAISE(ABORT, 'blocked'); END");
    } else {
        db().exec("CREATE FUNCTION block_tag_delete() RETURNS trigger LANGUAGE plpgsql AS "
                  "$$ BEGIN RAISE EXCEPTION 'blocked'; END $$");
        db().exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                  "FOR EACH STATEMENT EXECUTE FUNCTION block_tag_delete()");
    }
    makeFolder("Metro");
    const std::string before = db().snapshot();

    try {
        setup().UnInstallDialPlan("Metro");
        FAIL() << "the database error did not reach the caller";
    } catch (const odbc::SQLException& error) {
        EXPECT_NE(std::string::npos, error.getMessage().find("blocked")) << error.getMessage();
    }

    // The members and instructions deleted before the error are back.
    EXPECT_EQ(before, db().snapshot());
    EXPECT_EQ(kRowsOfFullDialPlan, CountRowsOf(db(), metro));

    // The log holds what ran before the error and is closed.
    const std::string log = logOf("Metro");
    EXPECT_TRUE(EndsWith(log, "delete from DigitDiscardInstruction where "
                              "fkDialPlan='AAAAAAAA-0001-0000-0000-000000000001'\n\n"))
        << log;
    EXPECT_EQ(nullptr, CZentraSetupTestProbe(setup()).log());

    // The connection is usable afterwards and no transaction was left open.
    db().exec("DROP TRIGGER block_tag_delete" +
              std::string(GetParam() == Backend::SQLite ? "" : " ON DialPlanTag"));
    EXPECT_EQ(0, setup().UnInstallDialPlan("Metro"));
    EXPECT_EQ(0, CountRowsOf(db(), metro));
}

TEST_P(Removal, UnusableNamesAreRefusedBeforeAnythingIsTouched)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    const std::string before = db().snapshot();
    for (const std::string& name :
         {std::string(), std::string(".."), std::string("..\\..\\x"), std::string("../x"),
          std::string("Metro/"), std::string("Me:tro"), std::string(101, 'M')}) {
        EXPECT_EQ(12, setup().UnInstallDialPlan(name)) << name;
    }
    EXPECT_EQ(before, db().snapshot());
    CZentraSetupTestProbe probe(setup());
    EXPECT_STREQ("", probe.logPath()) << "no log path was set";
    EXPECT_EQ(nullptr, probe.log());
}

TEST_P(Removal, WithoutAConnectionTheErrorReachesTheCaller)
{
    InsertDialPlan(db(), "Metro", 'A', 100);
    makeFolder("Metro");
    CZentraSetup unconnected;

    EXPECT_THROW(unconnected.UnInstallDialPlan("Metro"), odbc::SQLException);

    EXPECT_EQ(1, db().count("DialPlan", "name = 'Metro'"));
    EXPECT_EQ("\n\nUnInstallDialPlan\nselect pkid from DialPlan where name='Metro'\n\n", logOf("Metro"));
}

INSTANTIATE_TEST_SUITE_P(Backends, Removal,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& backend) {
                             return zentra_test::BackendName(backend.param);
                         });

}  // namespace
