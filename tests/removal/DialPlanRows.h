#pragma once

// Installed dial plans written straight into a host database, for the removal
// tests: a DialPlan row, its tags, the six predefined digit discard
// instructions and one more, and members joining every instruction to every tag.

#include <cstdio>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace removal_test {

// A GUID in the stored form (upper case, no braces). `plan` is a hex digit that
// tells the dial plans of one test apart, `kind` the table, `number` the row.
inline std::string Guid(char plan, int kind, int number)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%s-%04d-0000-0000-%012d", std::string(8, plan).c_str(), kind,
                  number);
    return text;
}

struct DialPlanRows {
    std::string name;
    std::string pkid;
    std::vector<std::string> tagPkids;
    std::vector<std::string> instructionPkids;
    std::vector<std::string> memberPkids;
};

inline const std::vector<std::string>& InstructionNames()
{
    static const std::vector<std::string> names = {
        "NoDigits",   "PreDot",           "PreAt",           "Trailing-#",
        "PreDot Trailing-#", "PreAt Trailing-#", "Intl Prefix Strip"};
    return names;
}

// Inserts a dial plan; digit-analysis identifiers start at firstDaId so that
// several dial plans of one test do not share them. With tags == false the
// dial plan has its DialPlan row only.
inline DialPlanRows InsertDialPlan(zentra_test::HostDatabase& db, const std::string& name,
                                   char plan, int firstDaId, bool tags = true)
{
    auto quote = [](const std::string& text) {
        std::string quoted;
        for (char c : text) {
            quoted += c;
            if (c == '\'')
                quoted += '\'';
        }
        return "'" + quoted + "'";
    };

    DialPlanRows rows;
    rows.name = name;
    rows.pkid = Guid(plan, 1, 1);
    db.exec("insert into DialPlan (pkid, name, description) values (" + quote(rows.pkid) + ", " +
            quote(name) + ", 'Dial plan " + std::string(1, plan) + "')");
    if (!tags)
        return rows;

    const std::vector<std::string> tagNames = {"INTERNATIONAL-ACCESS", "LOCAL-AREA-CODE",
                                               "SUBSCRIBER"};
    for (size_t i = 0; i < tagNames.size(); ++i) {
        rows.tagPkids.push_back(Guid(plan, 2, static_cast<int>(i + 1)));
        db.exec("insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, "
                "suppressFromRouteFilter) values (" +
                quote(rows.tagPkids.back()) + ", " + quote(tagNames[i]) + ", " + quote(rows.pkid) +
                ", '1', 'f')");
    }
    for (size_t i = 0; i < InstructionNames().size(); ++i) {
        rows.instructionPkids.push_back(Guid(plan, 3, static_cast<int>(i + 1)));
        db.exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                "clause) values (" +
                quote(rows.instructionPkids.back()) + ", " + quote(InstructionNames()[i]) + ", " +
                quote(rows.pkid) + ", " + std::to_string(firstDaId + static_cast<int>(i)) +
                ", 'INTERNATIONAL-ACCESS:%')");
    }
    int member = 0;
    for (const std::string& instruction : rows.instructionPkids) {
        for (const std::string& tag : rows.tagPkids) {
            rows.memberPkids.push_back(Guid(plan, 4, ++member));
            db.exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
                    "fkDialPlanTag) values (" +
                    quote(rows.memberPkids.back()) + ", " + quote(instruction) + ", " + quote(tag) +
                    ")");
        }
    }
    return rows;
}

// Rows of the four dial-plan tables that belong to a dial plan: the DialPlan
// row, its tags, its instructions and the members of its instructions.
inline int CountRowsOf(zentra_test::HostDatabase& db, const DialPlanRows& rows)
{
    const std::string pkid = "'" + rows.pkid + "'";
    return db.count("DialPlan", "pkid = " + pkid) + db.count("DialPlanTag", "fkDialPlan = " + pkid) +
           db.count("DigitDiscardInstruction", "fkDialPlan = " + pkid) +
           db.count("DigitDiscardInstructionMember",
                    "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where "
                    "fkDialPlan = " +
                        pkid + ")");
}

// 1 DialPlan row, 3 tags, 7 instructions, 21 members.
constexpr int kRowsOfFullDialPlan = 1 + 3 + 7 + 21;

// References that block a removal.
inline void InsertPattern(zentra_test::HostDatabase& db, const std::string& pkid,
                          const std::string& dialPlanPkid, const std::string& instructionPkid)
{
    db.exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) "
            "values ('" + pkid + "', '9.@', '" + dialPlanPkid + "', '" + instructionPkid + "')");
}

inline void InsertRouteList(zentra_test::HostDatabase& db, const std::string& pkid,
                            const std::string& instructionPkid)
{
    db.exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values ('" + pkid +
            "', 'RL-Branch', '" + instructionPkid + "')");
}

inline void InsertRouteFilter(zentra_test::HostDatabase& db, const std::string& pkid,
                              const std::string& dialPlanPkid)
{
    db.exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) values ('" + pkid +
            "', 'RF-Local', '" + dialPlanPkid + "', '(LOCAL-AREA-CODE EXISTS)')");
}

}  // namespace removal_test
