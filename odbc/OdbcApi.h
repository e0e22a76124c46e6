#pragma once

// The ODBC C API as this layer uses it. Only the plain entry points are called
// (never the A/W variants), so the same code builds against unixODBC and the
// Windows driver manager.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
