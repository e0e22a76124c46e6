#pragma once

// The record of every run that decides something about a dial plan: one line
// of JSON a run (JSON Lines), appended to the journal in the dial plan's
// folder and never rewritten. A line goes to the file in one write, so that a
// run killed while it writes leaves every earlier line whole and at most a
// damaged last one, which the reader skips with a warning.

#include <string>
#include <vector>

#include "installer/run/DialPlanPaths.h"

namespace zentra_run {

// One run; the journal writes the time and the host itself.
struct JournalRecord {
    std::string time;       // UTC, "2026-12-09T14:15:02Z"
    std::string program;    // "zentra-setup", "uninstall.exe"
    std::string operation;  // "install", "upgrade", "files only", "restore", "removal"
    bool preview = false;
    std::string host;
    std::string csvSha256;  // of the delivered NAME.csv; "" when there is none
    std::string result;     // what happened, in a word or two
    int exitStatus = 0;
    std::string snapshot;  // the snapshot the run took; "" when none
};

// Appends the record, stamped with the time and this machine's name, when the
// dial plan's folder exists; false when the journal cannot be written (the
// run's own outcome does not depend on it).
bool AppendToJournal(const DialPlanPaths& paths, const JournalRecord& record);

// The records, oldest first; a line that cannot be read is skipped and told in
// warnings.
std::vector<JournalRecord> ReadJournal(const DialPlanPaths& paths, std::vector<std::string>& warnings);

}  // namespace zentra_run
