#pragma once

// zentra-setup --restore, --export and --history: the undo of a change and
// what serves it.

#include <string>

#include "setup/Outcome.h"

namespace setup {

// Restores name to the snapshot (the latest when empty).
void Restore(const std::string& name, const std::string& snapshot, bool preview, bool json, Outcome& outcome);

// Writes the installed dial plan, from the database alone, as a dial-plan
// file: to file, or to standard output when file is empty.
void Export(const std::string& name, const std::string& file, Outcome& outcome);

// The journal of the dial plan's runs, oldest first, with each snapshot's
// folder; read only, without the database.
void History(const std::string& name, Outcome& outcome);

}  // namespace setup
