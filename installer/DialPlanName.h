#pragma once

#include <string>

// The folders of a dial plan, as Windows paths.
constexpr const char* kZentraFolder = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
constexpr const char* kDialPlanFolder = "C:\\Program Files\\Norvane\\DialPlan\\";
// The file whose lock the programs of one machine hold from their first change
// to their last, database and deployed files together. It lies beside the
// dial plans' folders, where no dial plan's folder can take its name.
constexpr const char* kRunLockFile = "C:\\Program Files\\Norvane\\Orvilex\\Zentra.lock";

// The longest dial plan name: with it every path of a dial plan fits in 255 characters.
constexpr std::string::size_type kMaxDialPlanNameLength = 100;

// Why a dial plan name cannot be used, or "" when it can. A name is refused when
// it is empty, longer than 100 characters, "." or "..", ends in a blank or a
// dot, or holds a character that a Windows file name cannot hold.
std::string CheckDialPlanName(const std::string& name);
