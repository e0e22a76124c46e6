#pragma once

// Makes the Nth write of a run fail, as a full disk or a rule of the host
// product could at any moment: a counter table and triggers on the four
// dial-plan tables (DialPlan, DialPlanTag, DigitDiscardInstruction,
// DigitDiscardInstructionMember).
//
// What N counts follows what each database's triggers can see:
// - PostgreSQL: write statements. A statement-level trigger counts every
//   INSERT, UPDATE and DELETE on those tables, one that touches no row too.
// - SQLite: rows. SQLite has row triggers only, so every row inserted, updated
//   or deleted counts; a statement of a hundred rows counts a hundred.
// The counter is written inside the run's transaction: a run that rolls back
// takes its count back with it, and writes() tells what a committed run wrote.

#include <string>

#include "support/TestSupport.h"

namespace zentra_test {

class WriteFault {
public:
    // Creates the counter and the triggers, disarmed.
    explicit WriteFault(HostDatabase& db);
    WriteFault(const WriteFault&) = delete;
    WriteFault& operator=(const WriteFault&) = delete;

    // From now on the nth write fails with kMessage; 0 makes none fail. The
    // count starts again at zero.
    void arm(int n);
    // The writes counted since arm(), as committed.
    int writes();

    static constexpr const char* kMessage = "write failed by the test";

private:
    HostDatabase& db_;
};

}  // namespace zentra_test
