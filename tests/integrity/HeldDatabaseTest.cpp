// Runs that meet another session holding the configuration database: another
// run of the programs, or a person's open transaction. A run waits at most its
// bounded time, says once that it waits, and then either goes on from what the
// other left or stops with nothing changed; another session's write waits for
// a run that holds the database, and cannot come to point at what the run
// deleted.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "integrity/IntegrityFixture.h"

namespace integrity_test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kWaiting = "Waiting for another run of Zentra or another session to release the configuration "
                             "database";
// Tags of the example: one that v2 drops (INTERNATIONAL-OPERATOR), one that it keeps (SUBSCRIBER).
const std::string kDroppedTag = "D84DC8DF-9801-57BB-9965-1102D6A7F187";
const std::string kKeptTag = "513BD132-994F-52EE-9B99-5EF0B780E006";

int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class HeldDatabase : public IntegrityTest {
protected:
    // Makes the delete of the row `pkid` from table take a second or more, so
    // that the run making it holds its transaction that long. PostgreSQL
    // sleeps; SQLite, which cannot, counts a large join.
    void slowDown(const std::string& table, const std::string& pkid) const
    {
        if (GetParam() == Backend::PostgreSQL) {
            db->exec("CREATE OR REPLACE FUNCTION zentra_slow() RETURNS trigger LANGUAGE plpgsql AS $$ "
                     "BEGIN PERFORM pg_sleep(1.5); RETURN OLD; END $$");
            db->exec("CREATE TRIGGER zentra_slow_" + table + " BEFORE DELETE ON " + table +
                     " FOR EACH ROW WHEN (OLD.pkid = '" + pkid + "') EXECUTE FUNCTION zentra_slow()");
            return;
        }
        db->exec("CREATE TABLE IF NOT EXISTS ZentraSlow (n integer)");
        db->exec("DELETE FROM ZentraSlow");
        for (int n = 1; n <= 60; ++n)
            db->exec("INSERT INTO ZentraSlow (n) VALUES (" + std::to_string(n) + ")");
        db->exec("CREATE TRIGGER zentra_slow_" + table + " BEFORE DELETE ON " + table + " WHEN OLD.pkid = '" + pkid +
                 "' BEGIN SELECT count(*) FROM ZentraSlow a, ZentraSlow b, ZentraSlow c, ZentraSlow d "
                 "WHERE a.n + b.n + c.n + d.n > 0; END");
    }

    // Whether a run holds the configuration database: PostgreSQL, the run's
    // lock granted (and, with slowed, the run inside a slowed statement);
    // SQLite, the write lock.
    bool runHoldsDatabase(bool slowed) const
    {
        if (GetParam() == Backend::SQLite)
            return SqliteWriteLockHeld(db->database());
        const std::string here = "datname = current_database()";
        if (slowed)
            return db->count("pg_stat_activity", here + " and wait_event = 'PgSleep'") > 0;
        return db->count("pg_locks", "locktype = 'advisory' and granted and database = (select oid from pg_database "
                                     "where " + here + ")") > 0;
    }

    // Whether the client's last statements wait for a lock that a run holds.
    bool clientWaits(ClientSession& client) const
    {
        if (GetParam() == Backend::PostgreSQL)
            return db->count("pg_stat_activity",
                             "pid = " + std::to_string(client.backendPid()) + " and wait_event_type = 'Lock'") > 0;
        return !client.done(std::chrono::milliseconds(300)) && SqliteWriteLockHeld(db->database());
    }

    // The example installed from examples/v1, v2 delivered beside it, and a
    // new dial plan Harbour delivered.
    void installExample()
    {
        deliver("v1", ExampleDelivery("v1"));
        ASSERT_EQ(setup("v1", {"Example"}).exitCode, 0);
        deliver("v2", ExampleDelivery("v2"));
        deliver("harbour", ModelDelivery(MakeDialPlan("Harbour", 0x4A000000u, 4), "v1"));
    }
};

