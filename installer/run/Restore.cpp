#include "installer/run/Restore.h"

#include <functional>
#include <optional>
#include <set>

#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/PlanFile.h"
#include "installer/run/PlanStatus.h"
#include "installer/run/References.h"
#include "installer/run/RunScope.h"
#include "installer/run/Session.h"
#include "installer/run/Snapshot.h"
#include "installer/upgrade/PkidLookup.h"
#include "installer/upgrade/Refusals.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace zentra_run {

namespace {

using zentra_upgrade::PkidKey;
using Rows = std::vector<PlanRows::Row>;

constexpr const char* kCaption = "Restore Failed";
constexpr PlanChanges::Table PlanChanges::*kTables[] = {&PlanChanges::dialPlan, &PlanChanges::tags,
                                                        &PlanChanges::instructions, &PlanChanges::members};

Snapshot Chosen(const DialPlanPaths& paths, const std::string& id)
{
    if (!id.empty())
        return ReadSnapshot(paths, id);
    const std::vector<std::string> ids = SnapshotIds(paths);
    if (ids.empty())
        throw SnapshotError("The dial plan " + paths.name() + " has no snapshot in " + paths.historyFolder() +
                            " to restore.");
    return ReadSnapshot(paths, ids.back());
}

// What the restore changes: the installed rows against the snapshot's. A
// snapshot of another DialPlan row than the installed one replaces all of it.
struct Difference {
    std::string installedPkid, targetPkid;
    PlanRows installed;
    PlanChanges changes;
};

// Whether the snapshot holds the installed DialPlan row, or both none.
bool SamePlan(const Difference& difference) { return PkidKey(difference.installedPkid) == difference.targetPkid; }

Difference Compare(Session& step, const DialPlanPaths& paths, const Snapshot& snapshot)
{
    Difference difference;
    if (const std::optional<DialPlanRow> found = FindDialPlan(step, paths.name())) {
        difference.installedPkid = found->pkid;
        difference.installed = Keyed(ReadPlanRows(step, found->pkid));
    }
    const PlanRows target = snapshot.installed ? snapshot.rows : PlanRows();
    if (!target.dialPlan.empty())
        difference.targetPkid = target.dialPlan.begin()->first;
    if (SamePlan(difference)) {
        difference.changes = CompareRows(difference.installed, target);
        return difference;
    }
    difference.changes = CompareRows(difference.installed, PlanRows());
    const PlanChanges added = CompareRows(PlanRows(), target);
    for (PlanChanges::Table PlanChanges::*table : kTables)
        (difference.changes.*table).added = (added.*table).added;
    return difference;
}

std::vector<std::string> Column(const Rows& rows, std::size_t column)
{
    std::vector<std::string> values;
    for (const PlanRows::Row& row : rows)
        values.push_back(row.at(column));
    return values;
}

void Report(Session& step, RunScope& run, const std::vector<BlockingRow>& rows)
{
    for (const BlockingRow& row : rows) {
        step.log(row.text() + "\n");
        if (run.report() != nullptr)
            run.report()->blocking.push_back(row);
    }
}

// Refuses, told and with the rows that use them listed, when a route uses the
// dropped rows that reference tells.
std::optional<int> Refuse(Session& step, RunScope& run, const Reference& reference, const char* heading,
                          const Rows& dropped, const std::function<std::string(const std::vector<std::string>&)>& say)
{
    const std::vector<std::string> inUse = NamesInUse(step, heading, reference, Column(dropped, 0), Column(dropped, 1));
    step.log("\n");
    if (inUse.empty())
        return std::nullopt;
    ShowInstallerMessage(say(inUse), kCaption);
    for (const std::string& pkid : Column(dropped, 0))
        Report(step, run, UsersOf(step, reference, pkid));
    return run.decided("RestoreDialPlan", zentra::kRestoreRefusedInUse);
}

// The installed DialPlan row goes when the snapshot holds another or none:
// refused while a pattern or a route filter names it.
std::optional<int> DialPlanInUse(Session& step, RunScope& run, const Difference& difference, const std::string& name)
{
    if (difference.installedPkid.empty() || SamePlan(difference))
        return std::nullopt;
    std::vector<BlockingRow> users;
    for (int result : {zentra::kPatternsRefer, zentra::kRouteFiltersRefer})
        for (const BlockingRow& row : UsersOfDialPlan(step, result, difference.installedPkid, name))
            if (row.used == "dial plan")
                users.push_back(row);
    if (users.empty())
        return std::nullopt;
    ShowInstallerMessage("The dial plan " + name +
                             " is used by patterns or route filters, but the restore takes its DialPlan row away",
                         kCaption);
    Report(step, run, users);
    return run.decided("RestoreDialPlan", zentra::kRestoreRefusedInUse);
}

// The upgrade's rules and messages, for the rows that the restore drops.
std::optional<int> InUse(Session& step, RunScope& run, const Difference& difference, const std::string& name)
{
    const PlanChanges& changes = difference.changes;
    const auto byPatterns = [](const std::vector<std::string>& names) {
        return zentra_upgrade::InstructionsInUseMessage(names, true);
    };
    const auto byRouteLists = [](const std::vector<std::string>& names) {
        return zentra_upgrade::InstructionsInUseMessage(names, false);
    };
    if (auto refused = Refuse(step, run, kTagInRouteFilter, "RestoreTagsInUse\n", changes.tags.deleted,
                              zentra_upgrade::TagsInUseMessage))
        return refused;
    if (auto refused = Refuse(step, run, kInstructionInPattern, "RestorePatternsInUse\n", changes.instructions.deleted,
                              byPatterns))
        return refused;
    if (auto refused = Refuse(step, run, kInstructionInRouteList, "RestoreRouteListsInUse\n",
                              changes.instructions.deleted, byRouteLists))
        return refused;
    return DialPlanInUse(step, run, difference, name);
}

// IN lists of at most this many values, which every database takes.
constexpr std::size_t kInList = 500;

// The rows of select whose column holds one of values.
std::vector<std::vector<std::string>> RowsIn(Session& step, const std::string& select, const std::string& column,
                                             const std::vector<std::string>& values, bool quote = true)
{
    std::vector<std::vector<std::string>> found;
    for (std::size_t start = 0; start < values.size(); start += kInList) {
        std::string list;
        for (std::size_t k = start; k < values.size() && k < start + kInList; ++k)
            list += (list.empty() ? "" : ", ") + (quote ? SqlLiteral(values[k]) : values[k]);
        for (auto& row : step.rows(select + " where " + column + " in (" + list + ")"))
            found.push_back(std::move(row));
    }
    return found;
}

// The snapshot's rows that rows of other dial plans stand in the way of: a
// pkid that another row holds, a digit-analysis ID that another dial plan's
// instruction holds. One line each.
std::vector<std::string> Conflicts(Session& step, const Difference& difference, const Snapshot& snapshot)
{
    std::vector<std::string> conflicts;
    const auto installed = [&](const std::string& pkid) {
        for (const auto* rows : {&difference.installed.dialPlan, &difference.installed.tags,
                                 &difference.installed.instructions, &difference.installed.members})
            if (rows->count(PkidKey(pkid)) != 0)
                return true;
        return false;
    };
    const struct {
        const char* table;
        const char* kind;
        const Rows& added;
    } tables[] = {{"DialPlan", "DialPlan row", difference.changes.dialPlan.added},
                  {"DialPlanTag", "tag", difference.changes.tags.added},
                  {"DigitDiscardInstruction", "instruction", difference.changes.instructions.added},
                  {"DigitDiscardInstructionMember", "member", difference.changes.members.added}};
    for (const auto& table : tables)
        for (const auto& row :
             RowsIn(step, std::string("select pkid from ") + table.table, "pkid", Column(table.added, 0)))
            if (!installed(row.at(0)))
                conflicts.push_back(std::string("the snapshot's ") + table.kind + " " + row.at(0) +
                                    " has a pkid that a row of " + table.table + " of another dial plan holds");
    std::map<std::string, const PlanRows::Row*> byId;
    for (const auto& [pkid, row] : snapshot.rows.instructions)
        byId[row.at(2)] = &row;
    std::vector<std::string> ids;
    for (const auto& [id, row] : byId)
        ids.push_back(id);
    for (const auto& row : RowsIn(step,
                                  "select i.pkid, i.name, i.digitAnalysisID, d.name from DigitDiscardInstruction i "
                                  "left join DialPlan d on d.pkid = i.fkDialPlan",
                                  "i.digitAnalysisID", ids, false))
        if (!installed(row.at(0)) && byId.count(row.at(2)) != 0)
            conflicts.push_back("the digit-analysis ID " + row.at(2) + " of the snapshot's instruction " +
                                byId[row.at(2)]->at(1) + " (" + byId[row.at(2)]->at(0) +
                                ") is held by the instruction " + row.at(1) + " (" + row.at(0) + ") of the dial plan " +
                                row.at(3));
    return conflicts;
}

void Run(Session& step, const std::string& sql)
{
    step.log(sql + "\n");
    step.change(sql, 1);
}

void DeleteRows(Session& step, const PlanChanges& changes)
{
    const std::pair<const char*, const Rows*> deleted[] = {{"DigitDiscardInstructionMember", &changes.members.deleted},
                                                           {"DigitDiscardInstruction", &changes.instructions.deleted},
                                                           {"DialPlanTag", &changes.tags.deleted},
                                                           {"DialPlan", &changes.dialPlan.deleted}};
    for (const auto& [table, rows] : deleted)
        for (const PlanRows::Row& row : *rows)
            Run(step, std::string("delete from ") + table + " where pkid = " + SqlLiteral(row.at(0)));
}

// The statements that write a row of the snapshot, inserted or updated.
std::string DialPlanRow(const PlanRows::Row& row, bool insert)
{
    return insert ? "insert into DialPlan (pkid, name, description) values (" + SqlLiteral(row[0]) + ", " +
                        SqlLiteral(row[1]) + ", " + SqlLiteral(row[2]) + ")"
                  : "update DialPlan set name = " + SqlLiteral(row[1]) + ", description = " + SqlLiteral(row[2]) +
                        " where pkid = " + SqlLiteral(row[0]);
}
std::string TagRow(const PlanRows::Row& row, bool insert, const std::string& plan)
{
    return insert
               ? "insert into DialPlanTag (pkid, tag, fkDialPlan, suppressFromRouteFilter, tkOperator_Max) values (" +
                     SqlLiteral(row[0]) + ", " + SqlLiteral(row[1]) + ", " + SqlLiteral(plan) + ", " +
                     SqlLiteral(row[2]) + ", " + SqlLiteral(row[3]) + ")"
               : "update DialPlanTag set tag = " + SqlLiteral(row[1]) +
                     ", suppressFromRouteFilter = " + SqlLiteral(row[2]) + ", tkOperator_Max = " + SqlLiteral(row[3]) +
                     " where pkid = " + SqlLiteral(row[0]);
}
std::string InstructionRow(const PlanRows::Row& row, bool insert, const std::string& plan)
{
    return insert
               ? "insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) values (" +
                     SqlLiteral(row[0]) + ", " + SqlLiteral(row[1]) + ", " + SqlLiteral(plan) + ", " + row[2] + ", " +
                     SqlLiteral(row[3]) + ")"
               : "update DigitDiscardInstruction set name = " + SqlLiteral(row[1]) + ", digitAnalysisID = " + row[2] +
                     ", clause = " + SqlLiteral(row[3]) + " where pkid = " + SqlLiteral(row[0]);
}
std::string MemberRow(const PlanRows::Row& row, bool insert)
{
    return insert ? "insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, fkDialPlanTag) "
                    "values (" +
                        SqlLiteral(row[0]) + ", " + SqlLiteral(row[1]) + ", " + SqlLiteral(row[2]) + ")"
                  : "update DigitDiscardInstructionMember set fkDigitDiscardInstruction = " + SqlLiteral(row[1]) +
                        ", fkDialPlanTag = " + SqlLiteral(row[2]) + " where pkid = " + SqlLiteral(row[0]);
}

// Deletes, then updates and inserts: the DialPlan row before its rows, the
// instructions and tags before the members that join them.
void Apply(Session& step, const PlanChanges& changes, const std::string& plan)
{
    DeleteRows(step, changes);
    for (const auto& change : changes.dialPlan.changed)
        Run(step, DialPlanRow(change.after, false));
    for (const auto& row : changes.dialPlan.added)
        Run(step, DialPlanRow(row, true));
    for (const auto& change : changes.tags.changed)
        Run(step, TagRow(change.after, false, plan));
    for (const auto& row : changes.tags.added)
        Run(step, TagRow(row, true, plan));
    for (const auto& change : changes.instructions.changed)
        Run(step, InstructionRow(change.after, false, plan));
    for (const auto& row : changes.instructions.added)
        Run(step, InstructionRow(row, true, plan));
    for (const auto& change : changes.members.changed)
        Run(step, MemberRow(change.after, false));
    for (const auto& row : changes.members.added)
        Run(step, MemberRow(row, true));
}

// The deployed files as the snapshot kept them: copied back, or deleted where
// there was none. False when one could not be put back.
bool PutFilesBack(Session& step, const DialPlanPaths& paths, const Snapshot& snapshot)
{
    MakeSureDirectoryPathExists(kDialPlanFolder);
    bool all = true;
    for (const KeptFile& file : KeptFiles(paths, snapshot)) {
        if (file.kept.empty()) {
            const bool gone = DeleteFileA(file.deployed.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
                              GetLastError() == ERROR_PATH_NOT_FOUND;
            step.logFormat(gone ? "Deleted %s, which the snapshot does not hold\n" : "Failed to delete %s\n",
                           file.deployed);
            all = all && gone;
            continue;
        }
        const bool copied = CopyFileA(file.kept.c_str(), file.deployed.c_str(), FALSE);
        step.logFormat(copied ? "Put back %s\n" : "Failed to put back %s\n", file.deployed);
        if (!copied)
            ShowInstallerMessage("Failed to put back the file " + file.deployed + " from " + file.kept, kCaption);
        all = all && copied;
    }
    return all;
}

// The refusal when rows of other dial plans stand in the way.
int RefuseConflicts(Session& step, RunScope& run, const std::vector<std::string>& conflicts)
{
    std::string text = "The snapshot cannot be restored: rows of other dial plans hold what it needs.";
    for (const std::string& conflict : conflicts) {
        text += "\n" + conflict;
        step.log(conflict + "\n");
    }
    if (run.report() != nullptr)
        run.report()->conflicts = conflicts;
    ShowInstallerMessage(text, kCaption);
    return run.decided("RestoreDialPlan", zentra::kRestoreRefusedByOtherPlan);
}

}  // namespace

int RestoreDialPlan(CZentraSetup& setup, const std::string& name, const std::string& id, const RunOptions& options)
{
    MessageDeferral messages(options.report != nullptr ? &options.report->messages : nullptr, !options.preview);
    std::string problem;
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name, &problem);
    if (!paths)
        throw SnapshotError(problem);
    const Snapshot snapshot = Chosen(*paths, id);
    Session step(setup, Session::Log::Closed);
    step.setLogPath(options.ownLog ? paths->restoreLog() : options.logPath);
    if (options.report != nullptr) {
        options.report->logPath = step.logPath();
        options.report->restoredFrom = snapshot.id;
    }
    step.openLog();
    step.log("\n\nRestoreDialPlan " + snapshot.folder + "\n");

    RunScope run(step, options);
    run.holdRoutes();
    const Difference difference = Compare(step, *paths, snapshot);
    if (!difference.installedPkid.empty())
        run.holdDialPlan(difference.installedPkid);
    run.rowsBefore(difference.installedPkid);
    if (const std::optional<int> refused = InUse(step, run, difference, name))
        return *refused;
    const std::vector<std::string> conflicts = Conflicts(step, difference, snapshot);
    if (!conflicts.empty())
        return RefuseConflicts(step, run, conflicts);
    run.snapshot(*paths, "restore", difference.installedPkid);
    Apply(step, difference.changes, difference.targetPkid);
    run.rowsAfter(difference.targetPkid.empty() ? difference.installedPkid : difference.targetPkid);
    const int result = run.finish("RestoreDialPlan", zentra::kRestored);
    if (options.preview || PutFilesBack(step, *paths, snapshot))
        return result;
    return options.decided("RestoreDialPlan", zentra::kRestoreFilesNotPut);
}

}  // namespace zentra_run
