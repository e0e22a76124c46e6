#pragma once

// What a run of the installer did, or in a preview would do, told as data: the
// programs print it for a person or as JSON. It is taken from the database
// inside the run's own transaction, before and after the very steps that make
// the changes, so that a preview cannot tell anything but what the run does.

#include <string>
#include <utility>
#include <vector>

#include "installer/run/PlanRows.h"

namespace zentra_run {

// A row that keeps a change from being made: which tag, instruction or dial
// plan is still used, and by which route filter, pattern or route list.
struct BlockingRow {
    std::string used;  // "tag", "instruction" or "dial plan"
    std::string usedName;
    std::string usedPkid;
    std::string user;  // "route filter", "pattern" or "route list"
    std::string userName;
    std::string userPkid;

    // One line for a person, as the programs print it and the log keeps it.
    std::string text() const;
};

struct RunReport {
    // The method whose result decided how the run ended, as the log names it.
    std::string decidedBy;
    // The message boxes that the run showed, or in a preview would show:
    // caption and text.
    std::vector<std::pair<std::string, std::string>> messages;
    PlanChanges changes;
    std::vector<BlockingRow> blocking;
    // The digit-analysis IDs given: instruction name and ID, in file order.
    std::vector<std::pair<std::string, long long>> ids;
    // The log the run wrote, empty when none.
    std::string logPath;
    // The snapshot the run took before its first change, empty when none.
    std::string snapshot;
    // A restore: the snapshot it puts back, and the rows of other dial plans
    // that keep it from doing so, one line each.
    std::string restoredFrom;
    std::vector<std::string> conflicts;
};

// How a run that changes the database is made.
struct RunOptions {
    // Commit the changes, or roll them back once every one has been made.
    bool preview = false;
    // The run's own log, or logPath instead ("" for none).
    bool ownLog = true;
    std::string logPath;
    // Filled when not null; with changes, the dial plan's rows are read
    // before and after the changes to tell them.
    RunReport* report = nullptr;
    bool changes = false;

    // Notes the step whose result decided how the run ended; the result.
    int decided(const char* step, int result) const
    {
        if (report != nullptr)
            report->decidedBy = step;
        return result;
    }
};

}  // namespace zentra_run
