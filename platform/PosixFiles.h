#pragma once

// File helpers of the stand-in, shared by the file functions and the registry.

#if !defined(_WIN32)

#  include <string>

#  include "platform/Win32.h"

namespace platform::detail {

// The folder part of a host path ("." when it has none).
std::string FolderOf(const std::string& hostPath);

// The temporary files of a copy onto target are this path and six letters or
// digits: ".NAME.XXXXXX" in the target's folder.
std::string TempPrefix(const std::string& target);

// Creates hostFolder and every missing folder above it; 0 or a Windows code.
DWORD CreateFolders(const std::string& hostFolder);

// Renames from onto to unless to exists; 0 or an errno value (EEXIST when it does).
int RenameNoReplace(const std::string& from, const std::string& to);

// A new file beside target holding a copy of source (content, permission bits,
// modification time). On success tempPath names it and the result is 0; else a
// Windows code, and nothing is left behind.
DWORD CopyToTempBeside(const std::string& source, const std::string& target, std::string& tempPath);

// Writes text to a new file beside target and renames it onto target, so that
// readers see either the old or the new content; 0 or a Windows code.
DWORD ReplaceFileAtomically(const std::string& target, const std::string& text);

}  // namespace platform::detail

#endif
