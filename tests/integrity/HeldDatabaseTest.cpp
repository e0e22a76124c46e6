// Runs that meet another session holding the configuration database: another
// run of the programs, or a person's open transaction. A run waits at most its
// bounded time, says once that it waits, and then either goes on from what the
// other left or stops with nothing changed; another session's write waits for
// a run that holds the database, and cannot come to point at what the run
// deleted.

#include <fcntl.h>

#include <memory>
#include <optional>

#include "integrity/IntegrityFixture.h"
#include "platform/Platform.h"
#include "runlock/LockedTransaction.h"
#include "runlock/MachineLock.h"
#include "odbc/odbc.h"

namespace integrity_test {
namespace {

using namespace std::chrono_literals;

const std::string kWaiting = "Waiting for another run of Zentra or another session to release the configuration "
                             "database";
// A run on the same machine waits for the other run's lock file first.
const std::string kWaitingForMachine = "Waiting for another run of Zentra on this machine to finish with the dial "
                                       "plans' files";
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

// Another session of the host database, as a person's tool opens one: a
// transaction it opens stays open, with its locks, until the test ends it.
struct ClientSession {
    explicit ClientSession(const HostDatabase& db)
        : backend(db.backend()),
          // SQLite: waits for a busy database as long as a test may.
          connection(odbc::DriverManager::getConnection(db.connectString() +
                                                        (backend == Backend::SQLite ? ";Timeout=60000" : "")))
    {
    }
    void exec(const std::vector<std::string>& statements)
    {
        // PostgreSQL's driver keeps its own account of the transaction.
        for (const std::string& sql : statements)
            if (backend == Backend::PostgreSQL && sql == "BEGIN")
                connection->setAutoCommit(false);
            else if (backend == Backend::PostgreSQL && sql == "ROLLBACK")
                connection->rollback();
            else
                std::unique_ptr<odbc::Statement>(connection->createStatement())->executeUpdate(sql);
    }

