// Leaks inside the PostgreSQL ODBC driver that LeakSanitizer would report at
// the end of this program. psqlODBC (13.02) loses 336 bytes whenever the
// execution of a prepared statement fails on the server; the bare ODBC API
// shows the same (SQLPrepare, SQLBindParameter, a failing SQLExecute,
// SQLFreeHandle). Allocations made by this project's code are never
// suppressed: their stacks run through our own frames, not the driver's alone.
// The sanitizer runtime looks the function up by name, so it must be visible
// outside the program although symbols are hidden by default here.
#if defined(__GNUC__)
#define ZENTRA_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))
#else
#define ZENTRA_SANITIZER_HOOK extern "C"
#endif

ZENTRA_SANITIZER_HOOK const char* __lsan_default_suppressions();
ZENTRA_SANITIZER_HOOK const char* __lsan_default_suppressions() { return "leak:psqlodbca.so\n"; }
