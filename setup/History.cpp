#include <iostream>
#include <optional>
#include <set>

#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/Journal.h"
#include "installer/run/RunReportJson.h"
#include "installer/run/Snapshot.h"
#include "setup/Restore.h"

namespace setup {

namespace {

using zentra_run::DialPlanPaths;

void ShowRecords(const DialPlanPaths& paths, const std::vector<zentra_run::JournalRecord>& records)
{
    const std::vector<std::string> ids = zentra_run::SnapshotIds(paths);
    const std::set<std::string> complete(ids.begin(), ids.end());
    Say() << records.size() << " run" << (records.size() == 1 ? "" : "s") << " of " << paths.name() << " in "
          << paths.journal() << ", oldest first:\n";
    for (const zentra_run::JournalRecord& record : records) {
        Say() << "  " << record.time << "  " << record.program << "  " << record.operation
              << (record.preview ? " (preview)" : "") << "  " << record.result << "  exit " << record.exitStatus
              << "\n";
        if (!record.snapshot.empty())
            Say() << "    snapshot " << paths.historyFolder() << record.snapshot
                  << (complete.count(record.snapshot) != 0 ? "" : " (no longer there)") << "\n";
    }
}

nlohmann::ordered_json RecordsJson(const DialPlanPaths& paths, const std::vector<zentra_run::JournalRecord>& records)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const zentra_run::JournalRecord& record : records)
        list.push_back(
            {{"time", record.time},
             {"program", record.program},
             {"operation", record.operation},
             {"preview", record.preview},
             {"host", record.host},
             {"csvSha256", zentra_run::TextOrNull(record.csvSha256)},
             {"result", record.result},
             {"exitStatus", record.exitStatus},
             {"snapshot", zentra_run::TextOrNull(record.snapshot)},
             {"snapshotFolder",
              record.snapshot.empty() ? nullptr : nlohmann::ordered_json(paths.historyFolder() + record.snapshot)}});
    return list;
}

}  // namespace

void History(const std::string& name, Outcome& outcome)
{
    std::string problem;
    const std::optional<DialPlanPaths> paths = DialPlanPaths::Of(name, &problem);
    if (!paths)
        return Decide(outcome, zentra::kExitUsage, "CheckDialPlanName", "refused", problem);
    std::vector<std::string> warnings;
    const std::vector<zentra_run::JournalRecord> records = zentra_run::ReadJournal(*paths, warnings);
    for (const std::string& warning : warnings)
        std::cerr << "zentra-setup: warning: " << warning << "\n";
    ShowRecords(*paths, records);
    outcome.history = {{"journal", paths->journal()},
                       {"records", RecordsJson(*paths, records)},
                       {"warnings", warnings},
                       {"snapshots", zentra_run::SnapshotIds(*paths)}};
    Decide(outcome, zentra::kExitDone, "History", "shown", "");
}

}  // namespace setup
