#include <cstdlib>

#include "platform/Platform.h"

namespace platform {

void SetProcessEnvironment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    // The run-time's own copy of the environment, which getenv reads.
    _putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

}  // namespace platform
