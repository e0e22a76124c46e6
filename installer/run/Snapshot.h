#pragma once

// A snapshot of what a run is about to replace: the rows of the installed dial
// plan, as the database holds them, written as a dial-plan file, and the
// deployed files that the run overwrites or deletes. Each lies in a folder of
// its own in the dial plan's history, written whole under a hidden name and
// then renamed: a run killed while it writes one leaves no snapshot, only a
// hidden folder that is never taken for one.

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "installer/run/PlanRows.h"

namespace zentra_run {

// A snapshot that cannot be written (a folder that is not writable, a full
// disk, rows that a dial-plan file cannot carry) or read; the message names
// the folder.
class SnapshotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Snapshot {
    std::string id;         // the folder's name: "20261209T141502Z-upgrade"
    std::string folder;     // its Windows path, ending in a backslash
    std::string operation;  // the run that took it
    std::string time;       // when, UTC: "2026-12-09T14:15:02Z"
    // Whether the database held the dial plan, and then its rows, keyed as
    // identifiers.
    bool installed = false;
    PlanRows rows;
    // Which deployed files there were; each one that was is kept in the
    // snapshot's folder ("dialplan", "uninstall.exe", "ReadMe.txt"), the rows
    // in "rows.csv".
    bool dialPlanFile = false, uninstaller = false, readMe = false;
};

// Writes the installed rows as a dial-plan file (PlanFileText); throws
// PlanFileError.
using RowsText = std::function<std::string()>;

// Takes a snapshot for the run operation: rows is empty when the dial plan is
// not installed. Its id; throws SnapshotError, with nothing left that could be
// taken for a snapshot.
std::string TakeSnapshot(const DialPlanPaths& paths, const std::string& operation, const RowsText& rows);

// The ids of the dial plan's complete snapshots, oldest first.
std::vector<std::string> SnapshotIds(const DialPlanPaths& paths);

// One snapshot, rows and all; throws SnapshotError when it is missing or
// damaged.
Snapshot ReadSnapshot(const DialPlanPaths& paths, const std::string& id);

// The deployed files of a snapshot: where each is deployed, and where the
// snapshot keeps it ("" when there was none).
struct KeptFile {
    std::string deployed;
    std::string kept;
};
std::vector<KeptFile> KeptFiles(const DialPlanPaths& paths, const Snapshot& snapshot);

// Removes the hidden folders of snapshots whose runs were killed while they
// wrote them. Only for a run that holds the machine's run lock.
void RemovePartialSnapshots(const DialPlanPaths& paths);

}  // namespace zentra_run
