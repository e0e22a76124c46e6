#if !defined(_WIN32)

#  include <cstdio>
#  include <mutex>
#  include <string>

#  include "platform/MessageBoxSink.h"
#  include "platform/Platform.h"
#  include "platform/Win32.h"

// No window system: the box goes to standard error (format in Platform.h) and
// is acknowledged at once, so that unattended runs never block.
int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT /*type*/)
{
    if (platform::detail::DeliverToSink(caption, text))
        return IDOK;

    std::string shown = "[MessageBox] ";
    shown += caption != nullptr ? caption : "Error";
    shown += '\n';
    shown += text != nullptr ? text : "";
    shown += "\n\n";

    // One write per box, so that boxes of several threads do not interleave.
    static std::mutex stderrMutex;
    std::lock_guard<std::mutex> lock(stderrMutex);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fflush(stderr);
    return IDOK;
}

namespace platform {

int ShowMessageBox(const char* text, const char* caption, unsigned int type)
{
    return ::MessageBoxA(nullptr, text, caption, type);
}

}  // namespace platform

#endif
