#include "installer/CZentraSetup.h"

#include <stdexcept>

// Placeholder until the step is written.
void CZentraSetup::CSVReadDialPlanDescription() { throw std::logic_error("not built yet"); }
void CZentraSetup::CSVReadDialPlanTagTable() { throw std::logic_error("not built yet"); }
void CZentraSetup::CSVReadDigitDiscardInstructionTable() { throw std::logic_error("not built yet"); }
void CZentraSetup::CSVReadDigitDiscardInstructionMemberTable() { throw std::logic_error("not built yet"); }
