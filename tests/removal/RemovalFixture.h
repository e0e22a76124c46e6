#pragma once

// What the removal tests share: installed dial plans written straight into the
// machine's database (three tags, seven digit discard instructions, and members
// joining every instruction to every tag), the references that block a
// removal, and the log a removal writes.

#include <gtest/gtest.h>

#include <string>

#include "installer/SqlText.h"
#include "installer/run/DialPlanPaths.h"
#include "support/DialPlanModel.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace removal_test {

using zentra_run::DialPlanPaths;
using zentra_test::DialPlan;

class RemovalFixture : public zentra_test::MachineTest {
protected:
    std::string logPath(const std::string& name) const { return hostPath(DialPlanPaths(name).uninstallLog()); }
    std::string logOf(const std::string& name) const { return zentra_test::ReadFile(logPath(name)); }
    // A dial plan installed in the machine's database.
    DialPlan install(DialPlan plan)
    {
        zentra_test::InsertDialPlan(*db, plan);
        return plan;
    }
};

// The pkid of a row of the routes that the tests set up: kind tells the
// tables apart, number the rows.
inline std::string RouteGuid(unsigned kind, unsigned number) { return zentra_test::Guid(0xF0000000u + kind, number); }

// Text between single quotes, its own quotes doubled.
inline std::string Quoted(const std::string& text) { return "'" + SqlQuote(text) + "'"; }

// A dial plan of tags TAG-1 to TAG-3 and instructions DDI-1 to DDI-7, each
// instruction joined to each tag; its digit-analysis identifiers start at
// firstDaId, so that the dial plans of one test hold none twice.
inline DialPlan RemovablePlan(const std::string& name, int firstDaId)
{
    DialPlan plan{zentra_test::NextGuid(0xAA000000u), name, name + " dial plan", {}, {}, {}};
    for (int i = 1; i <= 3; ++i)
        plan.addTag("TAG-" + std::to_string(i), "f", "1");
    for (int i = 1; i <= 7; ++i) {
        const std::string instruction = plan.addInstruction("DDI-" + std::to_string(i), firstDaId + i - 1, "TAG-1:%");
        for (std::size_t tag = 0; tag < 3; ++tag)
            plan.addMember(instruction, plan.tags[tag].pkid);
    }
    return plan;
}

// Rows of the four dial-plan tables that belong to a dial plan: the DialPlan
// row, its tags, its instructions and the members of its instructions.
inline int CountRowsOf(zentra_test::HostDatabase& db, const DialPlan& plan)
{
    const std::string pkid = Quoted(plan.pkid);
    return db.count("DialPlan", "pkid = " + pkid) + db.count("DialPlanTag", "fkDialPlan = " + pkid) +
           db.count("DigitDiscardInstruction", "fkDialPlan = " + pkid) +
           db.count("DigitDiscardInstructionMember",
                    "fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction where "
                    "fkDialPlan = " +
                        pkid + ")");
}

// 1 DialPlan row, 3 tags, 7 instructions, 21 members.
constexpr int kRowsOfFullDialPlan = 1 + 3 + 7 + 21;

// Leaves only the given references in place, all to `plan`: a pattern, a route
// list using its last instruction, a route filter; and those that name no dial
// plan or another one but use its rows: a pattern of another dial plan using
// its first instruction, a member of another dial plan's route filter using
// its second tag.
inline void SetReferences(zentra_test::HostDatabase& db, const DialPlan& plan, bool pattern, bool routeList,
                          bool routeFilter, bool foreignPattern = false, bool foreignFilterMember = false)
{
    for (const char* table : {"NumPlan", "RouteList", "RouteFilter", "RouteFilterMember"})
        db.exec(std::string("delete from ") + table);
    const std::string otherPlan = Quoted(RouteGuid(9, 9));
    if (foreignPattern)
        db.exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) "
                "values (" +
                Quoted(RouteGuid(1, 2)) + ", '8.XXXX', " + otherPlan + ", " + Quoted(plan.instructions[0].pkid) + ")");
    if (foreignFilterMember) {
        db.exec("insert into RouteFilter (pkid, name, fkDialPlan) values (" + Quoted(RouteGuid(3, 2)) +
                ", 'RF-Other', " + otherPlan + ")");
        db.exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag) values (" +
                Quoted(RouteGuid(4, 1)) + ", " + Quoted(RouteGuid(3, 2)) + ", " + Quoted(plan.tags[1].pkid) + ")");
    }
    if (pattern)
        db.exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) "
                "values (" +
                Quoted(RouteGuid(1, 1)) + ", '9.@', " + Quoted(plan.pkid) + ", " + Quoted(plan.instructions[1].pkid) +
                ")");
    if (routeList)
        db.exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values (" + Quoted(RouteGuid(2, 1)) +
                ", 'RL-Branch', " + Quoted(plan.instructions.back().pkid) + ")");
    if (routeFilter)
        db.exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) values (" + Quoted(RouteGuid(3, 1)) +
                ", 'RF-Local', " + Quoted(plan.pkid) + ", '(TAG-2 EXISTS)')");
}

// What a removal logs when it runs the first `statements` of its statements:
// the lookup of the name (as written in SQL), the queries for patterns, route
// lists and route filters, and the logged deletes.
inline std::string RemovalLog(const std::string& sqlName, const std::string& pkid, size_t statements = 9)
{
    const std::string p = Quoted(pkid);
    const std::string all[] = {
        "select pkid from DialPlan where name='" + sqlName + "'",
        "select * from NumPlan where fkDialPlan=" + p,
        "select * from NumPlan where fkDigitDiscardInstruction in (select pkid from DigitDiscardInstruction "
        "where fkDialPlan = " +
            p + ")",
        "Select * from RouteList T1, DigitDiscardInstruction T2 where T2.fkDialPlan= " + p +
            " and T1.fkDigitDiscardInstruction = T2.pkid",
        "select * from RouteFilter where fkDialPlan=" + p,
        "select * from RouteFilterMember where fkDialPlanTag in (select pkid from DialPlanTag "
        "where fkDialPlan = " +
            p + ")",
        "delete from DigitDiscardInstructionMember where (fkDigitDiscardInstruction in (select "
        "pkid from DigitDiscardInstruction where fkDialPlan = " +
            p + "))",
        "delete from DigitDiscardInstruction where fkDialPlan=" + p,
        "delete from DialPlan where Name='" + sqlName + "'",
    };
    std::string log = "\n\nUnInstallDialPlan\n";
    for (size_t i = 0; i < statements; ++i)
        log += all[i] + "\n\n";
    return log;
}

// Makes every delete from DialPlanTag fail with `message`: a database error in
// the middle of a removal's deletes.
inline void BlockTagDeletes(zentra_test::HostDatabase& db, const std::string& message)
{
    zentra_test::FailWrites(db, "block_tag_delete", "DialPlanTag", "DELETE", "", message);
}

}  // namespace removal_test
