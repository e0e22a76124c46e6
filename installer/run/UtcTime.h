#pragma once

// The time now in UTC, as the journal and the snapshots write it.

#include <ctime>
#include <string>

namespace zentra_run {

// "2026-12-09T14:15:02Z" for kUtcTime, "20261209T141502Z" for kUtcStamp.
constexpr const char* kUtcTime = "%Y-%m-%dT%H:%M:%SZ";
constexpr const char* kUtcStamp = "%Y%m%dT%H%M%SZ";

inline std::string UtcNow(const char* format)
{
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof(text), format, std::gmtime(&now));
    return text;
}

}  // namespace zentra_run
