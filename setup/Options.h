#pragma once

// The command line of zentra-setup.

#include <string>
#include <vector>

namespace setup {

enum class Mode { Install, Restore, Export, History, Status, ConnectOnly, Help, Version };

struct Options {
    Mode mode = Mode::Install;
    // --dry-run: everything made in a transaction that is rolled back.
    bool preview = false;
    // The dial plan's name; empty for --connect-only, and for --status of
    // every installed dial plan.
    std::string name;
    // What follows it: --restore's snapshot, --export's file; "" when none.
    std::string second;
    // One JSON document on standard output; the lines for a person go to
    // standard error.
    bool json = false;
};

// Reads the arguments (without the program's own name). False, with the
// problem for the user, when they cannot be used. --lock-timeout is applied
// here: the library reads it from the environment.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& problem);

extern const char* const kUsageText;

}  // namespace setup
