#pragma once

// What the removal tests share: a prefix folder whose registry names a fresh host
// database, installed dial plans written straight into that database (a DialPlan
// row, three tags, seven digit discard instructions, and members joining every
// instruction to every tag), the references that block a removal, and the log a
// removal writes.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "installer/SqlText.h"
#include "support/TestSupport.h"

namespace removal_test {

class RemovalFixture : public ::testing::TestWithParam<zentra_test::Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix_ = std::make_unique<zentra_test::Prefix>(GetParam());
        db_ = std::make_unique<zentra_test::HostDatabase>(GetParam());
        prefix_->registerDatabase(*db_);
    }

    zentra_test::HostDatabase& db() { return *db_; }
    std::string host(const std::string& windowsPath) const { return prefix_->hostPath(windowsPath); }
    std::string dialPlanFile(const std::string& name) const
    {
        return host(std::string(zentra_run::kDialPlanFolder) + name);
    }
    std::string zentraFile(const std::string& name, const std::string& file) const
    {
        return host(std::string(zentra_run::kZentraFolder) + name + "\\" + file);
    }
    std::string logPath(const std::string& name) const { return zentraFile(name, name + "_uninstall.txt"); }
    std::string logOf(const std::string& name) const { return zentra_test::ReadFile(logPath(name)); }

    std::unique_ptr<zentra_test::Prefix> prefix_;
    std::unique_ptr<zentra_test::HostDatabase> db_;
};

// A GUID in the stored form (upper case, no braces). `plan` is a hex digit that
// tells the dial plans of one test apart, `kind` the table, `number` the row.
inline std::string Guid(char plan, int kind, int number)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%s-%04d-0000-0000-%012d", std::string(8, plan).c_str(), kind, number);
    return text;
}

// Text between single quotes, its own quotes doubled.
inline std::string Quoted(const std::string& text) { return "'" + SqlQuote(text) + "'"; }

struct DialPlanRows {
    std::string pkid;
    std::vector<std::string> tagPkids;
    std::vector<std::string> instructionPkids;
};

inline void InsertMember(zentra_test::HostDatabase& db, const std::string& pkid, const std::string& instructionPkid,
                         const std::string& tagPkid)
{
    db.exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
            "fkDialPlanTag) values (" +
            Quoted(pkid) + ", " + Quoted(instructionPkid) + ", " + Quoted(tagPkid) + ")");
}

// Inserts a dial plan; digit-analysis identifiers start at firstDaId so that
// several dial plans of one test do not share them. With tags == false the
// dial plan has its DialPlan row only.
inline DialPlanRows InsertDialPlan(zentra_test::HostDatabase& db, const std::string& name, char plan, int firstDaId,
                                   bool tags = true)
{
    DialPlanRows rows;
    rows.pkid = Guid(plan, 1, 1);
    db.exec("insert into DialPlan (pkid, name) values (" + Quoted(rows.pkid) + ", " + Quoted(name) + ")");
    for (int i = 1; tags && i <= 3; ++i) {
        rows.tagPkids.push_back(Guid(plan, 2, i));
        db.exec("insert into DialPlanTag (pkid, tag, fkDialPlan, tkOperator_Max, "
                "suppressFromRouteFilter) values (" +
                Quoted(rows.tagPkids.back()) + ", 'TAG-" + std::to_string(i) + "', " + Quoted(rows.pkid) +
                ", '1', 'f')");
    }
    for (int i = 1; tags && i <= 7; ++i) {
        rows.instructionPkids.push_back(Guid(plan, 3, i));
        db.exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                "clause) values (" +
                Quoted(rows.instructionPkids.back()) + ", 'DDI-" + std::to_string(i) + "', " + Quoted(rows.pkid) +
                ", " + std::to_string(firstDaId + i - 1) + ", 'TAG-1:%')");
    }
    int member = 0;
    for (const std::string& instruction : rows.instructionPkids)
        for (const std::string& tag : rows.tagPkids)
            InsertMember(db, Guid(plan, 4, ++member), instruction, tag);
    return rows;
}

// Rows of the four dial-plan tables that belong to a dial plan: the DialPlan
// row, its tags, its instructions and the members of its instructions.
inline int CountRowsOf(zentra_test::HostDatabase& db, const DialPlanRows& rows)
{
    const std::string pkid = Quoted(rows.pkid);
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
inline void SetReferences(zentra_test::HostDatabase& db, const DialPlanRows& plan, bool pattern, bool routeList,
                          bool routeFilter, bool foreignPattern = false, bool foreignFilterMember = false)
{
    for (const char* table : {"NumPlan", "RouteList", "RouteFilter", "RouteFilterMember"})
        db.exec(std::string("delete from ") + table);
    if (foreignPattern)
        db.exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) "
                "values (" +
                Quoted(Guid('F', 1, 2)) + ", '8.XXXX', " + Quoted(Guid('F', 9, 9)) + ", " +
                Quoted(plan.instructionPkids[0]) + ")");
    if (foreignFilterMember) {
        db.exec("insert into RouteFilter (pkid, name, fkDialPlan) values (" + Quoted(Guid('F', 3, 2)) +
                ", 'RF-Other', " + Quoted(Guid('F', 9, 9)) + ")");
        db.exec("insert into RouteFilterMember (pkid, fkRouteFilter, fkDialPlanTag) values (" +
                Quoted(Guid('F', 4, 1)) + ", " + Quoted(Guid('F', 3, 2)) + ", " + Quoted(plan.tagPkids[1]) + ")");
    }
    if (pattern)
        db.exec("insert into NumPlan (pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction) "
                "values (" +
                Quoted(Guid('F', 1, 1)) + ", '9.@', " + Quoted(plan.pkid) + ", " + Quoted(plan.instructionPkids[1]) +
                ")");
    if (routeList)
        db.exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values (" + Quoted(Guid('F', 2, 1)) +
                ", 'RL-Branch', " + Quoted(plan.instructionPkids.back()) + ")");
    if (routeFilter)
        db.exec("insert into RouteFilter (pkid, name, fkDialPlan, clause) values (" + Quoted(Guid('F', 3, 1)) +
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
    if (db.backend() == zentra_test::Backend::SQLite) {
        db.exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                "BEGIN SELECT RAISE(ABORT, " +
                Quoted(message) + "); END");
    } else {
        db.exec("CREATE FUNCTION block_tag_delete() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN RAISE EXCEPTION " +
                Quoted(message) + "; END $$");
        db.exec("CREATE TRIGGER block_tag_delete BEFORE DELETE ON DialPlanTag "
                "FOR EACH STATEMENT EXECUTE FUNCTION block_tag_delete()");
    }
}

}  // namespace removal_test
