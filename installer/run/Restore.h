#pragma once

// A dial plan put back to exactly one of its snapshots: the rows of its four
// tables as the snapshot holds them (rows deleted, inserted and updated, pkids
// and digit-analysis IDs included) and its deployed files byte for byte, after
// an upgrade as after a removal. It runs under the run lock in one
// transaction and takes a snapshot of its own first, so that it can itself be
// undone.

#include <string>

#include "installer/run/RunReport.h"

class CZentraSetup;

namespace zentra_run {

// Restores the dial plan name to the snapshot id (the latest when empty) on a
// connected installer object. Refused, before anything is changed, while a
// route uses a row that the restore would drop (the upgrade's rules and
// messages), or while another dial plan holds one of the snapshot's pkids or
// digit-analysis IDs. A zentra::RestoreResult; throws SnapshotError when the
// snapshot is missing or damaged, or its own cannot be written.
int RestoreDialPlan(CZentraSetup& setup, const std::string& name, const std::string& id, const RunOptions& options);

}  // namespace zentra_run
