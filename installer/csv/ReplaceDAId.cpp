#include "installer/CZentraSetup.h"

#include <stdexcept>

// Placeholder until the step is written.
void CZentraSetup::ReplaceDAId(std::string) { throw std::logic_error("not built yet"); }
