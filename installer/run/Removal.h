#pragma once

// The removal of an installed dial plan's rows: its members, instructions, tags
// and the DialPlan row, unless patterns, route lists or route filters still
// refer to it or to its instructions and tags. Everything from the lookup to
// the deletes runs in one transaction under the run lock; a database error
// reaches the caller with the dial plan whole.

#include <string>

#include "installer/run/RunReport.h"

class CZentraSetup;

namespace zentra_run {

// A zentra::RemovalResult: removed or not installed, refused by a reference,
// or the name refused (nothing touched, no log). The report, when options give
// one, names the rows that refuse it.
int RemoveDialPlan(CZentraSetup& setup, const std::string& name, const RunOptions& options);

}  // namespace zentra_run
