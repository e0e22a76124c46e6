#pragma once

// Symbols of the ZentraSetup library are hidden by default; only what carries
// ZENTRA_API is exported. Programs linked with the installer's objects
// themselves (ZENTRA_SETUP_STATIC) call the class as their own code.
#if defined(_WIN32)
#  if defined(ZENTRA_SETUP_BUILDING)
#    define ZENTRA_API __declspec(dllexport)
#  elif defined(ZENTRA_SETUP_STATIC)
#    define ZENTRA_API
#  else
#    define ZENTRA_API __declspec(dllimport)
#  endif
#else
#  define ZENTRA_API __attribute__((visibility("default")))
#endif
