#if !defined(_WIN32)

// CopyFileA, MoveFileA, MoveFileExA and DeleteFileA over POSIX, by Windows path.

#  include <cerrno>
#  include <cstdio>
#  include <sys/stat.h>
#  include <unistd.h>

#  include "platform/Platform.h"
#  include "platform/PosixErrors.h"
#  include "platform/PosixFiles.h"
#  include "platform/Win32.h"

using platform::HostPath;
using platform::detail::CopyToTempBeside;
using platform::detail::ErrorFromErrno;
using platform::detail::PathError;
using platform::detail::RenameNoReplace;

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Null is a bad argument; an empty path names no folder, as on Windows.
bool CheckPaths(LPCSTR first, LPCSTR second, DWORD& error)
{
    if (first == nullptr || second == nullptr) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (*first == '\0' || *second == '\0') {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

// The code of a failed rename of source onto target.
DWORD RenameError(int err, const std::string& source, const std::string& target)
{
    if (err == ENOENT) {
        struct stat st;
        if (::lstat(source.c_str(), &st) != 0)
            return PathError(errno, source);
        return PathError(err, target);
    }
    if (err == ENOTEMPTY)
        return ERROR_ACCESS_DENIED;  // a folder stands at the target
    return ErrorFromErrno(err);
}

// Across file systems: copy beside the target, put it in place, remove the source.
DWORD MoveByCopy(const std::string& source, const std::string& target, bool replace)
{
    std::string temp;
    const DWORD copied = CopyToTempBeside(source, target, temp);
    if (copied != ERROR_SUCCESS)
        return copied;
    const int err = replace ? (::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno) : RenameNoReplace(temp, target);
    if (err != 0) {
        ::unlink(temp.c_str());
        return err == EEXIST ? ERROR_ALREADY_EXISTS : RenameError(err, source, target);
    }
    if (::unlink(source.c_str()) != 0)
        return PathError(errno, source);
    return ERROR_SUCCESS;
}

}  // namespace

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists)
{
    DWORD error = ERROR_SUCCESS;
    if (!CheckPaths(existingFile, newFile, error))
        return Fail(error);
    const std::string source = HostPath(existingFile);
    const std::string target = HostPath(newFile);

    struct stat sourceInfo;
    if (::stat(source.c_str(), &sourceInfo) != 0)
        return Fail(PathError(errno, source));
    if (S_ISDIR(sourceInfo.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    struct stat targetInfo;
    if (::stat(target.c_str(), &targetInfo) == 0) {
        if (S_ISDIR(targetInfo.st_mode))
            return Fail(ERROR_ACCESS_DENIED);
        if (failIfExists)
            return Fail(ERROR_FILE_EXISTS);
        // Windows refuses to copy a file onto itself: the source is open.
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return Fail(ERROR_SHARING_VIOLATION);
    }

    std::string temp;
    error = CopyToTempBeside(source, target, temp);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    const int err =
        failIfExists ? RenameNoReplace(temp, target) : (::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno);
    if (err != 0) {
        ::unlink(temp.c_str());
        return Fail(err == EEXIST ? ERROR_FILE_EXISTS : RenameError(err, source, target));
    }
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags)
{
    DWORD error = ERROR_SUCCESS;
    if (!CheckPaths(existingFile, newFile, error))
        return Fail(error);
    const std::string source = HostPath(existingFile);
    const std::string target = HostPath(newFile);
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;

    struct stat sourceInfo;
    if (::lstat(source.c_str(), &sourceInfo) != 0)
        return Fail(PathError(errno, source));
    struct stat targetInfo;
    if (replace && ::lstat(target.c_str(), &targetInfo) == 0 && S_ISDIR(targetInfo.st_mode))
        return Fail(ERROR_ACCESS_DENIED);  // only files are replaced

    const int err =
        replace ? (::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno) : RenameNoReplace(source, target);
    if (err == 0)
        return TRUE;
    if (err == EEXIST)
        return Fail(ERROR_ALREADY_EXISTS);
    if (err != EXDEV)
        return Fail(RenameError(err, source, target));
    if ((flags & MOVEFILE_COPY_ALLOWED) == 0 || S_ISDIR(sourceInfo.st_mode))
        return Fail(ERROR_NOT_SAME_DEVICE);
    error = MoveByCopy(source, target, replace);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL MoveFileA(LPCSTR existingFile, LPCSTR newFile)
{
    return MoveFileExA(existingFile, newFile, MOVEFILE_COPY_ALLOWED);
}

BOOL DeleteFileA(LPCSTR fileName)
{
    if (fileName == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (*fileName == '\0')
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::string path = HostPath(fileName);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return Fail(PathError(errno, path));
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(path.c_str()) != 0)
        return Fail(PathError(errno, path));
    return TRUE;
}

#endif
