#pragma once

// The ODBC C API as this layer uses it. Only the plain entry points are called
// (never the A/W variants), so the same code builds against unixODBC and the
// Windows driver manager. Every file that calls ODBC includes the headers
// through this one.
//
// SQL_NOUNICODEMAP keeps the plain names plain: without it a build with
// UNICODE defined would turn SQLDriverConnect and the others into their W
// variants, which take wide strings that this code does not pass.
#ifndef SQL_NOUNICODEMAP
#  define SQL_NOUNICODEMAP
#endif

#ifdef _WIN32
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
