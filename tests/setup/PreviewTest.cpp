// Knowing before changing: the dry run of the built setup program against the
// real run that follows it, the rows named by refusals, --status, and the JSON
// documents of every mode.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;
using nlohmann::json;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
const std::string kPlan = "3E9A708C-A013-5028-AA5A-C48DC6A7F5AB";
// The example's tag that v2 drops, and its instruction that v2 drops.
const std::string kDroppedTag = "D84DC8DF-9801-57BB-9965-1102D6A7F187";
const std::string kDroppedInstruction = "7FB9F040-BA44-5CB6-B0E8-FEB65D7D3539";

// The documented fields of every document, and those of the installing modes.
const char* const kFields[] = {"program", "version", "mode", "name", "exitStatus", "result", "decidedBy", "message",
                               "log", "messages", "blocking"};
const char* const kRunFields[] = {"road", "counts", "changes", "ids"};
const char* const kTables[] = {"DialPlan", "DialPlanTag", "DigitDiscardInstruction", "DigitDiscardInstructionMember"};

class PreviewTest : public MachineTest {
protected:
    void deliver(const std::string& version)
    {
        for (const char* file : {"Example.csv", "Example", "ExampleReadMe.txt"})
            WriteFile(file, ReadFile(SourceDir() + "/examples/" + version + "/" + file));
        WriteFile("uninstall.exe", "uninstaller");
        fs::remove("Example_new.csv");
    }

    // Runs zentra-setup with arguments and --json: the document, which must parse.
    json run(std::vector<std::string> arguments, int expectedStatus)
    {
        arguments.insert(arguments.begin(), {SetupProgramPath(), "--json"});
        const ProgramResult result = RunProgram(arguments, prefix->environment(), work->path());
        EXPECT_EQ(result.exitCode, expectedStatus) << result.out << result.err;
        json document;
        try {
            document = json::parse(result.out);
        } catch (const json::exception& error) {
            ADD_FAILURE() << "not one JSON document: " << error.what() << "\n" << result.out;
            return json::object();
        }
        for (const char* field : kFields)
            EXPECT_TRUE(document.contains(field)) << field << " in\n" << document.dump(2);
        EXPECT_EQ(document["exitStatus"], expectedStatus);
        EXPECT_EQ(document["program"], "zentra-setup");
        return document;
    }

    // The files below the prefix's drive and the working folder, with their
    // bytes; the preview's log left out.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> all;
        for (const std::string& root : {prefix->path() + "/drive_c", work->path()})
            for (const auto& entry : fs::recursive_directory_iterator(root))
                if (entry.is_regular_file() && entry.path().filename() != "Example_preview.txt")
                    all[entry.path().string()] = ReadFile(entry.path().string());
        return all;
    }

    // A route filter of the plan whose member uses the tag v2 drops.
    void filterTheDroppedTag()
    {
        db->exec("insert into RouteFilter (pkid, name, fkDialPlan) values ('0F0F0F0F-0000-4000-8000-000000000001', "
                 "'IntlOperator', '" + kPlan + "')");
        db->exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag) values "
                 "('0F0F0F0F-0000-4000-8000-000000000002', '0F0F0F0F-0000-4000-8000-000000000001', '" +
                 kDroppedTag + "')");
    }
};

