#include "runlock/WaitLimit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "runlock/MachineLock.h"

namespace zentra_lock {

namespace {

constexpr long long kDefaultSeconds = 30;
constexpr long long kLongestSeconds = 24 * 3600;

bool g_told[2] = {false, false};

}  // namespace

std::chrono::milliseconds WaitLimit()
{
    long long seconds = kDefaultSeconds;
    if (const char* text = std::getenv("ZENTRA_LOCK_TIMEOUT")) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno == 0 && end != text && *end == '\0' && value >= 0 && value <= kLongestSeconds)
            seconds = value;
    }
    return std::chrono::milliseconds(seconds * 1000);
}

std::string Seconds(std::chrono::milliseconds limit)
{
    const long long tenths = (limit.count() + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "." + std::to_string(tenths % 10);
    return text + " s";
}

std::string WaitingNotice(WaitFor what)
{
    const std::string bound =
        "at most " + std::to_string(WaitLimit().count() / 1000) + " s; ZENTRA_LOCK_TIMEOUT sets the limit";
    if (what == WaitFor::MachineLockFile)
        return std::string("Waiting for another run of Zentra on this machine to finish with the dial plans' files "
                           "(its lock file ") +
               kMachineLockFile + "; " + bound + ")";
    return "Waiting for another run of Zentra or another session to release the configuration database (" + bound + ")";
}

bool TellWaiting(WaitFor what)
{
    bool& told = g_told[what == WaitFor::Database ? 1 : 0];
    if (told)
        return false;
    told = true;
    std::fprintf(stderr, "%s\n", WaitingNotice(what).c_str());
    std::fflush(stderr);
    return true;
}

}  // namespace zentra_lock
