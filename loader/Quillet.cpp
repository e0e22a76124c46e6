#include "loader/Quillet.h"

// Placeholder until the loader is written.
extern "C" int CInstallCSVFile(const char*, const char*, const char*, const char*, const char*) { return 1; }
extern "C" const char* CInstallCSVFileLastError(void) { return "not built yet"; }
