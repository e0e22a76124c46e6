#pragma once

// The runs of zentra-setup that install or upgrade a dial plan, for real or as
// a preview, and the connection check.

#include <string>

#include "setup/Outcome.h"

namespace setup {

// Installs or upgrades the dial plan name from the files of the current
// folder; with preview, makes every change in a transaction that is rolled
// back, keeps nothing, and tells what the run would have done. With json, the
// changes are read into the outcome too.
void Install(const std::string& name, bool preview, bool json, Outcome& outcome);

// Connects and tells the connection's result; the exit status is that result.
void ConnectOnly(Outcome& outcome);

}  // namespace setup
