#include "runlock/LockNotGranted.h"

#include "runlock/WaitLimit.h"

namespace zentra_lock {

bool IsLockRefusal(const odbc::SQLException& error)
{
    if (dynamic_cast<const LockNotGranted*>(&error) != nullptr)
        return true;
    const std::string& message = error.getMessage();
    return error.getSQLState() == "55P03" || error.getNativeCode() == 1222 ||
           message.find("database is locked") != std::string::npos ||
           message.find("database table is locked") != std::string::npos;
}

void NotGranted(std::chrono::milliseconds limit, const std::string& detail)
{
    throw LockNotGranted("The configuration database is held by another run or another session: its lock was not "
                         "granted within " +
                         Seconds(limit) + (detail.empty() ? "" : " (" + detail + ")") +
                         ". Try again once the other run has ended.");
}

void Rethrow(const odbc::SQLException& error)
{
    // Called in a catch block: the error itself goes on unchanged.
    if (dynamic_cast<const LockNotGranted*>(&error) != nullptr || !IsLockRefusal(error))
        throw;
    // The database waited as long as the run allows and gave up.
    TellWaiting(WaitFor::Database);
    NotGranted(WaitLimit(), error.getMessage());
}

}  // namespace zentra_lock
