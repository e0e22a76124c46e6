#include <chrono>
#include <thread>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <sys/file.h>
#  include <unistd.h>
#endif

#include "platform/Platform.h"

namespace platform {

namespace {

// How often a wait for the lock looks again.
constexpr std::chrono::milliseconds kPollInterval(50);

}  // namespace

#if defined(_WIN32)

FileLock::~FileLock()
{
    if (handle_ != nullptr) {
        OVERLAPPED whole = {};
        UnlockFileEx(static_cast<HANDLE>(handle_), 0, MAXDWORD, MAXDWORD, &whole);
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

FileLock::Result FileLock::acquire(const std::string& windowsPath, std::chrono::milliseconds timeout,
                                   const std::function<void()>& waiting)
{
    HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Result::NoFile;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool told = false;
    for (;;) {
        OVERLAPPED whole = {};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
            handle_ = file;
            return Result::Held;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(file);
            return Result::Busy;
        }
        if (!told && waiting) {
            waiting();
            told = true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

#else

FileLock::~FileLock()
{
    // Closing the descriptor releases its lock.
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

FileLock::Result FileLock::acquire(const std::string& windowsPath, std::chrono::milliseconds timeout,
                                   const std::function<void()>& waiting)
{
    // flock belongs to the open file, not to the process, so that no other
    // descriptor of this process on the file can release it.
    const int descriptor = ::open(HostPath(windowsPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return Result::NoFile;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool told = false;
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(descriptor);
            return Result::Busy;
        }
        if (!told && waiting) {
            waiting();
            told = true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    descriptor_ = descriptor;
    return Result::Held;
}

#endif

}  // namespace platform
