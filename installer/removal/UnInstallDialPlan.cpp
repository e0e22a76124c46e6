#include "installer/CZentraSetup.h"

#include "installer/run/Removal.h"

int CZentraSetup::UnInstallDialPlan(std::string name) { return zentra_run::RemoveDialPlan(*this, name, {}); }
