// Taking a change back: --restore puts a dial plan back to the snapshot that an
// upgrade or a removal took, every row of the eight tables and every deployed
// file as they were; it is refused, with nothing changed, while something
// stands in its way; --export gives a file that upgrades to nothing; and the
// journal keeps every run in order.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "installer/run/DialPlanPaths.h"
#include "setup/SetupMachineTest.h"

using namespace zentra_test;

namespace {

const zentra_run::DialPlanPaths kExample("Example");
// The example's tag that v2 drops, and one that it adds.
const std::string kDroppedTag = "D84DC8DF-9801-57BB-9965-1102D6A7F187";
const std::string kAddedTag = "3783BA4B-B718-53D2-908A-ED31D844E570";
const std::string kFilter = "0F0F0F0F-0000-4000-8000-000000000001";

struct State {
    std::string rows;
    FileTree files;
    bool operator==(const State& other) const { return rows == other.rows && files == other.files; }
};

class Undo : public SetupMachineTest {
protected:
    // Delivers a version of the example with the real uninstaller, which a
    // removal runs from where it is deployed.
    void deliverWithUninstaller(const std::string& version)
    {
        deliver(version);
        std::filesystem::copy_file(UninstallProgramPath(), "uninstall.exe",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Every row of the eight tables, and the deployed files' bytes (logs,
    // the journal and the snapshots left out).
    State capture() const
    {
        const std::regex unstable(
            "(_install|_uninstall|_restore|_preview)\\.txt$|journal\\.jsonl$|Zentra\\.lock$|/history/");
        State state{db->snapshot(), {}};
        for (const auto& [path, bytes] : ReadTree(prefix->path() + "/drive_c"))
            if (!std::regex_search(path, unstable))
                state.files[path] = bytes;
        return state;
    }

    ProgramResult removeWithDeployedUninstaller() const
    {
        return RunProgram({hostPath(kExample.deployedUninstaller()), "Example"}, prefix->environment(),
                          hostPath(kExample.folder()));
    }

    void useTag(const std::string& tag) const
    {
        db->exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) select '" + kFilter +
                 "', 'Held', pkid, '' from DialPlan where name = 'Example'");
        db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) values "
                 "('0F0F0F0F-0000-4000-8000-000000000002', '" +
                 kFilter + "', '" + tag + "', '')");
    }
    void dropRoutes() const
    {
        db->exec("delete from RouteFilterMember");
        db->exec("delete from RouteFilter");
    }
};