TEST_P(HeldDatabase, ARunThatCannotHaveTheDatabaseStopsClearlyWithinItsWait)
{
    installExample();
    const State before = capture();
    const std::map<std::string, std::string> oneSecond = {{"ZENTRA_LOCK_TIMEOUT", "1"}};
    const struct {
        const char* what;
        std::function<ProgramResult()> run;
        int exitCode;
        std::string nothing;
        bool readsRoutes;
    } operations[] = {
        {"new installation", [&] { return setup("harbour", {"--lock-timeout", "1", "Harbour"}); }, 11,
         "Nothing has been changed.", false},
        {"upgrade", [&] { return setup("v2", {"--lock-timeout", "1", "Example"}); }, 11, "Nothing has been changed.",
         true},
        {"removal", [&] { return uninstall("Example", oneSecond); }, 255, "Nothing was removed.", true},
    };
    const struct {
        const char* what;
        std::string statements;
        bool holdsEverything;
    } holders[] = {
        {"another run", ClientSession::HoldRunLock(GetParam()), true},
        // SQLite has one lock for the whole database; PostgreSQL locks the
        // route table only, which a new installation does not read.
        {"an open transaction that adds a route filter",
         "BEGIN; insert into RouteFilter (pkid, name, fkDialPlan, clause) select '0F0F0F0F-0000-4000-8000-"
         "000000000001', 'Held', pkid, '' from DialPlan where name = 'Example';",
         GetParam() == Backend::SQLite},
    };
    for (const auto& holder : holders) {
        for (const auto& operation : operations) {
            if (!holder.holdsEverything && !operation.readsRoutes)
                continue;
            SCOPED_TRACE(std::string(operation.what) + " while " + holder.what + " holds the database");
            ClientSession session(*db);
            ASSERT_TRUE(session.run(holder.statements)) << session.output();

            const Clock::time_point start = Clock::now();
            const ProgramResult end = operation.run();
            const auto waited = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start);

            EXPECT_EQ(end.exitCode, operation.exitCode) << end.out << end.err;
            EXPECT_NE(end.err.find("not granted within 1 s"), std::string::npos) << end.err;
            EXPECT_NE(end.err.find(operation.nothing), std::string::npos) << end.err;
            EXPECT_EQ(Occurrences(end.err, kWaiting), 1) << end.err;
            // Bounded: far below the default wait of 30 s.
            EXPECT_LT(waited.count(), 20);
            EXPECT_TRUE(capture() == before) << Difference(capture(), before);
        }
    }
}

TEST_P(HeldDatabase, AnUpgradeWaitsForASessionThatLetsGoAndThenGoesOn)
{
    installExample();
    const Saved base = save();
    ASSERT_EQ(setup("v2", {"Example"}).exitCode, 0);
    const State upgraded = capture();
    const struct {
        const char* what;
        std::string statements;
    } holders[] = {
        {"another run", ClientSession::HoldRunLock(GetParam())},
        {"an open transaction that changes a route list", "BEGIN; insert into RouteList (pkid, name) values "
                                                          "('0F0F0F0F-0000-4000-8000-000000000003', 'Held');"},
        {"an open transaction that changes the dial plan's row",
         "BEGIN; update DialPlan set isLocalized = 'f' where name = 'Example';"},
    };
    for (const auto& holder : holders) {
        SCOPED_TRACE(holder.what);
        restore(base);
        ClientSession session(*db);
        ASSERT_TRUE(session.run(holder.statements)) << session.output();

        auto upgrade = startSetup("v2", {"Example"});
        ASSERT_TRUE(WaitUntil([&] { return upgrade->errors().find(kWaiting) != std::string::npos || upgrade->finished(); },
                              std::chrono::seconds(20)))
            << "the upgrade did not say that it waits";
        ASSERT_TRUE(session.run("ROLLBACK;")) << session.output();

        const ProgramResult end = upgrade->wait();
        EXPECT_EQ(end.exitCode, 0) << end.out << end.err;
        EXPECT_EQ(Occurrences(end.err, kWaiting), 1) << end.err;
        EXPECT_TRUE(capture() == upgraded) << Difference(capture(), upgraded);
    }
}

