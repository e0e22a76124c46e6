#include "installer/run/RunReport.h"

namespace zentra_run {

namespace {

std::string Named(const std::string& kind, const std::string& name, const std::string& pkid)
{
    return kind + " " + (name.empty() ? std::string("(no name)") : name) + " (" + pkid + ")";
}

}  // namespace

std::string BlockingRow::text() const
{
    return Named(used, usedName, usedPkid) + " is used by " + Named(user, userName, userPkid);
}

}  // namespace zentra_run
