#if !defined(_WIN32)

#  include <cstdlib>
#  include <sys/stat.h>

#  include "platform/Platform.h"

namespace platform {

void UseDriverConfiguration()
{
    if (std::getenv("ODBCSYSINI") != nullptr)
        return;  // the user's choice wins
    const std::string prefix = PrefixFolder();
    struct stat st;
    if (::stat((prefix + "/odbcinst.ini").c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    ::setenv("ODBCSYSINI", prefix.c_str(), 1);
}

}  // namespace platform

#endif
