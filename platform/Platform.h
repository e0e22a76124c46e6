#pragma once

// What the system needs of its host beyond the Win32 calls of Win32.h.
//
// Conventions of the POSIX stand-in, relied on by users and tools:
// - The prefix folder is $ZENTRA_PREFIX, by default $HOME/.zentra.
// - An absolute Windows path "C:\a\b" is the host path $ZENTRA_PREFIX/drive_c/a/b
//   (other drive letters likewise, in lower case); backslashes become slashes;
//   relative paths stay relative to the current folder.
// - HKEY_LOCAL_MACHINE lives in $ZENTRA_PREFIX/system.reg, a registry export file.
// - A message box writes its caption and text to standard error and returns IDOK
//   at once, unless a sink is installed.
// Under _WIN32 paths are used as they are and message boxes are real.

#include <cstdio>
#include <functional>
#include <string>

namespace platform {

// The prefix folder of the stand-in (empty under _WIN32).
std::string PrefixFolder();

// The host path of a Windows path (identity under _WIN32).
std::string HostPath(const std::string& windowsPath);

// fopen by Windows path, with the standard modes.
FILE* OpenFile(const std::string& windowsPath, const char* mode);

// Receives every message box instead of standard error while installed.
using MessageBoxSink = std::function<void(const std::string& caption, const std::string& text)>;

// Installs a sink (an empty function restores the default); returns the previous one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

// Points unixODBC at the driver configuration of the prefix folder: unless
// ODBCSYSINI is set, and $ZENTRA_PREFIX/odbcinst.ini exists, ODBCSYSINI becomes
// the prefix folder. Does nothing under _WIN32.
void UseDriverConfiguration();

}  // namespace platform