TEST_P(HeldDatabase, ARouteAddedWhileAnUpgradeHoldsItsTransactionWaitsForIt)
{
    installExample();
    // The upgrade drops INTERNATIONAL-OPERATOR; it holds its transaction
    // while it deletes that tag.
    slowDown("DialPlanTag", kDroppedTag);
    const Saved base = save();
    ASSERT_EQ(setup("v2", {"Example"}).exitCode, 0);
    const auto upgraded = db->dialPlanRows();

    const struct {
        const char* what;
        std::string tag;
        int routeMembers;
    } routes[] = {
        {"a route on a tag that the upgrade drops is not added", kDroppedTag, 0},
        {"a route on a tag that the upgrade keeps is added after it", kKeptTag, 1},
    };
    for (const auto& route : routes) {
        SCOPED_TRACE(route.what);
        restore(base);
        ASSERT_EQ(db->count("DialPlanTag", "pkid = '" + route.tag + "'"), 1);
        ClientSession session(*db);
        ASSERT_TRUE(session.run("select 1;"));

        auto upgrade = startSetup("v2", {"Example"});
        ASSERT_TRUE(WaitUntil([&] { return runHoldsDatabase(true) || upgrade->finished(); }, std::chrono::seconds(30)));
        // As a person's tool adds a route: on a tag that is there.
        session.send("insert into RouteFilter (pkid, name, fkDialPlan, clause) select '0F0F0F0F-0000-4000-8000-"
                     "000000000001', 'Added', pkid, '' from DialPlan where name = 'Example'; "
                     "insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) select "
                     "'0F0F0F0F-0000-4000-8000-000000000002', '0F0F0F0F-0000-4000-8000-000000000001', pkid, '' "
                     "from DialPlanTag where pkid = '" + route.tag + "';");
        EXPECT_TRUE(WaitUntil([&] { return clientWaits(session); }, std::chrono::seconds(10)))
            << "the route was added while the upgrade held the database";

        const ProgramResult end = upgrade->wait();
        EXPECT_EQ(end.exitCode, 0) << end.out << end.err;
        ASSERT_TRUE(session.done()) << session.output();
        EXPECT_EQ(db->dialPlanRows(), upgraded);
        EXPECT_EQ(db->count("RouteFilterMember"), route.routeMembers);
        EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
        EXPECT_TRUE(filesAgree("Example"));
    }
}

TEST_P(HeldDatabase, AnUpgradeAndARemovalThatFindTheOtherHoldingTheDatabase)
{
    installExample();
    const struct {
        const char* what;
        std::string slowTable, slowRow;  // what the holder deletes slowly
        bool removalHolds;
        std::string waiterSays;  // what the waiting run then tells on standard output
    } meetings[] = {
        // On one machine the second run waits for the first one's files too,
        // and then runs in turn.
        {"an upgrade started while a removal holds the database installs v2 anew", "DialPlan",
         db->scalar("select pkid from DialPlan where name = 'Example'"), true, ""},
        {"a removal started while an upgrade holds the database removes v2", "DialPlanTag", kDroppedTag, false, ""},
    };
    for (const auto& meeting : meetings) {
        SCOPED_TRACE(meeting.what);
        slowDown(meeting.slowTable, meeting.slowRow);
        const Saved base = save();
        // The end to reach: the holder's run, then the waiter's.
        const ProgramResult holderInTurn = meeting.removalHolds ? uninstall("Example") : setup("v2", {"Example"});
        const ProgramResult waiterInTurn = meeting.removalHolds ? setup("v2", {"Example"}) : uninstall("Example");
        ASSERT_EQ(holderInTurn.exitCode, 0) << holderInTurn.out << holderInTurn.err;
        ASSERT_EQ(waiterInTurn.exitCode, 0) << waiterInTurn.out << waiterInTurn.err;
        const State inTurn = capture();
        restore(base);

        auto holder = meeting.removalHolds ? startUninstall("Example") : startSetup("v2", {"Example"});
        ASSERT_TRUE(WaitUntil([&] { return runHoldsDatabase(true) || holder->finished(); }, std::chrono::seconds(30)));
        auto waiter = meeting.removalHolds ? startSetup("v2", {"Example"}) : startUninstall("Example");
        const ProgramResult holderEnd = holder->wait();
        const ProgramResult waiterEnd = waiter->wait();

        EXPECT_EQ(holderEnd.exitCode, 0) << holderEnd.out << holderEnd.err;
        EXPECT_EQ(waiterEnd.exitCode, 0) << waiterEnd.out << waiterEnd.err;
        EXPECT_EQ(Occurrences(waiterEnd.err, kWaiting), 1) << waiterEnd.err;
        EXPECT_NE(waiterEnd.out.find(meeting.waiterSays), std::string::npos) << waiterEnd.out;
        EXPECT_TRUE(capture() == inTurn) << Difference(capture(), inTurn);
        EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
        EXPECT_TRUE(filesAgree("Example"));

        db->exec(GetParam() == Backend::SQLite ? "DROP TRIGGER zentra_slow_" + meeting.slowTable
                                               : "DROP TRIGGER zentra_slow_" + meeting.slowTable + " ON " +
                                                     meeting.slowTable);
        restore(base);
    }
}

