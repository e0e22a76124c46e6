#pragma once

#include <string>

namespace zentra_upgrade {

// What makes a dial-plan file unusable for an upgrade.
struct FileProblem {
    // True when the file cannot be used.
    bool refused = false;
    // 1-based line of the file the problem lies on; 0 when it concerns the file
    // as a whole (it cannot be opened).
    long line = 0;
    // What is wrong, as a sentence part for the user.
    std::string text;
};

// Checks a dial-plan file before an upgrade works from it. The upgrade deletes
// every installed tag and instruction that the file does not list, so a file
// that is missing, cut short or damaged must be refused before any query runs.
// The file must exist and hold: the DialPlan type row and row ahead of every
// section, the DialPlanTag, DigitDiscardInstruction and
// DigitDiscardInstructionMember sections (marker and type row), rows with all
// their fields, at least six instruction rows of which the first six are the
// predefined ones in their fixed order, and braces around every pkid that the
// upgrade strips (tag and instruction pkids, both keys of a member row).
FileProblem CheckUpgradeFile(const std::string& path);

// The text shown to the user for a refused file.
std::string FileRefusalMessage(const std::string& path, const FileProblem& problem);

}  // namespace zentra_upgrade
