// Knowing before changing: the dry run of the built setup program against the
// real run that follows it, the rows named by refusals, --status, and the JSON
// documents of every mode.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "installer/run/DialPlanPaths.h"
#include "setup/SetupMachineTest.h"

using namespace zentra_test;
using nlohmann::json;

namespace {

const std::string kPlan = "3E9A708C-A013-5028-AA5A-C48DC6A7F5AB";
// The example's tag and instruction that v2 drops.
const std::string kDroppedTag = "D84DC8DF-9801-57BB-9965-1102D6A7F187";
const std::string kDroppedInstruction = "7FB9F040-BA44-5CB6-B0E8-FEB65D7D3539";

// The documented fields of every document.
const char* const kFields[] = {"program",   "version", "mode", "name",     "exitStatus", "result",
                               "decidedBy", "message", "log",  "messages", "blocking"};
// The tables of the documents, the columns they show, and the plan's rows.
const struct {
    const char* table;
    const char* columns;
    std::string where;
} kTables[] = {
    {"DialPlan", "pkid, name, description", "pkid = '" + kPlan + "'"},
    {"DialPlanTag", "pkid, tag, suppressFromRouteFilter, tkOperator_Max", "fkDialPlan = '" + kPlan + "'"},
    {"DigitDiscardInstruction", "pkid, name, digitAnalysisID, clause", "fkDialPlan = '" + kPlan + "'"},
    {"DigitDiscardInstructionMember", "pkid, fkDigitDiscardInstruction, fkDialPlanTag",
     "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where fkDialPlan = '" + kPlan + "')"},
};

// The plan's rows as the documents write them: table -> pkid -> column -> value.
using PlanRows = std::map<std::string, std::map<std::string, std::map<std::string, std::string>>>;
PlanRows RowsOfThePlan(HostDatabase& db)
{
    PlanRows all;
    for (const auto& t : kTables) {
        auto& rows = all[t.table];
        const std::string sql = std::string("select ") + t.columns + " from " + t.table + " where " + t.where;
        for (const auto& row : db.query(sql)) {
            std::istringstream columns(t.columns);
            std::string column;
            for (std::size_t k = 0; std::getline(columns >> std::ws, column, ','); ++k)
                rows[row[0]][column] = row[k];
        }
    }
    return all;
}

// The changes between two states of the plan, in the documents' form.
json Changes(const PlanRows& before, const PlanRows& after)
{
    json changes = json::object();
    for (const auto& [table, was] : before) {
        const auto& is = after.at(table);
        json entry = {{"added", json::array()}, {"deleted", json::array()}, {"changed", json::array()}};
        for (const auto& [pkid, row] : was) {
            if (is.count(pkid) == 0)
                entry["deleted"].push_back(row);
            else if (is.at(pkid) != row)
                entry["changed"].push_back({{"before", row}, {"after", is.at(pkid)}});
        }
        for (const auto& [pkid, row] : is)
            if (was.count(pkid) == 0)
                entry["added"].push_back(row);
        changes[table] = entry;
    }
    return changes;
}

// A row that blocks a refusal, as the documents name it.
json Blocking(const std::string& used, const std::string& usedName, const std::string& usedPkid,
              const std::string& user, const std::string& userName, const std::string& userPkid)
{
    return {{"used", used},
            {"usedName", usedName},
            {"usedPkid", usedPkid},
            {"user", user},
            {"userName", userName},
            {"userPkid", userPkid},
            {"text", used + " " + usedName + " (" + usedPkid + ") is used by " + user + " " + userName + " (" +
                         userPkid + ")"}};
}

class PreviewTest : public SetupMachineTest {
protected:
    // Runs zentra-setup --json with arguments: the document, which must parse
    // (json::parse throws otherwise) and hold the documented fields.
    json run(std::vector<std::string> arguments, int expectedStatus)
    {
        arguments.insert(arguments.begin(), "--json");
        const ProgramResult result = runSetup(arguments);
        EXPECT_EQ(result.exitCode, expectedStatus) << result.out << result.err;
        const json document = json::parse(result.out);
        for (const char* field : kFields)
            EXPECT_TRUE(document.contains(field)) << field << " in\n" << document.dump(2);
        EXPECT_EQ(document["exitStatus"], expectedStatus);
        EXPECT_EQ(document["program"], "zentra-setup");
        return document;
    }

