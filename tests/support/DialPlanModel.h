#pragma once

// A dial plan as a test or a benchmark builds it: one model, written in the
// delivered file format, or as the rows that the database holds once it is
// installed.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "dialplanfile/DialPlanFile.h"

namespace zentra_test {

// The clauses that a first version gives the predefined instructions.
inline const char* const kPredefinedClauses[dialplan::kPredefinedCount] = {
    "", "PRE-DOT", "PRE-AT", "TRAILING-#", "PRE-DOT TRAILING-#", "PRE-AT TRAILING-#"};

// Upper-case GUID text as the host database prints it.
inline std::string Guid(unsigned group, unsigned number)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%08X-ABCD-4EF0-8A1B-%012X", group, number);
    return text;
}

// Pkids of rows added to a model: unique within the test program.
inline std::string NextGuid(unsigned group)
{
    static unsigned counter = 0;
    return Guid(group, ++counter);
}

struct Tag {
    std::string pkid, tag, suppress, operatorMax;
};
struct Instruction {
    std::string pkid, name;
    int analysisId = 0;
    std::string clause;
};
struct Member {
    std::string pkid, instruction, tag;
};
// Pkids are held bare; the file writes them in braces.
struct DialPlan {
    std::string pkid, name, description;
    std::vector<Tag> tags;
    std::vector<Instruction> instructions;
    std::vector<Member> members;

    std::string addTag(const std::string& tag, const std::string& suppress = "t", const std::string& operatorMax = "2")
    {
        return tags.emplace_back(Tag{NextGuid(0xBA000000u), tag, suppress, operatorMax}).pkid;
    }
    std::string addInstruction(const std::string& instructionName, int analysisId, const std::string& clause)
    {
        return instructions.emplace_back(Instruction{NextGuid(0xDD000000u), instructionName, analysisId, clause}).pkid;
    }
    void addMember(const std::string& instruction, const std::string& tag)
    {
        members.push_back({NextGuid(0xEE000000u), instruction, tag});
    }
    // A tag or an instruction, with its members.
    void remove(const std::string& row)
    {
        const auto eraseIf = [](auto& rows, auto match) {
            rows.erase(std::remove_if(rows.begin(), rows.end(), match), rows.end());
        };
        eraseIf(tags, [&](const Tag& t) { return t.pkid == row; });
        eraseIf(instructions, [&](const Instruction& i) { return i.pkid == row; });
        eraseIf(members, [&](const Member& m) { return m.instruction == row || m.tag == row; });
    }
};

// The six predefined instructions (digit-analysis IDs 1 to 6) and tagCount
// tags, each tag joined to each predefined instruction.
inline DialPlan MakeDialPlan(const std::string& name, unsigned group, int tagCount)
{
    DialPlan plan{Guid(group, 1), name, name + " dial plan", {}, {}, {}};
    for (unsigned k = 0; k < dialplan::kPredefinedCount; ++k)
        plan.instructions.push_back(
            {Guid(group + 0x100u, k), dialplan::kPredefinedInstructions[k], int(k) + 1, kPredefinedClauses[k]});
    for (int t = 0; t < tagCount; ++t)
        plan.tags.push_back({Guid(group + 0x200u, unsigned(t)), name + "-TAG-" + std::to_string(t), "f", "1"});
    for (const Instruction& i : plan.instructions)
        for (const Tag& tag : plan.tags)
            plan.members.push_back({Guid(group + 0x300u, unsigned(plan.members.size())), i.pkid, tag.pkid});
    return plan;
}

inline std::string CsvText(const DialPlan& plan)
{
    const auto b = [](const std::string& pkid) { return "{" + pkid + "}"; };
    std::string text = "Table:DialPlan,,\r\npkid,name,description\r\nUNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)\r\n" +
                       b(plan.pkid) + "," + plan.name + "," + plan.description +
                       "\r\n\r\nTable:DialPlanTag,,,,\r\n"
                       "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max\r\n"
                       "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\r\n";
    for (const Tag& t : plan.tags)
        text += b(t.pkid) + "," + t.tag + "," + b(plan.pkid) + "," + t.suppress + "," + t.operatorMax + "\r\n";
    text += "\r\nTable:DigitDiscardInstruction,,,,\r\npkid,name,fkDialPlan,digitAnalysisID,clause\r\n"
            "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\r\n";
    for (const Instruction& i : plan.instructions)
        text += b(i.pkid) + "," + i.name + "," + b(plan.pkid) + "," + std::to_string(i.analysisId) + "," + i.clause +
                "\r\n";
    text += "\r\nTable:DigitDiscardInstructionMember,,\r\npkid,fkDigitDiscardInstruction,fkDialPlanTag\r\n"
            "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER\r\n";
    for (const Member& m : plan.members)
        text += b(m.pkid) + "," + b(m.instruction) + "," + b(m.tag) + "\r\n";
    return text;
}

// The text with every braced pkid in lower case, as a file may write them.
inline std::string LowerCasePkids(std::string text)
{
    bool braced = false;
    for (char& c : text) {
        braced = c == '{' || (braced && c != '}');
        if (braced)
            c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The rows of the four dial-plan tables that the models stand for, as
// {table, column...}, sorted: the form of UpgradeTest::rows.
using RowList = std::vector<std::vector<std::string>>;
inline RowList Rows(const std::vector<DialPlan>& plans)
{
    RowList rows;
    for (const DialPlan& p : plans) {
        rows.push_back({"DialPlan", p.pkid, p.name, p.description});
        for (const Tag& t : p.tags)
            rows.push_back({"Tag", t.pkid, t.tag, p.pkid, t.suppress, t.operatorMax});
        for (const Instruction& i : p.instructions)
            rows.push_back({"Instruction", i.pkid, i.name, p.pkid, std::to_string(i.analysisId), i.clause});
        for (const Member& m : p.members)
            rows.push_back({"Member", m.pkid, m.instruction, m.tag});
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace zentra_test
