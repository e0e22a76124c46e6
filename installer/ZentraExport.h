#pragma once

// Symbols of the ZentraSetup library are hidden by default; only what carries
// ZENTRA_API is exported.
#if defined(_WIN32)
#  if defined(ZENTRA_SETUP_BUILDING)
#    define ZENTRA_API __declspec(dllexport)
#  else
#    define ZENTRA_API __declspec(dllimport)
#  endif
#else
#  define ZENTRA_API __attribute__((visibility("default")))
#endif
