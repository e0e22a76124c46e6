#pragma once

// zentra-setup --status: what is installed, read only.

#include <string>

#include "setup/Outcome.h"

namespace setup {

// Without a name, every installed dial plan with the size of its tables; with
// one, that dial plan against NAME.csv of the current folder (the rows the file
// adds, drops and holds otherwise) and the routes that use it.
void Status(const std::string& name, Outcome& outcome);

}  // namespace setup