TEST_P(Undo, ARestoreTakesBackAnUpgradeAndARemovalExactly)
{
    deliverWithUninstaller("v1");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    const State installed = capture();

    deliverWithUninstaller("v2");
    useTag(kDroppedTag);
    ASSERT_EQ(runSetup({"Example"}).exitCode, 5);
    dropRoutes();
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    ASSERT_FALSE(capture() == installed);

    const ProgramResult afterUpgrade = runSetup({"--restore", "Example"});
    EXPECT_EQ(afterUpgrade.exitCode, 0) << afterUpgrade.out << afterUpgrade.err;
    EXPECT_EQ(capture().rows, installed.rows);
    EXPECT_TRUE(capture().files == installed.files);

    ASSERT_EQ(removeWithDeployedUninstaller().exitCode, 0);
    ASSERT_EQ(db->count("DialPlan"), 0);
    ASSERT_FALSE(onMachine(kExample.deployedDialPlanFile()));
    const ProgramResult afterRemoval = runSetup({"--restore", "Example"});
    EXPECT_EQ(afterRemoval.exitCode, 0) << afterRemoval.out << afterRemoval.err;
    EXPECT_EQ(capture().rows, installed.rows);
    EXPECT_TRUE(capture().files == installed.files);
    // The uninstaller is deployed again, and works.
    const ProgramResult again = removeWithDeployedUninstaller();
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(db->count("DialPlan"), 0);

    // Every run on record, in order, with the snapshot each took.
    const ProgramResult history = runSetup({"--json", "--history", "Example"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const nlohmann::json records = nlohmann::json::parse(history.out)["history"]["records"];
    const struct {
        const char* program;
        const char* operation;
        int exitStatus;
        bool snapshot;
    } expected[] = {
        {"zentra-setup", "install", 0, false}, {"zentra-setup", "upgrade", 5, false},
        {"zentra-setup", "upgrade", 0, true},  {"zentra-setup", "restore", 0, true},
        {"uninstall.exe", "removal", 0, true}, {"zentra-setup", "restore", 0, true},
        {"uninstall.exe", "removal", 0, true},
    };
    ASSERT_EQ(records.size(), std::size(expected)) << records.dump(2);
    for (std::size_t k = 0; k < records.size(); ++k) {
        SCOPED_TRACE(records[k].dump());
        EXPECT_EQ(records[k]["program"], expected[k].program);
        EXPECT_EQ(records[k]["operation"], expected[k].operation);
        EXPECT_EQ(records[k]["exitStatus"], expected[k].exitStatus);
        EXPECT_EQ(records[k]["snapshot"].is_string(), expected[k].snapshot);
        EXPECT_EQ(records[k]["csvSha256"].is_string(), expected[k].program == std::string("zentra-setup") &&
                                                           expected[k].operation != std::string("restore"));
    }
}

TEST_P(Undo, ARestoreIsRefusedWithNothingChangedWhileSomethingStandsInItsWay)
{
    deliver("v1");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    deliver("v2");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    // v2 dropped the instruction Intl Operator, which v1 gave the ID 10.
    const struct {
        const char* what;
        std::vector<std::string> statements;
        int exitCode;
        std::vector<std::string> told;
    } cases[] = {
        {"a route filter uses a tag that the restore drops",
         {"insert into RouteFilter (pkid, name, fkDialPlan, clause) select '" + kFilter +
              "', 'Held', pkid, '' from DialPlan where name = 'Example'",
          "insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag, digits) values "
          "('0F0F0F0F-0000-4000-8000-000000000002', '" +
              kFilter + "', '" + kAddedTag + "', '')"},
         5,
         {"The tags SERVICE have clause configured but are deleted in the new dial plan version",
          "tag SERVICE (" + kAddedTag + ") is used by route filter Held (" + kFilter + ")"}},
        {"another dial plan has taken a digit-analysis ID",
         {"insert into DialPlan (pkid, name) values ('0E0E0E0E-0000-4000-8000-000000000001', 'Other')",
          "insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) values "
          "('0E0E0E0E-0000-4000-8000-000000000002', 'Late', '0E0E0E0E-0000-4000-8000-000000000001', 10, '')"},
         8,
         {"the digit-analysis ID 10 of the snapshot's instruction Intl Operator (7FB9F040-BA44-5CB6-B0E8-"
          "FEB65D7D3539) is held by the instruction Late (0E0E0E0E-0000-4000-8000-000000000002) of the dial plan "
          "Other"}},
    };
    const std::vector<std::string> rowsOfTheUpgrade = db->saveRows();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        db->restoreRows(rowsOfTheUpgrade);
        for (const std::string& statement : c.statements)
            db->exec(statement);
        const State before = capture();
        const ProgramResult end = runSetup({"--restore", "Example"});
        EXPECT_EQ(end.exitCode, c.exitCode) << end.out << end.err;
        for (const std::string& text : c.told)
            EXPECT_NE((end.out + end.err).find(text), std::string::npos) << text << "\n" << end.out << end.err;
        EXPECT_TRUE(capture() == before);
    }
}

TEST_P(Undo, AnExportedDialPlanUpgradesToNothing)
{
    deliver("v1");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    deliver("v2");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);

    const std::string folder = work->path() + "/exported";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(runSetup({"--export", "Example", folder + "/Example.csv"}).exitCode, 0);
    const ProgramResult toOutput = runSetup({"--export", "Example"});
    ASSERT_EQ(toOutput.exitCode, 0) << toOutput.err;
    EXPECT_EQ(toOutput.out, ReadFile(folder + "/Example.csv"));
    for (const char* file : {"Example", "ExampleReadMe.txt", "uninstall.exe"})
        WriteFile(folder + "/" + file, ReadFile(work->path() + "/" + file));

    const ProgramResult preview =
        RunProgram({SetupProgramPath(), "--json", "--dry-run", "Example"}, prefix->environment(), folder);
    ASSERT_EQ(preview.exitCode, 0) << preview.out << preview.err;
    const nlohmann::json counts = nlohmann::json::parse(preview.out)["counts"];
    for (const auto& [table, count] : counts.items())
        EXPECT_EQ(count, (nlohmann::json{{"added", 0}, {"deleted", 0}, {"changed", 0}})) << table;
    // A comma may stand in the last field (a clause) alone.
    db->exec("update DialPlanTag set tag = 'AREA,CODE' where tag = 'AREA-CODE'");
    const ProgramResult refused = runSetup({"--export", "Example", folder + "/Refused.csv"});
    EXPECT_EQ(refused.exitCode, 8);
    EXPECT_NE(refused.err.find("holds a value that a dial-plan file cannot carry in its field tag: \"AREA,CODE\""),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(FileExists(folder + "/Refused.csv"));
}

TEST_P(Undo, ARestoreCanItselfBeTakenBackAndItsPreviewChangesNothing)
{
    deliver("v1");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    const State installed = capture();
    deliver("v2");
    const ProgramResult upgrade = runSetup({"--json", "Example"});
    ASSERT_EQ(upgrade.exitCode, 0) << upgrade.err;
    const std::string upgradeSnapshot = nlohmann::json::parse(upgrade.out)["snapshot"];
    const State upgraded = capture();

    const ProgramResult preview = runSetup({"--json", "--dry-run", "--restore", "Example"});
    ASSERT_EQ(preview.exitCode, 0) << preview.out << preview.err;
    EXPECT_EQ(nlohmann::json::parse(preview.out)["counts"]["DialPlanTag"],
              (nlohmann::json{{"added", 1}, {"deleted", 2}, {"changed", 0}}));
    EXPECT_TRUE(capture() == upgraded);

    // The latest snapshot is the restore's own: restoring again undoes it.
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        const State& state;
    } steps[] = {
        {{"--restore", "Example"}, 0, installed},
        {{"--restore", "Example"}, 0, upgraded},
        {{"--restore", "Example", upgradeSnapshot}, 0, installed},
        {{"--restore", "Example", "20260101T000000Z-upgrade"}, 8, installed},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.arguments.back());
        const ProgramResult end = runSetup(step.arguments);
        EXPECT_EQ(end.exitCode, step.exitCode) << end.out << end.err;
        EXPECT_EQ(capture().rows, step.state.rows);
        EXPECT_TRUE(capture().files == step.state.files);
    }
}

