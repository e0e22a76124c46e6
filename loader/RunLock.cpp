#include "loader/RunLock.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

namespace quillet {

namespace {

// One key for every run, whichever program or library makes it ("ZENTRA").
constexpr long long kAdvisoryKey = 0x5A454E545241LL;
constexpr long long kDefaultSeconds = 30;

}  // namespace

std::chrono::milliseconds RunLockTimeout()
{
    long long seconds = kDefaultSeconds;
    if (const char* text = std::getenv("ZENTRA_LOCK_TIMEOUT")) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno == 0 && end != text && *end == '\0' && value >= 0 && value <= 24 * 3600)
            seconds = value;
    }
    return std::chrono::milliseconds(seconds * 1000);
}

odbc::RunLock ConfigurationDatabaseLock(std::function<void()> waiting)
{
    odbc::RunLock lock;
    lock.key = kAdvisoryKey;
    lock.name = "Zentra";
    lock.timeout = RunLockTimeout();
    lock.waiting = std::move(waiting);
    return lock;
}

std::string WaitingNotice()
{
    return "Waiting for another run of Zentra or another session to release the configuration database "
           "(at most " +
           std::to_string(RunLockTimeout().count() / 1000) + " s; ZENTRA_LOCK_TIMEOUT sets the limit)";
}

}  // namespace quillet
