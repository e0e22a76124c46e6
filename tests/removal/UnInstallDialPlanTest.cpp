// The removal of an installed dial plan through the installer object, on the
// real host databases.

#include <gtest/gtest.h>

#include <string>

#include "installer/CZentraSetup.h"
#include "odbc/odbc.h"
#include "removal/RemovalFixture.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace {

using namespace removal_test;
using zentra_test::Backend;

class Removal : public RemovalFixture {
protected:
    void SetUp() override
    {
        RemovalFixture::SetUp();
        if (!IsSkipped()) {
            ASSERT_EQ(0, setup_.DBConnection());
        }
    }
    // The uninstall program creates the log, in a folder of its own; the
    // removal appends to it.
    void createLog(const std::string& name, const std::string& text = "") const
    {
        zentra_test::WriteFile(logPath(name), text);
    }

    CZentraSetup setup_;
};

TEST_P(Removal, RemovesOnlyTheNamedDialPlan)
{
    // The name holds a single quote, and the text before it names the other
    // dial plan, which must stay.
    DialPlan obrien = RemovablePlan("O'Brien", 100);
    DialPlan o = RemovablePlan("O", 200);
    // Members crossing the dial plans go with their instruction, not their tag.
    obrien.addMember(obrien.instructions[0].pkid, o.tags[0].pkid);
    o.addMember(o.instructions[0].pkid, obrien.tags[0].pkid);
    const std::string crossing = obrien.members.back().pkid;
    install(obrien);
    install(o);
    const DialPlan bare = install({zentra_test::NextGuid(0xAB000000u), "Bare", "", {}, {}, {}});
    // References to the other dial plan do not block.
    SetReferences(*db, o, true, true, true);
    createLog("O'Brien", "created by the program\n");

    EXPECT_EQ(0, setup_.UnInstallDialPlan("O'Brien"));

    EXPECT_EQ(0, CountRowsOf(*db, obrien));
    EXPECT_EQ(0, db->count("DigitDiscardInstructionMember", "pkid = '" + crossing + "'"));
    EXPECT_EQ(kRowsOfFullDialPlan + 1, CountRowsOf(*db, o));
    EXPECT_EQ(3, db->count("RouteList") + db->count("NumPlan") + db->count("RouteFilter"));
    EXPECT_EQ("created by the program\n" + RemovalLog("O''Brien", obrien.pkid), logOf("O'Brien"));
    CZentraSetupTestProbe probe(setup_);
    EXPECT_EQ(nullptr, probe.log()) << "the log is closed at the end of the step";
    EXPECT_EQ(nullptr, probe.statement());
    EXPECT_EQ(nullptr, probe.resultSet());

    // A dial plan with no other rows, and no folder for a log.
    EXPECT_EQ(0, setup_.UnInstallDialPlan("Bare"));
    EXPECT_EQ(0, CountRowsOf(*db, bare));
    EXPECT_FALSE(zentra_test::FileExists(logPath("Bare")));

    // A name no DialPlan row has is no error and deletes nothing.
    createLog("Suburb");
    const std::string before = db->snapshot();
    EXPECT_EQ(0, setup_.UnInstallDialPlan("Suburb"));
    EXPECT_EQ(before, db->snapshot());
    EXPECT_EQ(RemovalLog("Suburb", "", 1) + "The dial plan does not exist in the OV", logOf("Suburb"));
    EXPECT_EQ(nullptr, probe.log());
    EXPECT_EQ(nullptr, probe.resultSet());
}