TEST_P(Undo, ASnapshotThatCannotBeWrittenStopsTheUpgradeAndADamagedJournalLineIsSkipped)
{
    deliver("v1");
    ASSERT_EQ(runSetup({"Example"}).exitCode, 0);
    // A file where the history folder belongs.
    WriteFile((std::filesystem::path(hostPath(kExample.folder())) / "history").string(), "");
    const State installed = capture();
    deliver("v2");
    const ProgramResult refused = runSetup({"Example"});
    EXPECT_EQ(refused.exitCode, 8) << refused.out << refused.err;
    EXPECT_NE((refused.out + refused.err).find(kExample.historyFolder()), std::string::npos) << refused.out;
    EXPECT_EQ(capture().rows, installed.rows);
    EXPECT_TRUE(capture().files == installed.files);

    // A run killed in the middle of its line leaves it cut short.
    const std::string journal = hostPath(kExample.journal());
    WriteFile(journal, ReadFile(journal) + "{\"time\": \"2026-12-09T");
    const ProgramResult history = runSetup({"--json", "--history", "Example"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const nlohmann::json document = nlohmann::json::parse(history.out)["history"];
    EXPECT_EQ(document["records"].size(), 2u);
    EXPECT_EQ(document["records"][1]["exitStatus"], 8);
    ASSERT_EQ(document["warnings"].size(), 1u);
    EXPECT_NE(history.err.find("warning: line 3 of " + kExample.journal()), std::string::npos) << history.err;
}

ZENTRA_ON_EVERY_BACKEND(Undo);

}  // namespace
