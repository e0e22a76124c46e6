#include "installer/CZentraSetup.h"

#include <stdexcept>

// Placeholder until the step is written.
int CZentraSetup::UnInstallDialPlan(std::string) { throw std::logic_error("not built yet"); }
