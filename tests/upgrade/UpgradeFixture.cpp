#include "upgrade/UpgradeFixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "installer/SqlText.h"
#include "odbc/odbc.h"

namespace upgrade_test {

using zentra_test::Backend;

const char* const kPredefined[6] = {"NoDigits",   "PreDot",           "PreAt",
                                    "Trailing-#", "PreDot Trailing-#", "PreAt Trailing-#"};

namespace {
const char* const kPredefinedClauses[6] = {"",           "PRE-DOT",            "PRE-AT",
                                           "TRAILING-#", "PRE-DOT TRAILING-#", "PRE-AT TRAILING-#"};
const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";

// Pkids of rows added to a model: unique within the test program.
std::string NextGuid(unsigned group)
{
    static unsigned counter = 0;
    return Guid(group, ++counter);
}

std::string Quoted(const std::string& value) { return "'" + SqlQuote(value) + "'"; }
}  // namespace

std::string Guid(unsigned group, unsigned number)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%08X-ABCD-4EF0-8A1B-%012X", group, number);
    return text;
}

const Instruction& DialPlan::instructionNamed(const std::string& instructionName) const
{
    for (const Instruction& i : instructions)
        if (i.name == instructionName)
            return i;
    throw std::logic_error("no instruction " + instructionName);
}

std::string DialPlan::addTag(const std::string& tag, const std::string& suppress, const std::string& operatorMax)
{
    tags.push_back({NextGuid(0xBA000000u), tag, suppress, operatorMax});
    return tags.back().pkid;
}

std::string DialPlan::addInstruction(const std::string& instructionName, int analysisId, const std::string& clause)
{
    instructions.push_back({NextGuid(0xDD000000u), instructionName, analysisId, clause});
    return instructions.back().pkid;
}

std::string DialPlan::addMember(const std::string& instruction, const std::string& tag)
{
    members.push_back({NextGuid(0xEE000000u), instruction, tag});
    return members.back().pkid;
}

void DialPlan::removeTag(const std::string& tagPkid)
{
    tags.erase(std::remove_if(tags.begin(), tags.end(), [&](const Tag& t) { return t.pkid == tagPkid; }),
               tags.end());
    members.erase(std::remove_if(members.begin(), members.end(), [&](const Member& m) { return m.tag == tagPkid; }),
                  members.end());
}

void DialPlan::removeInstruction(const std::string& instructionPkid)
{
    instructions.erase(std::remove_if(instructions.begin(), instructions.end(),
                                      [&](const Instruction& i) { return i.pkid == instructionPkid; }),
                       instructions.end());
    members.erase(std::remove_if(members.begin(), members.end(),
                                 [&](const Member& m) { return m.instruction == instructionPkid; }),
                  members.end());
}

DialPlan MakeDialPlan(const std::string& name, unsigned group, int tagCount, int firstId)
{
    DialPlan plan;
    plan.name = name;
    plan.pkid = Guid(group, 1);
    plan.description = name + " dial plan";
    for (int k = 0; k < 6; ++k)
        plan.instructions.push_back({Guid(group + 0x100u, static_cast<unsigned>(k)), kPredefined[k], firstId + k,
                                     kPredefinedClauses[k]});
    for (int t = 0; t < tagCount; ++t)
        plan.tags.push_back({Guid(group + 0x200u, static_cast<unsigned>(t)), name + "-TAG-" + std::to_string(t),
                             "f", "1"});
    unsigned member = 0;
    for (int k = 0; k < 6; ++k)
        for (const Tag& tag : plan.tags)
            plan.members.push_back({Guid(group + 0x300u, member++), plan.instructions[k].pkid, tag.pkid});
    return plan;
}