    // A route filter of the plan whose member uses the tag v2 drops.
    void filterTheDroppedTag()
    {
        db->exec("insert into RouteFilter (pkid, name, fkDialPlan) values ('0F0F0F0F-0000-4000-8000-000000000001', "
                 "'IntlOperator', '" +
                 kPlan + "')");
        db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag) values "
                 "('0F0F0F0F-0000-4000-8000-000000000002', '0F0F0F0F-0000-4000-8000-000000000001', '" +
                 kDroppedTag + "')");
    }
};

TEST_P(PreviewTest, ADryRunTellsExactlyWhatTheRunThenDoesAndKeepsNothing)
{
    const std::string typeRow = "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\r\n";
    std::string damaged = example("v2", "Example.csv");
    damaged.erase(damaged.find(typeRow), typeRow.size());
    const struct {
        const char* what;
        const char* version;
        std::string csv;  // in place of the version's file when given
        bool filter;      // a route filter uses the tag v2 drops
        int status;
        json road;
    } cases[] = {
        {"new installation", "v1", "", false, 0, "new installation"},
        {"upgrade refused by a route filter", "v2", "", true, 5, "upgrade"},
        {"damaged file", "v2", damaged, false, 8, nullptr},
        {"upgrade", "v2", "", false, 0, "upgrade"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        deliver(c.version, c.csv);
        if (c.filter)
            filterTheDroppedTag();
        const std::string snapshot = db->snapshot();
        const PlanRows rowsBefore = RowsOfThePlan(*db);
        const FileTree filesBefore = files({"Example_preview.txt", "journal.jsonl"});

        const json preview = run({"--dry-run", "Example"}, c.status);

        EXPECT_EQ(db->snapshot(), snapshot);
        EXPECT_EQ(files({"Example_preview.txt", "journal.jsonl"}), filesBefore);
        EXPECT_EQ(preview["mode"], "dry-run");
        const json real = run({"Example"}, c.status);
        EXPECT_EQ(real["road"], c.road);
        for (const char* field : {"road", "decidedBy", "blocking", "ids"})
            EXPECT_EQ(preview[field], real[field]) << field;
        // The changes told by the preview and by the run are those the database shows.
        const json made = Changes(rowsBefore, RowsOfThePlan(*db));
        EXPECT_EQ(preview["changes"], made);
        EXPECT_EQ(real["changes"], made);
        if (c.road == "new installation") {
            EXPECT_EQ(preview["ids"].size(), made["DigitDiscardInstruction"]["added"].size());
        }
        if (c.filter)
            db->exec("delete from RouteFilterMember");
    }
    // The preview's own log, in the dial plan's folder, tells the preview.
    EXPECT_NE(machineFile(zentra_run::DialPlanPaths("Example").previewLog()).find("DeleteObsoleteTags"),
              std::string::npos);
}

TEST_P(PreviewTest, RefusalsNameTheRowsThatBlockThem)
{
    deliver("v1");
    run({"Example"}, 0);
    filterTheDroppedTag();
    db->exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) values "
             "('0E0E0E0E-0000-4000-8000-000000000001', '9.011!', '" +
             kPlan + "', '" + kDroppedInstruction + "')");
    db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values "
             "('0E0E0E0E-0000-4000-8000-000000000002', 'IntlList', '" +
             kDroppedInstruction + "')");
    deliver("v2");
    // The tags are checked first, then the patterns, then the route lists.
    EXPECT_EQ(run({"Example"}, 5)["blocking"],
              json::array({Blocking("tag", "INTERNATIONAL-OPERATOR", kDroppedTag, "route filter", "IntlOperator",
                                    "0F0F0F0F-0000-4000-8000-000000000001")}));
    db->exec("delete from RouteFilterMember");
    EXPECT_EQ(run({"Example"}, 5)["blocking"],
              json::array({Blocking("instruction", "Intl Operator", kDroppedInstruction, "pattern", "9.011!",
                                    "0E0E0E0E-0000-4000-8000-000000000001")}));
    db->exec("delete from NumPlan");
    const json list = Blocking("instruction", "Intl Operator", kDroppedInstruction, "route list", "IntlList",
                               "0E0E0E0E-0000-4000-8000-000000000002");
    const json refused = run({"Example"}, 5);
    EXPECT_EQ(refused["blocking"], json::array({list}));
    EXPECT_EQ(refused["decidedBy"], "CheckObsoleteDDIInUse");
    // The message stays as it was; the person sees the rows after it.
    EXPECT_EQ(refused["messages"], json::array({{{"caption", "Installation Failed"},
                                                 {"text", "The DDIs Intl Operator are associated with Route Lists but "
                                                          "are deleted in the new dial plan version"}}}));
    const std::string line = list["text"].get<std::string>() + "\n";
    const ProgramResult human = runSetup({"Example"});
    EXPECT_NE(human.out.find("\n  " + line), std::string::npos) << human.out;

    // A removal refused by the route list names it as well.
    std::map<std::string, std::string> environment = prefix->environment();
    environment["ZENTRA_JSON"] = "1";
    const ProgramResult removal = RunProgram({UninstallProgramPath(), "Example"}, environment, work->path());
    EXPECT_EQ(removal.exitCode, 255);
    ASSERT_EQ(removal.out.substr(0, line.size()), line) << removal.out;
    const json document = json::parse(removal.out.substr(line.size()));
    EXPECT_EQ(document["program"], "uninstall.exe");
    EXPECT_EQ(document["exitStatus"], -1);
    EXPECT_EQ(document["result"], "refused");
    EXPECT_EQ(document["blocking"], json::array({list}));
}

