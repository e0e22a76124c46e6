#pragma once

// What the generator writes besides the dial-plan files of both versions
// (CsvText of the tests' model): the SQL that prepares the host database, and
// the new installation's reference script that the database's own client runs:
// the same rows as the loader, in one transaction. The upgrade's and the
// removal's scripts are the statements that the installer ran
// (zentra-bench-record).

#include <string>
#include <vector>

#include "BenchPlan.h"

namespace bench {

// The digit-analysis IDs that a new installation gives the plan's instructions,
// in file order: the smallest positive numbers that the other plans do not use.
std::vector<int> InstalledIds(const Scenario& scenario);

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

// Statements as one script: BEGIN, the statements, COMMIT, one per line.
std::string Script(const std::vector<std::string>& statements, bool transaction = true);

}  // namespace bench
