// The library's load and unload notifications: nothing to do.
#if defined(_WIN32)
#  include <windows.h>

BOOL APIENTRY DllMain(HMODULE, DWORD, LPVOID) { return TRUE; }
#endif