// Two machines on one database: their runs meet at the database's lock alone,
// and the second decides again on what it finds there.
TEST_P(HeldDatabase, RunsOfTwoMachinesDecideAgainOnWhatTheOtherLeft)
{
    installExample();
    // The other machine: its own folders, the same data source and driver.
    const std::string other = work->path() + "/other-machine";
    for (const char* file : {"system.reg", "odbcinst.ini", "odbc.ini"})
        WriteFile(other + "/" + file, ReadFile(prefix->path() + "/" + file));
    const std::map<std::string, std::string> onOther = {{"ZENTRA_PREFIX", other}, {"ODBCSYSINI", other}};
    const auto deployedOn = [&](const std::string& machine, const std::string& name) {
        return ReadFile(machine + "/drive_c/Program Files/Norvane/DialPlan/" + name);
    };

    // A removal here holds the database; an upgrade there finds the dial plan
    // gone when it has the database, and installs it anew.
    slowDown("DialPlan", db->scalar("select pkid from DialPlan where name = 'Example'"));
    auto removal = startUninstall("Example");
    ASSERT_TRUE(WaitUntil([&] { return runHoldsDatabase(true) || removal->finished(); }, std::chrono::seconds(30)));
    auto upgrade = startSetup("v2", {"Example"}, onOther);
    const ProgramResult removed = removal->wait();
    const ProgramResult installed = upgrade->wait();
    EXPECT_EQ(removed.exitCode, 0) << removed.out << removed.err;
    EXPECT_EQ(installed.exitCode, 0) << installed.out << installed.err;
    EXPECT_NE(installed.out.find("another run has removed Example meanwhile; nothing was changed (13)"),
              std::string::npos)
        << installed.out;
    EXPECT_NE(installed.out.find("not installed: new installation (6)"), std::string::npos) << installed.out;
    EXPECT_EQ(db->count("DialPlan", "name = 'Example'"), 1);
    EXPECT_EQ(deployedOn(other, "Example"), ExampleDelivery("v2").files.at("Example"));
    // Here the removal deleted this machine's files; the other machine has its own.
    EXPECT_FALSE(FileExists(prefix->hostPath(std::string(kDialPlanFolder) + "Example")));
    EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());

    // Two new installations of one dial plan: the second finds it installed
    // when it has the database, and upgrades it (with nothing to change).
    if (GetParam() == Backend::PostgreSQL) {
        db->exec("CREATE OR REPLACE FUNCTION zentra_slow_insert() RETURNS trigger LANGUAGE plpgsql AS $$ "
                 "BEGIN PERFORM pg_sleep(1.5); RETURN NEW; END $$");
        db->exec("CREATE TRIGGER zentra_slow_insert BEFORE INSERT ON DialPlan FOR EACH ROW WHEN (NEW.name = "
                 "'Harbour') EXECUTE FUNCTION zentra_slow_insert()");
    } else {
        db->exec("CREATE TRIGGER zentra_slow_insert BEFORE INSERT ON DialPlan WHEN NEW.name = 'Harbour' BEGIN "
                 "SELECT count(*) FROM ZentraSlow a, ZentraSlow b, ZentraSlow c, ZentraSlow d WHERE a.n + b.n + "
                 "c.n + d.n > 0; END");
    }
    auto first = startSetup("harbour", {"Harbour"});
    ASSERT_TRUE(WaitUntil([&] { return runHoldsDatabase(true) || first->finished(); }, std::chrono::seconds(30)));
    auto second = startSetup("harbour", {"Harbour"}, onOther);
    const ProgramResult firstEnd = first->wait();
    const ProgramResult secondEnd = second->wait();
    EXPECT_EQ(firstEnd.exitCode, 0) << firstEnd.out << firstEnd.err;
    EXPECT_EQ(secondEnd.exitCode, 0) << secondEnd.out << secondEnd.err;
    EXPECT_NE(secondEnd.out.find("another run has installed Harbour meanwhile; nothing was changed (14)"),
              std::string::npos)
        << secondEnd.out;
    EXPECT_NE(secondEnd.out.find("installed: upgraded (7)"), std::string::npos) << secondEnd.out;
    EXPECT_EQ(db->count("DialPlan", "name = 'Harbour'"), 1);
    const DialPlan harbour = MakeDialPlan("Harbour", 0x4A000000u, 4);
    EXPECT_EQ(db->count("DigitDiscardInstruction", "fkDialPlan = '" + harbour.pkid + "'"),
              static_cast<int>(harbour.instructions.size()));
    EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
    EXPECT_TRUE(filesAgree("Harbour"));
}

INSTANTIATE_TEST_SUITE_P(Backends, HeldDatabase, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) { return BackendName(param.param); });

}  // namespace
}  // namespace integrity_test