    Backend backend;
    std::unique_ptr<odbc::Connection> connection;
};

// The statements that hold the configuration database as another run of the
// programs holds it: SQLite's write lock, PostgreSQL's run lock.
std::vector<std::string> HoldRunLock(Backend backend)
{
    if (backend == Backend::SQLite)
        return {"BEGIN IMMEDIATE"};
    const auto key = zentra_lock::LockedTransaction::advisoryKey();
    return {"BEGIN", "select pg_advisory_xact_lock(" + std::to_string(key) + ")"};
}

class HeldDatabase : public IntegrityTest {
protected:
    // Makes `event` ("INSERT" or "DELETE") of the rows of table for which
    // condition holds take a second or more, so that the run making it holds
    // its transaction that long. PostgreSQL sleeps; SQLite, which cannot,
    // counts a large join.
    void slowDown(const std::string& table, const std::string& event, const std::string& condition) const
    {
        if (GetParam() == Backend::PostgreSQL) {
            db->exec("CREATE OR REPLACE FUNCTION zentra_slow() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                     "PERFORM pg_sleep(1.5); IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END $$");
            db->exec("CREATE TRIGGER zentra_slow BEFORE " + event + " ON " + table + " FOR EACH ROW WHEN (" +
                     condition + ") EXECUTE FUNCTION zentra_slow()");
            return;
        }
        db->exec("CREATE TABLE IF NOT EXISTS ZentraSlow AS WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
                 "FROM k WHERE n < 60) SELECT n FROM k");
        db->exec("CREATE TRIGGER zentra_slow BEFORE " + event + " ON " + table + " WHEN " + condition +
                 " BEGIN SELECT count(*) FROM ZentraSlow a, ZentraSlow b, ZentraSlow c, ZentraSlow d "
                 "WHERE a.n + b.n + c.n + d.n > 0; END");
    }
    void dropSlowDown(const std::string& table) const
    {
        db->exec("DROP TRIGGER zentra_slow" + (GetParam() == Backend::PostgreSQL ? " ON " + table : ""));
    }

    // Whether a run is inside a slowed statement: PostgreSQL, a session
    // sleeps; SQLite, another process holds the write lock (the reserved byte
    // above the first gigabyte). The descriptor stays open: closing one would
    // drop the locks of this process's sessions.
    bool runIsSlowed() const
    {
        if (GetParam() == Backend::PostgreSQL)
            return db->count("pg_stat_activity", "datname = current_database() and wait_event = 'PgSleep'") > 0;
        static std::map<std::string, int> descriptors;
        const auto [file, added] = descriptors.emplace(db->database(), -1);
        if (added)
            file->second = ::open(db->database().c_str(), O_RDONLY | O_CLOEXEC);
        struct flock probe = {F_WRLCK, SEEK_SET, 0x40000000, 2, 0};
        return ::fcntl(file->second, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    }

    // The example installed from examples/v1, v2 delivered beside it, and a
    // new dial plan Harbour delivered.
    void installExample()
    {
        deliver("v1", ExampleDelivery("v1"));
        ASSERT_EQ(setupIn("v1", {"Example"}).run().exitCode, 0);
        deliver("v2", ExampleDelivery("v2"));
        deliver("harbour", ModelDelivery(MakeDialPlan("Harbour", 0x4A000000u, 4), "v1"));
    }
};

// A run bounded to a wait of 1 s stops within the bound and a second, told,
// with nothing changed, whatever another session holds; an upgrade with the
// default bound waits until the session lets go, and then goes on.
TEST_P(HeldDatabase, ARunWaitsForAHeldDatabaseAtMostItsBoundAndGoesOnOnceItIsFree)
{
    installExample();
    const Saved base = save();
    const State before = capture();
    ASSERT_EQ(setupIn("v2", {"Example"}).run().exitCode, 0);
    const State upgraded = capture();
    const struct {
        const char* what;
        Command run;
        int exitCode;
        std::string nothing;
        bool touchesExample;
    } operations[] = {
        {"new installation", setupIn("harbour", {"--lock-timeout", "1", "Harbour"}), 11, "Nothing has been changed.",
         false},
        {"upgrade", setupIn("v2", {"--lock-timeout", "1", "Example"}), 11, "Nothing has been changed.", true},
        {"removal", uninstallOf("Example", {{"ZENTRA_LOCK_TIMEOUT", "1"}}), 255, "Nothing was removed.", true},
    };
    // SQLite has one lock for the whole database; PostgreSQL locks rows and
    // tables, which a new installation of another dial plan does not read.
    // Where the run meets the lock inside a statement (a lookup, a delete), it
    // tells the wait when the bound runs out; its own locks and SQLite's
    // commit it tells as it begins to wait.
    const bool sqlite = GetParam() == Backend::SQLite;
    const std::string exampleTags = "select pkid from DialPlanTag where fkDialPlan in (select pkid from DialPlan "
                                    "where name = 'Example') for update";
    const struct {
        const char* what;
        std::vector<std::string> statements;
        bool holdsEverything;
        bool toldAhead;
        std::optional<Backend> only;
    } holders[] = {
        {"another run", HoldRunLock(GetParam()), true, true, std::nullopt},
        {"an open transaction that adds a route filter",
         {"BEGIN", "insert into RouteFilter (pkid, name, fkDialPlan, clause) select '0F0F0F0F-0000-4000-8000-"
                   "000000000001', 'Held', pkid, '' from DialPlan where name = 'Example'"},
         sqlite,
         true,
         std::nullopt},
        {"an open transaction that changes a route list",
         {"BEGIN", "insert into RouteList (pkid, name) values ('0F0F0F0F-0000-4000-8000-000000000003', 'Held')"},
         sqlite,
         true,
         std::nullopt},
        {"an open transaction that changes the dial plan's row",
         {"BEGIN", "update DialPlan set isLocalized = 'f' where name = 'Example'"},
         sqlite,
         true,
         std::nullopt},
        {"an exclusive transaction", {"BEGIN EXCLUSIVE"}, true, false, Backend::SQLite},
        {"an open read transaction", {"BEGIN", "select count(*) from DialPlan"}, true, true, Backend::SQLite},
        {"a table lock on DialPlan",
         {"BEGIN", "LOCK TABLE DialPlan IN ACCESS EXCLUSIVE MODE"},
         true,
         false,
         Backend::PostgreSQL},
        {"row locks on the dial plan's tags", {"BEGIN", exampleTags}, false, false, Backend::PostgreSQL},
        {"a table lock on DigitDiscardInstruction",
         {"BEGIN", "LOCK TABLE DigitDiscardInstruction IN ACCESS EXCLUSIVE MODE"},
         true,
         false,
         Backend::PostgreSQL},
    };
    for (const auto& holder : holders) {
        if (holder.only && *holder.only != GetParam())
            continue;
        SCOPED_TRACE(holder.what);
        restore(base);
        ClientSession session(*db);
        session.exec(holder.statements);
        for (const auto& operation : operations) {
            if (!holder.holdsEverything && !operation.touchesExample)
                continue;
            SCOPED_TRACE(operation.what);
            const auto start = std::chrono::steady_clock::now();
            const ProgramResult end = operation.run.run();
            EXPECT_EQ(end.exitCode, operation.exitCode) << end.out << end.err;
            EXPECT_NE(end.err.find("not granted within 1 s"), std::string::npos) << end.err;
            EXPECT_NE(end.err.find(operation.nothing), std::string::npos) << end.err;
            EXPECT_EQ(Occurrences(end.err, kWaiting), 1) << end.err;
            EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        }
        // An exclusive transaction keeps this test from reading, too.
        session.exec({"ROLLBACK"});
        EXPECT_TRUE(capture() == before) << Difference(capture(), before);
        session.exec(holder.statements);

        BackgroundProgram upgrade(setupIn("v2", {"Example"}));
        if (holder.toldAhead) {
            ASSERT_TRUE(WaitUntil([&] { return upgrade.errors().find(kWaiting) != std::string::npos; }, 20s))
                << "the upgrade did not say that it waits";
        } else {
            std::this_thread::sleep_for(1s);
        }
        session.exec({"ROLLBACK"});
        const ProgramResult end = upgrade.wait();
        EXPECT_EQ(end.exitCode, 0) << end.out << end.err;
        EXPECT_EQ(Occurrences(end.err, kWaiting), holder.toldAhead ? 1 : 0) << end.err;
        EXPECT_TRUE(capture() == upgraded) << Difference(capture(), upgraded);
    }
}

// What a run killed while it copied the files or wrote a snapshot left goes
// with the next run that holds the machine's run lock, and stays while
// another run holds it.
TEST_P(HeldDatabase, LeftoversOfAKilledRunGoWithTheNextRunThatHoldsTheMachine)
{
    installExample();
    const zentra_run::DialPlanPaths paths("Example");
    const std::vector<std::string> leftovers = {
        hostPath(zentra_run::kDialPlanFolder) + "/.Example.Kq3xZ0",
        hostPath(paths.folder()) + "/.uninstall.exe.a1B2c3",
        hostPath(paths.historyFolder()) + "/.partial-20261209T141502Z-upgrade-7/rows.csv",
    };
    const struct {
        const char* what;
        Command run;
        bool machineHeld;
        int exitCode;
    } runs[] = {
        {"an upgrade while another run holds the machine", setupIn("v2", {"--lock-timeout", "1", "Example"}), true, 11},
        {"a removal while another run holds the machine", uninstallOf("Example", {{"ZENTRA_LOCK_TIMEOUT", "1"}}), true,
         255},
        {"an upgrade", setupIn("v2", {"Example"}), false, 0},
        {"a removal", uninstallOf("Example"), false, 0},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        for (const std::string& file : leftovers)
            WriteFile(file, "left by a killed run\n");
        platform::FileLock machine;
        if (run.machineHeld) {
            ASSERT_EQ(machine.acquire(zentra_lock::kMachineLockFile, 0s, {}), platform::FileLock::Result::Held);
        }
        const ProgramResult end = run.run.run();
        EXPECT_EQ(end.exitCode, run.exitCode) << end.out << end.err;
        for (const std::string& file : leftovers)
            EXPECT_EQ(FileExists(file), run.machineHeld) << file;
    }
}

TEST_P(HeldDatabase, ARouteAddedWhileAnUpgradeHoldsItsTransactionWaitsForIt)
{
    installExample();
    // The upgrade holds its transaction while it deletes the tag that v2 drops.
    slowDown("DialPlanTag", "DELETE", "OLD.pkid = '" + kDroppedTag + "'");
    const Saved base = save();
    ASSERT_EQ(setupIn("v2", {"Example"}).run().exitCode, 0);
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

        BackgroundProgram upgrade(setupIn("v2", {"Example"}));
        ASSERT_TRUE(WaitUntil([&] { return runIsSlowed(); }, 30s));
        // As a person's tool adds a route: on a tag that is there.
        auto added = std::async(std::launch::async, [&] {
            session.exec({"insert into RouteFilter (pkid, name, fkDialPlan, clause) select '0F0F0F0F-0000-4000-"
                          "8000-000000000001', 'Added', pkid, '' from DialPlan where name = 'Example'",
                          "insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) select "
                          "'0F0F0F0F-0000-4000-8000-000000000002', '0F0F0F0F-0000-4000-8000-000000000001', pkid, "
                          "'' from DialPlanTag where pkid = '" +
                              route.tag + "'"});
        });
        // The route's statements wait: PostgreSQL tells of a session that
        // waits for a lock; on SQLite the run holds the database meanwhile.
        const auto routeWaits = [&] {
            return added.wait_for(300ms) != std::future_status::ready &&
                   (GetParam() == Backend::SQLite ? runIsSlowed()
                                                  : db->count("pg_stat_activity", "datname = current_database() and "
                                                                                  "wait_event_type = 'Lock'") > 0);
        };
        EXPECT_TRUE(WaitUntil(routeWaits, 10s)) << "the route was added while the upgrade held the database";

        const ProgramResult end = upgrade.wait();
        EXPECT_EQ(end.exitCode, 0) << end.out << end.err;
        added.get();
        EXPECT_EQ(db->dialPlanRows(), upgraded);
        EXPECT_EQ(db->count("RouteFilterMember"), route.routeMembers);
        expectSound({"Example"});
    }
}

// The run that comes second waits for the first and then goes on from what it
// left: on one machine it waits for the first one's files too and runs in
// turn; on another machine sharing the database they meet at the database's
// lock alone, and the second decides again on what it finds there.
TEST_P(HeldDatabase, RunsThatFindAnotherRunHoldingTheDatabaseGoOnFromWhatItLeft)
{
    installExample();
    // The other machine: its own folders, the same data source and driver.
    const std::string other = work->path() + "/other-machine";
    for (const char* file : {"system.reg", "odbcinst.ini", "odbc.ini"})
        WriteFile(other + "/" + file, ReadFile(prefix->path() + "/" + file));
    const std::map<std::string, std::string> onOther = {{"ZENTRA_PREFIX", other}, {"ODBCSYSINI", other}};

    const struct {
        const char* what;
        std::string slowTable, slowEvent, slowWhen;  // what the first run does slowly
        Command first, second;
        std::string plan;
        bool installed, deployedHere;  // at the end
        std::vector<std::string> secondSays;
    } meetings[] = {
        {"an upgrade while a removal holds the database installs v2 anew",
         "DialPlan",
         "DELETE",
         "OLD.name = 'Example'",
         uninstallOf("Example"),
         setupIn("v2", {"Example"}),
         "Example",
         true,
         true,
         {}},
        {"a removal while an upgrade holds the database removes v2",
         "DialPlanTag",
         "DELETE",
         "OLD.pkid = '" + kDroppedTag + "'",
         setupIn("v2", {"Example"}),
         uninstallOf("Example"),
         "Example",
         false,
         false,
         {}},
        {"another machine's upgrade finds the dial plan removed and installs it anew",
         "DialPlan",
         "DELETE",
         "OLD.name = 'Example'",
         uninstallOf("Example"),
         setupIn("v2", {"Example"}, onOther),
         "Example",
         true,
         false,
         {"another run has removed Example meanwhile; nothing was changed (13)",
          "not installed: new installation (6)"}},
        {"another machine's new installation finds the dial plan installed and upgrades it",
         "DialPlan",
         "INSERT",
         "NEW.name = 'Harbour'",
         setupIn("harbour", {"Harbour"}),
         setupIn("harbour", {"Harbour"}, onOther),
         "Harbour",
         true,
         true,
         {"another run has installed Harbour meanwhile; nothing was changed (14)", "installed: upgraded (7)"}},
    };
    for (const auto& meeting : meetings) {
        SCOPED_TRACE(meeting.what);
        slowDown(meeting.slowTable, meeting.slowEvent, meeting.slowWhen);
        const Saved base = save();
        // The end to reach: the first run's, then the second's.
        const ProgramResult firstInTurn = meeting.first.run(), secondInTurn = meeting.second.run();
        ASSERT_EQ(firstInTurn.exitCode, 0) << firstInTurn.out << firstInTurn.err;
        ASSERT_EQ(secondInTurn.exitCode, 0) << secondInTurn.out << secondInTurn.err;
        const State inTurn = capture();
        restore(base);

        const auto ends =
            RunBoth(meeting.first, meeting.second, [&] { EXPECT_TRUE(WaitUntil([&] { return runIsSlowed(); }, 30s)); });
        for (const ProgramResult& end : ends)
            EXPECT_EQ(end.exitCode, 0) << end.out << end.err;
        const bool sameMachine = meeting.second.environment.at("ZENTRA_PREFIX") == prefix->path();
        EXPECT_EQ(Occurrences(ends[1].err, sameMachine ? kWaitingForMachine : kWaiting), 1) << ends[1].err;
        for (const std::string& says : meeting.secondSays)
            EXPECT_NE(ends[1].out.find(says), std::string::npos) << ends[1].out;
        EXPECT_TRUE(capture() == inTurn) << Difference(capture(), inTurn);
        EXPECT_EQ(db->count("DialPlan", "name = '" + meeting.plan + "'"), meeting.installed ? 1 : 0);
        // Each machine has the files of its own runs only.
        EXPECT_EQ(onMachine(zentra_run::DialPlanPaths(meeting.plan).deployedDialPlanFile()), meeting.deployedHere);
        expectSound(meeting.deployedHere == meeting.installed ? std::vector<std::string>{meeting.plan}
                                                              : std::vector<std::string>{});

        dropSlowDown(meeting.slowTable);
        restore(base);
    }
}

ZENTRA_ON_EVERY_BACKEND(HeldDatabase);

}  // namespace
}  // namespace integrity_test
