#include "installer/CZentraSetup.h"

#include <stdexcept>

// Placeholder until the step is written.
void CZentraSetup::CopyDialPlanFile() { throw std::logic_error("not built yet"); }
