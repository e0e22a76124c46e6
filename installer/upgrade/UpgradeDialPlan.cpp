#include "installer/CZentraSetup.h"

#include <stdexcept>

// Placeholder until the step is written.
int CZentraSetup::UpgradeDialPlan(std::string) { throw std::logic_error("not built yet"); }
void CZentraSetup::DBReadDialPlanTagTable() { throw std::logic_error("not built yet"); }
void CZentraSetup::DBReadDigitDiscardInstructionTable() { throw std::logic_error("not built yet"); }
void CZentraSetup::ObsoleteDialPlanTag() { throw std::logic_error("not built yet"); }
void CZentraSetup::ObsoleteTagInUse() { throw std::logic_error("not built yet"); }
int CZentraSetup::CheckObsoleteTagInUse() { throw std::logic_error("not built yet"); }
void CZentraSetup::DeleteObsoleteTags() { throw std::logic_error("not built yet"); }
void CZentraSetup::ObsoleteDigitDiscardInstruction() { throw std::logic_error("not built yet"); }
void CZentraSetup::ObsoleteDDIInUse_RP_TP() { throw std::logic_error("not built yet"); }
void CZentraSetup::ObsoleteDDIInUse_RL() { throw std::logic_error("not built yet"); }
int CZentraSetup::CheckObsoleteDDIInUse() { throw std::logic_error("not built yet"); }
void CZentraSetup::DeleteObsoleteDDI_NOT_IN_USE() { throw std::logic_error("not built yet"); }
void CZentraSetup::NewDialPlanTag() { throw std::logic_error("not built yet"); }
void CZentraSetup::UpdateDialPlanDescription() { throw std::logic_error("not built yet"); }
void CZentraSetup::InsertNewTags() { throw std::logic_error("not built yet"); }
void CZentraSetup::UpdatePredefinedDDI() { throw std::logic_error("not built yet"); }
void CZentraSetup::NewDigitDiscardInstructions() { throw std::logic_error("not built yet"); }
void CZentraSetup::InsertNewDigitDiscardInstructions() { throw std::logic_error("not built yet"); }
void CZentraSetup::InsertDDIMPredefinedDDI() { throw std::logic_error("not built yet"); }
void CZentraSetup::InsertDDIMNewDDI() { throw std::logic_error("not built yet"); }
