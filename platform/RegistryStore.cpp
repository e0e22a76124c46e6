#if !defined(_WIN32)

#  include "platform/RegistryStore.h"

#  include <cerrno>
#  include <fcntl.h>
#  include <sys/file.h>
#  include <sys/stat.h>
#  include <unistd.h>

#  include "platform/Platform.h"
#  include "platform/PosixErrors.h"
#  include "platform/PosixFiles.h"

namespace platform::registry {

namespace {

const Root kLocalMachine = {"HKEY_LOCAL_MACHINE", "system.reg"};
const Root kCurrentUser = {"HKEY_CURRENT_USER", "user.reg"};

std::string FilePath(const Root& root) { return PrefixFolder() + "/" + root.fileName; }

LONG ReadFile(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : static_cast<LONG>(detail::ErrorFromErrno(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ERROR_BADDB;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const LONG error = static_cast<LONG>(detail::ErrorFromErrno(errno));
            ::close(fd);
            return error;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return ERROR_SUCCESS;
}

// An exclusive lock on a file beside the root's file, released when destroyed.
class FileLock {
public:
    explicit FileLock(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_error = static_cast<LONG>(detail::PathError(errno, path));
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno == EINTR)
                continue;
            m_error = static_cast<LONG>(detail::ErrorFromErrno(errno));
            return;
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    LONG Error() const { return m_error; }

private:
    int m_fd = -1;
    LONG m_error = ERROR_SUCCESS;
};

}  // namespace

const Root* RootOf(HKEY predefined)
{
    if (predefined == HKEY_LOCAL_MACHINE)
        return &kLocalMachine;
    if (predefined == HKEY_CURRENT_USER)
        return &kCurrentUser;
    return nullptr;
}

LONG LoadHive(const Root& root, Hive& hive)
{
    std::string bytes;
    const LONG read = ReadFile(FilePath(root), bytes);
    if (read == ERROR_FILE_NOT_FOUND) {
        hive = Hive();
        return ERROR_SUCCESS;
    }
    if (read != ERROR_SUCCESS)
        return read;
    return ParseRegistryText(bytes, root.name, hive);
}

LONG ChangeHive(const Root& root, const Change& change)
{
    const DWORD made = detail::CreateFolders(PrefixFolder());
    if (made != ERROR_SUCCESS)
        return static_cast<LONG>(made);
    const std::string path = FilePath(root);
    FileLock lock(path + ".lock");
    if (lock.Error() != ERROR_SUCCESS)
        return lock.Error();

    Hive hive;
    LONG result = LoadHive(root, hive);
    if (result != ERROR_SUCCESS)
        return result;
    bool changed = false;
    result = change(hive, changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    return static_cast<LONG>(detail::ReplaceFileAtomically(path, FormatRegistryText(hive, root.name)));
}

}  // namespace platform::registry

#endif
