#if !defined(_WIN32)

#  include "platform/Win32.h"

// Each thread has its own last error, as on Windows.
static thread_local DWORD t_lastError = 0;

DWORD GetLastError(void) { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

#endif
