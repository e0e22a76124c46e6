#pragma once

// What the generator writes: the dial-plan files of both versions, the SQL that
// prepares the host database, and the reference scripts that the database's own
// client runs: the same rows and statements as the programs, in one transaction.

#include <string>
#include <vector>

#include "BenchPlan.h"

namespace bench {

// A value put between single quotes: its own single quotes doubled.
std::string Quote(const std::string& value);

// The dial-plan file of a plan: four sections, CR LF line ends, pkids in braces.
std::string DialPlanCsv(const DialPlan& plan);

// The digit-analysis IDs that a new installation gives the plan's instructions,
// in file order: the smallest positive numbers that the other plans do not use.
std::vector<long> InstalledIds(const Scenario& scenario);

// The other dial plans and their routing, for a database of the stand-in schema.
std::vector<std::string> HostStatements(const Scenario& scenario);
// The routing that is set up on the installed plan, and its removal again (the
// administrator's part before an uninstall).
std::vector<std::string> PlanRoutingStatements(const Scenario& scenario);
std::vector<std::string> DetachStatements(const Scenario& scenario);

// What a new installation does: the query of the used IDs and the inserts of
// every row of the rewritten file, kRowsPerInsert rows to a statement as the
// loader sends them.
constexpr std::size_t kRowsPerInsert = 100;
std::vector<std::string> InstallStatements(const Scenario& scenario);

// The statements that upgrading the installed first version to the second one
// executes, in order, worked out the way the upgrade works them out: from the
// file's lists and the installed rows, by pkid.
struct UpgradeWork {
    std::vector<std::string> statements;
    std::size_t obsoleteTags = 0, obsoleteInstructions = 0;
    std::size_t newTags = 0, newInstructions = 0;
    std::size_t predefinedMembers = 0, newInstructionMembers = 0;
    // Lines the upgrade's walk over the file's instructions writes to its log
    // (one per file entry tried before the match): this part of the log grows
    // with the square of the number of instructions.
    std::size_t walkLogLines = 0;
};
UpgradeWork UpgradeStatements(const Scenario& scenario);

// The removal's queries and deletes.
std::vector<std::string> RemovalStatements(const Scenario& scenario);

// Statements as one script: BEGIN, the statements, COMMIT, one per line.
std::string Script(const std::vector<std::string>& statements, bool transaction = true);

}  // namespace bench