// The rows of the example's plan as the documents write them, table by table:
// pkid -> the row's columns.
using TableRows = std::map<std::string, std::map<std::string, std::string>>;
std::map<std::string, TableRows> PlanRows(HostDatabase& db)
{
    const std::string plan = "'" + kPlan + "'";
    const std::pair<const char*, std::string> queries[] = {
        {"DialPlan", "select pkid, name, description from DialPlan where pkid = " + plan},
        {"DialPlanTag", "select pkid, tag, suppressFromRouteFilter, tkOperator_Max from DialPlanTag where fkDialPlan = " + plan},
        {"DigitDiscardInstruction",
         "select pkid, name, digitAnalysisID, clause from DigitDiscardInstruction where fkDialPlan = " + plan},
        {"DigitDiscardInstructionMember",
         "select pkid, fkDigitDiscardInstruction, fkDialPlanTag from DigitDiscardInstructionMember where "
         "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where fkDialPlan = " + plan + ")"},
    };
    const std::map<std::string, std::vector<const char*>> columns = {
        {"DialPlan", {"pkid", "name", "description"}},
        {"DialPlanTag", {"pkid", "tag", "suppressFromRouteFilter", "tkOperator_Max"}},
        {"DigitDiscardInstruction", {"pkid", "name", "digitAnalysisID", "clause"}},
        {"DigitDiscardInstructionMember", {"pkid", "fkDigitDiscardInstruction", "fkDialPlanTag"}},
    };
    std::map<std::string, TableRows> all;
    for (const auto& [table, sql] : queries)
        for (const auto& row : db.query(sql))
            for (std::size_t k = 0; k < row.size(); ++k)
                all[table][row[0]][columns.at(table)[k]] = row[k];
    return all;
}