TEST_P(PreviewTest, StatusShowsNoDifferenceAgainstTheOwnFileAndTheUpgradeAgainstTheNext)
{
    deliver("v1");
    run({"Example"}, 0);

    // Against its own (rewritten) file: no difference.
    json status = run({"--status", "Example"}, 0);
    EXPECT_EQ(status["status"]["installed"], true);
    for (const auto& t : kTables)
        EXPECT_EQ(status["status"]["counts"][t.table], (json{{"added", 0}, {"deleted", 0}, {"changed", 0}})) << t.table;
    EXPECT_EQ(status["status"]["routes"], json::array());

    // Against the next version: what the upgrade then changes.
    deliver("v2");
    filterTheDroppedTag();
    status = run({"--status", "Example"}, 0);
    db->exec("delete from RouteFilterMember");
    db->exec("delete from RouteFilter");
    const json upgrade = run({"Example"}, 0);
    EXPECT_EQ(status["status"]["differences"], upgrade["changes"]);
    EXPECT_EQ(status["status"]["keptByAnUpgrade"], 0);
    EXPECT_EQ(status["status"]["routes"].size(), 1u);
    EXPECT_EQ(status["status"]["routes"][0]["userName"], "IntlOperator");

    // Every installed dial plan.
    const json all = run({"--status"}, 0);
    ASSERT_EQ(all["status"]["dialPlans"].size(), 1u);
    const json& plan = all["status"]["dialPlans"][0];
    EXPECT_EQ(plan["name"], "Example");
    EXPECT_EQ(plan["tags"], db->count("DialPlanTag"));
    EXPECT_EQ(plan["instructions"], db->count("DigitDiscardInstruction"));
    EXPECT_EQ(plan["members"], db->count("DigitDiscardInstructionMember"));
    EXPECT_EQ(plan["digitAnalysisIDs"]["lowest"], 1);

    // The connection alone; the fields of the installing modes are in every document.
    const json connect = run({"--connect-only"}, 0);
    EXPECT_EQ(connect["result"], "connected");
    for (const json& document : {upgrade, connect, status})
        for (const char* field : {"road", "counts", "changes", "ids"})
            EXPECT_TRUE(document.contains(field)) << field;
}

ZENTRA_ON_EVERY_BACKEND(PreviewTest);

}  // namespace
