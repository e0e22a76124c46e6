#pragma once

// A dial-plan file's bytes, read whole.

#include <string>

namespace dialplan {

enum class FileRead { Done, CannotOpen, CannotRead };

// Reads the file by its Windows path, in binary mode, into text (replaced).
// When it cannot be opened or read through, error is errno's value.
FileRead ReadFileText(const std::string& windowsPath, std::string& text, int& error);

}  // namespace dialplan
