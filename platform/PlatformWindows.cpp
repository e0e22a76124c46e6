#if defined(_WIN32)

// On Windows the host is the real one: paths are used as they are, files open
// with the run-time's fopen and message boxes are shown.

#  include <cstdio>

#  include "platform/MessageBoxSink.h"
#  include "platform/Platform.h"
#  include "platform/Win32.h"

namespace platform {

std::string PrefixFolder() { return std::string(); }

std::string HostPath(const std::string& windowsPath) { return windowsPath; }

FILE* OpenFile(const std::string& windowsPath, const char* mode) { return std::fopen(windowsPath.c_str(), mode); }

int ShowMessageBox(const char* text, const char* caption, unsigned int type)
{
    if (detail::DeliverToSink(caption, text))
        return IDOK;
    return ::MessageBoxA(nullptr, text, caption, type);
}

void UseDriverConfiguration() {}

SocketsLayer::SocketsLayer()
{
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketsLayer::~SocketsLayer()
{
    if (started_)
        ::WSACleanup();
}

}  // namespace platform

#endif