TEST_P(Removal, ReferencesOfTheDialPlanRefuse)
{
    const DialPlan metro = install(RemovablePlan("Metro", 100));
    const std::string plan = "dial plan Metro (" + metro.pkid + ") is used by ";
    const struct {
        const char* what;
        bool pattern, routeList, routeFilter, foreignPattern, foreignFilterMember;
        int result;
        size_t statementsRun;
        // The rows that block it, as the log names them after the refusal.
        std::string blocking;
    } cases[] = {
        {"pattern and route filter: the pattern decides", true, false, true, false, false, 9, 2,
         plan + "pattern 9.@ (" + RouteGuid(1, 1) + ")\n"},
        {"pattern of no or another dial plan using an instruction", false, false, false, true, false, 9, 3,
         "instruction DDI-1 (" + metro.instructions[0].pkid + ") is used by pattern 8.XXXX (" + RouteGuid(1, 2) +
             ")\n"},
        {"route list of its last instruction", false, true, false, false, false, 10, 4,
         "instruction DDI-7 (" + metro.instructions[6].pkid + ") is used by route list RL-Branch (" + RouteGuid(2, 1) +
             ")\n"},
        {"route filter", false, false, true, false, false, 11, 5,
         plan + "route filter RF-Local (" + RouteGuid(3, 1) + ")\n"},
        {"another dial plan's route filter using a tag", false, false, false, false, true, 11, 6,
         "tag TAG-2 (" + metro.tags[1].pkid + ") is used by route filter RF-Other (" + RouteGuid(3, 2) + ")\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetReferences(*db, metro, c.pattern, c.routeList, c.routeFilter, c.foreignPattern, c.foreignFilterMember);
        createLog("Metro");
        const std::string before = db->snapshot();

        EXPECT_EQ(c.result, setup_.UnInstallDialPlan("Metro"));

        EXPECT_EQ(before, db->snapshot());
        EXPECT_EQ(RemovalLog("Metro", metro.pkid, c.statementsRun) + c.blocking, logOf("Metro"));
        EXPECT_EQ(nullptr, CZentraSetupTestProbe(setup_).log());
    }
}

TEST_P(Removal, FailuresLeaveEveryRowInPlace)
{
    const DialPlan metro = install(RemovablePlan("Metro", 100));
    const std::string before = db->snapshot();

    // Unusable names are refused before anything is touched, the log included.
    for (const std::string& name : {std::string(), std::string(".."), std::string("..\\..\\x"), std::string("../x"),
                                    std::string("Metro/"), std::string("Me:tro"), std::string(101, 'M')})
        EXPECT_EQ(12, setup_.UnInstallDialPlan(name)) << name;
    EXPECT_EQ(before, db->snapshot());
    EXPECT_STREQ("", CZentraSetupTestProbe(setup_).logPath()) << "no log path was set";

    // Without a connection the error reaches the caller.
    createLog("Metro");
    CZentraSetup unconnected;
    EXPECT_THROW(unconnected.UnInstallDialPlan("Metro"), odbc::SQLException);
    EXPECT_EQ(before, db->snapshot());
    EXPECT_EQ(RemovalLog("Metro", "", 0), logOf("Metro"));

    // A database error in the middle of the deletes reaches the caller, and the
    // members and instructions deleted before it are back.
    createLog("Metro");
    BlockTagDeletes(*db, "blocked");
    try {
        setup_.UnInstallDialPlan("Metro");
        ADD_FAILURE() << "the database error did not reach the caller";
    } catch (const odbc::SQLException& error) {
        EXPECT_NE(std::string::npos, error.getMessage().find("blocked")) << error.getMessage();
    }
    EXPECT_EQ(before, db->snapshot());
    // The log holds what ran before the error and is closed.
    EXPECT_EQ(RemovalLog("Metro", metro.pkid, 8), logOf("Metro"));
    EXPECT_EQ(nullptr, CZentraSetupTestProbe(setup_).log());

    // The connection is usable afterwards and no transaction was left open.
    db->exec("DROP TRIGGER block_tag_delete" + std::string(GetParam() == Backend::SQLite ? "" : " ON DialPlanTag"));
    EXPECT_EQ(0, setup_.UnInstallDialPlan("Metro"));
    EXPECT_EQ(0, CountRowsOf(*db, metro));
}

ZENTRA_ON_EVERY_BACKEND(Removal);

}  // namespace