std::string CsvText(const DialPlan& plan)
{
    const auto braced = [](const std::string& pkid) { return "{" + pkid + "}"; };
    std::string text = "Table:DialPlan,,\r\npkid,name,description\r\nUNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)\r\n";
    text += braced(plan.pkid) + "," + plan.name + "," + plan.description + "\r\n\r\n";
    text += "Table:DialPlanTag,,,,\r\npkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max\r\n"
            "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\r\n";
    for (const Tag& t : plan.tags)
        text += braced(t.pkid) + "," + t.tag + "," + braced(plan.pkid) + "," + t.suppress + "," + t.operatorMax + "\r\n";
    text += "\r\nTable:DigitDiscardInstruction,,,,\r\npkid,name,fkDialPlan,digitAnalysisID,clause\r\n"
            "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\r\n";
    for (const Instruction& i : plan.instructions)
        text += braced(i.pkid) + "," + i.name + "," + braced(plan.pkid) + "," + std::to_string(i.analysisId) + "," +
                i.clause + "\r\n";
    text += "\r\nTable:DigitDiscardInstructionMember,,\r\npkid,fkDigitDiscardInstruction,fkDialPlanTag\r\n"
            "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER\r\n";
    for (const Member& m : plan.members)
        text += braced(m.pkid) + "," + braced(m.instruction) + "," + braced(m.tag) + "\r\n";
    return text;
}

void UpgradeTest::SetUp()
{
    ZENTRA_REQUIRE_BACKEND(GetParam());
    prefix = std::make_unique<zentra_test::Prefix>(GetParam());
    db = std::make_unique<zentra_test::HostDatabase>(GetParam());
    prefix->registerDatabase(*db);
    work = std::make_unique<zentra_test::WorkFolder>();
    boxes = std::make_unique<zentra_test::MessageBoxCapture>();
}

void UpgradeTest::install(const DialPlan& plan)
{
    db->exec("insert into DialPlan (pkid, name, description) values (" + Quoted(plan.pkid) + ", " +
             Quoted(plan.name) + ", " + Quoted(plan.description) + ")");
    for (const Tag& t : plan.tags)
        db->exec("insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter) values (" +
                 Quoted(t.pkid) + ", " + Quoted(t.tag) + ", " + Quoted(plan.pkid) + ", " + Quoted(t.operatorMax) +
                 ", " + Quoted(t.suppress) + ")");
    for (const Instruction& i : plan.instructions)
        db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) values (" +
                 Quoted(i.pkid) + ", " + Quoted(i.name) + ", " + Quoted(plan.pkid) + ", " +
                 std::to_string(i.analysisId) + ", " + Quoted(i.clause) + ")");
    for (const Member& m : plan.members)
        db->exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, fkDialPlanTag) values (" +
                 Quoted(m.pkid) + ", " + Quoted(m.instruction) + ", " + Quoted(m.tag) + ")");
    std::filesystem::create_directories(prefix->hostPath(kZentra + plan.name));
}

void UpgradeTest::writeText(const std::string& name, const std::string& text)
{
    zentra_test::WriteFile(work->path() + "/" + name + ".csv", text);
}

std::string UpgradeTest::logPath(const std::string& name) const
{
    return kZentra + name + "\\" + name + "_install.txt";
}

std::string UpgradeTest::logText(const std::string& name) const
{
    const std::string path = prefix->hostPath(logPath(name));
    return zentra_test::FileExists(path) ? zentra_test::ReadFile(path) : std::string();
}

void UpgradeTest::prepare(CZentraSetup& setup, const DialPlan& plan)
{
    CZentraSetupTestProbe probe(setup);
    probe.connection().reset(odbc::DriverManager::getConnection(db->connectString()));
    probe.setLogPath(logPath(plan.name));
    probe.dialPlanPkid() = plan.pkid;
}

std::vector<std::string> UpgradeTest::memberRows(const std::string& where)
{
    std::vector<std::string> rows;
    for (const auto& row : db->query("select pkid, fkDigitDiscardInstruction, fkDialPlanTag from "
                                     "DigitDiscardInstructionMember" + where))
        rows.push_back(row.at(0) + "|" + row.at(1) + "|" + row.at(2));
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string BackendTestName(const ::testing::TestParamInfo<Backend>& info)
{
    return zentra_test::BackendName(info.param);
}

}  // namespace upgrade_test