// The changes between two states of the plan, in the documents' form.
json Changes(const std::map<std::string, TableRows>& before, const std::map<std::string, TableRows>& after)
{
    json changes = json::object();
    for (const char* table : kTables) {
        const TableRows empty;
        const TableRows& was = before.count(table) ? before.at(table) : empty;
        const TableRows& is = after.count(table) ? after.at(table) : empty;
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

TEST_P(PreviewTest, ADryRunTellsExactlyWhatTheRunThenDoesAndKeepsNothing)
{
    const struct Case {
        const char* what;
        const char* version;  // delivered; "" for v2 with its DialPlanTag type row missing
        bool filter;          // a route filter uses the tag v2 drops
        int status;
        const char* road;
    } cases[] = {
        {"new installation", "v1", false, 0, "new installation"},
        {"upgrade refused by a route filter", "v2", true, 5, "upgrade"},
        {"damaged file", "", false, 8, nullptr},
        {"upgrade", "v2", false, 0, "upgrade"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        deliver(*c.version ? c.version : "v2");
        if (!*c.version) {
            std::string text = ReadFile("Example.csv");
            const std::string typeRow = "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\r\n";
            WriteFile("Example.csv", text.erase(text.find(typeRow), typeRow.size()));
        }
        if (c.filter)
            filterTheDroppedTag();
        const std::string snapshot = db->snapshot();
        const auto rowsBefore = PlanRows(*db);
        const auto filesBefore = files();

        const json preview = run({"--dry-run", "Example"}, c.status);

        EXPECT_EQ(db->snapshot(), snapshot);
        EXPECT_EQ(files(), filesBefore);
        EXPECT_EQ(preview["mode"], "dry-run");
        const json real = run({"Example"}, c.status);
        EXPECT_EQ(real["road"], c.road ? json(c.road) : json(nullptr));
        EXPECT_EQ(preview["road"], real["road"]);
        EXPECT_EQ(preview["decidedBy"], real["decidedBy"]);
        EXPECT_EQ(preview["blocking"], real["blocking"]);
        // The changes the preview told are those the run made, as the database
        // shows them, and as the run itself told them.
        const json made = Changes(rowsBefore, PlanRows(*db));
        EXPECT_EQ(preview["changes"], made);
        EXPECT_EQ(real["changes"], made);
        EXPECT_EQ(preview["ids"], real["ids"]);
        if (c.status == 0 && std::string(c.road) == "new installation") {
            EXPECT_EQ(preview["ids"].size(), made["DigitDiscardInstruction"]["added"].size());
        }
        if (c.filter)
            db->exec("delete from RouteFilterMember");
    }
    // The preview's own log, in the dial plan's folder, tells the preview.
    EXPECT_NE(ReadFile(prefix->hostPath(kZentra + "Example\\Example_preview.txt")).find("DeleteObsoleteTags"),
              std::string::npos);
}

TEST_P(PreviewTest, RefusalsNameTheRowsThatBlockThem)
{
    deliver("v1");
    run({"Example"}, 0);
    filterTheDroppedTag();
    db->exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) values "
             "('0E0E0E0E-0000-4000-8000-000000000001', '9.011!', '" + kPlan + "', '" + kDroppedInstruction + "')");
    db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values "
             "('0E0E0E0E-0000-4000-8000-000000000002', 'IntlList', '" + kDroppedInstruction + "')");
    const json tag = {{"used", "tag"}, {"usedName", "INTERNATIONAL-OPERATOR"}, {"usedPkid", kDroppedTag},
                      {"user", "route filter"}, {"userName", "IntlOperator"},
                      {"userPkid", "0F0F0F0F-0000-4000-8000-000000000001"},
                      {"text", "tag INTERNATIONAL-OPERATOR (" + kDroppedTag + ") is used by route filter IntlOperator "
                               "(0F0F0F0F-0000-4000-8000-000000000001)"}};
    const json pattern = {{"used", "instruction"}, {"usedName", "Intl Operator"}, {"usedPkid", kDroppedInstruction},
                          {"user", "pattern"}, {"userName", "9.011!"},
                          {"userPkid", "0E0E0E0E-0000-4000-8000-000000000001"},
                          {"text", "instruction Intl Operator (" + kDroppedInstruction + ") is used by pattern 9.011! "
                                   "(0E0E0E0E-0000-4000-8000-000000000001)"}};
    const json list = {{"used", "instruction"}, {"usedName", "Intl Operator"}, {"usedPkid", kDroppedInstruction},
                       {"user", "route list"}, {"userName", "IntlList"},
                       {"userPkid", "0E0E0E0E-0000-4000-8000-000000000002"},
                       {"text", "instruction Intl Operator (" + kDroppedInstruction + ") is used by route list IntlList "
                                "(0E0E0E0E-0000-4000-8000-000000000002)"}};
    deliver("v2");
    // The tags are checked first, then the patterns, then the route lists.
    EXPECT_EQ(run({"Example"}, 5)["blocking"], json::array({tag}));
    db->exec("delete from RouteFilterMember");
    EXPECT_EQ(run({"Example"}, 5)["blocking"], json::array({pattern}));
    db->exec("delete from NumPlan");
    const json refused = run({"Example"}, 5);
    EXPECT_EQ(refused["blocking"], json::array({list}));
    EXPECT_EQ(refused["decidedBy"], "CheckObsoleteDDIInUse");
    // The message stays as it was; the person sees the rows after it.
    EXPECT_EQ(refused["messages"], json::array({{{"caption", "Installation Failed"},
                                                 {"text", "The DDIs Intl Operator are associated with Route Lists but "
                                                          "are deleted in the new dial plan version"}}}));
    const ProgramResult human = RunProgram({SetupProgramPath(), "Example"}, prefix->environment(), work->path());
    EXPECT_NE(human.out.find("\n  " + list["text"].get<std::string>() + "\n"), std::string::npos) << human.out;

    // A removal refused by the route list names it as well.
    std::map<std::string, std::string> environment = prefix->environment();
    environment["ZENTRA_JSON"] = "1";
    const ProgramResult removal = RunProgram({UninstallProgramPath(), "Example"}, environment, work->path());
    EXPECT_EQ(removal.exitCode, 255);
    const std::string line = list["text"].get<std::string>() + "\n";
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
    for (const char* table : kTables)
        EXPECT_EQ(status["status"]["counts"][table], (json{{"added", 0}, {"deleted", 0}, {"changed", 0}})) << table;
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

    // The connection alone.
    const json connect = run({"--connect-only"}, 0);
    EXPECT_EQ(connect["result"], "connected");
    for (const json& document : {upgrade, connect, status})
        for (const char* field : kRunFields)
            EXPECT_TRUE(document.contains(field)) << field;
}

INSTANTIATE_TEST_SUITE_P(Backends, PreviewTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) { return BackendName(param.param); });

}  // namespace
