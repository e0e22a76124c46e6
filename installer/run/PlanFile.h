#pragma once

// An installed dial plan as a dial-plan file, and back: the snapshots of the
// rows a run replaces, and --export, write the rows that the database holds in
// the delivered file format, which the one reader of the file reads again.

#include <stdexcept>
#include <string>

#include "installer/run/PlanRows.h"

namespace dialplan {
class DialPlanFile;
}  // namespace dialplan

namespace zentra_run {

class Session;

// Rows that the file format cannot carry: a comma in a field that is not the
// last of its row, a line break, a tkOperator_Max of more than one character,
// a dial plan without its DialPlan row.
class PlanFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The installed dial plan with this pkid as the database holds it, read and
// written row by row: the four sections with their marker lines, column names
// and type rows, and a row each for the DialPlan row, the tags, the
// instructions in the order of their digit-analysis IDs and the members that
// join the plan's own instructions and tags; pkids in braces, CR LF line ends.
// Throws PlanFileError.
std::string PlanFileText(Session& session, const std::string& dialPlanPkid);

// The rows of a checked file in the form the installer reads the database in,
// keyed and written as identifiers (upper case), whatever the file's case.
PlanRows RowsOfFile(const dialplan::DialPlanFile& file);

// The installed rows keyed as identifiers too, so that they compare with a
// file's.
PlanRows Keyed(const PlanRows& installed);

}  // namespace zentra_run
