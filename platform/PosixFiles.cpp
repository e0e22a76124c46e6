#if !defined(_WIN32)

#  include "platform/PosixFiles.h"

#  include <cerrno>
#  include <cstdio>
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#  include <vector>

#  include "platform/PosixErrors.h"

namespace platform::detail {

namespace {

std::string NameOf(const std::string& hostPath)
{
    const std::string::size_type slash = hostPath.rfind('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

// Opens a fresh hidden file beside target; -1 with errno on failure. Its name
// is TempPrefix(target) and six characters of mkostemp's.
int OpenTempBeside(const std::string& target, std::string& tempPath)
{
    std::string pattern = TempPrefix(target) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        tempPath = name.data();
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Copies everything from in to out; 0 or an errno value.
int CopyContent(int in, int out)
{
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (!WriteAll(out, buffer.data(), static_cast<size_t>(got)))
            return errno;
    }
}

}  // namespace

std::string TempPrefix(const std::string& target) { return FolderOf(target) + "/." + NameOf(target) + "."; }

std::string FolderOf(const std::string& hostPath)
{
    const std::string::size_type slash = hostPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return hostPath.substr(0, slash);
}

DWORD CreateFolders(const std::string& hostFolder)
{
    if (hostFolder.empty())
        return ERROR_SUCCESS;
    std::string::size_type pos = 0;
    for (;;) {
        pos = hostFolder.find('/', pos + 1);
        const std::string folder = hostFolder.substr(0, pos);
        if (!folder.empty() && folder != "/" && ::mkdir(folder.c_str(), 0777) != 0) {
            const int err = errno;
            struct stat st;
            if (err != EEXIST)
                return PathError(err, folder);
            if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return ERROR_ALREADY_EXISTS;  // a file stands where a folder belongs
        }
        if (pos == std::string::npos)
            return ERROR_SUCCESS;
    }
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
#  if defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP)
        return err;
#  endif
    // The file system cannot refuse by itself: look first, then rename.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

DWORD CopyToTempBeside(const std::string& source, const std::string& target, std::string& tempPath)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return PathError(errno, source);
    struct stat st;
    if (::fstat(in, &st) != 0) {
        const DWORD error = ErrorFromErrno(errno);
        ::close(in);
        return error;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(in);
        return ERROR_ACCESS_DENIED;
    }
    const int out = OpenTempBeside(target, tempPath);
    if (out < 0) {
        const DWORD error = PathError(errno, target);
        ::close(in);
        return error;
    }
    int err = CopyContent(in, out);
    if (err == 0 && ::fchmod(out, st.st_mode & 0777) != 0)
        err = errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (err == 0 && ::futimens(out, times) != 0)
        err = errno;
    if (::close(out) != 0 && err == 0)
        err = errno;
    ::close(in);
    if (err != 0) {
        ::unlink(tempPath.c_str());
        tempPath.clear();
        return ErrorFromErrno(err);
    }
    return ERROR_SUCCESS;
}

DWORD ReplaceFileAtomically(const std::string& target, const std::string& text)
{
    std::string tempPath;
    const int fd = OpenTempBeside(target, tempPath);
    if (fd < 0)
        return PathError(errno, target);
    int err = 0;
    struct stat st;
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0644;
    if (!WriteAll(fd, text.data(), text.size()))
        err = errno;
    if (err == 0 && ::fchmod(fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(tempPath.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tempPath.c_str());
        return ErrorFromErrno(err);
    }
    return ERROR_SUCCESS;
}

}  // namespace platform::detail

#endif
