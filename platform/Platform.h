#pragma once

// What the system needs of its host beyond the Win32 calls of Win32.h.
//
// Conventions of the POSIX stand-in, relied on by users and tools:
// - The prefix folder is $ZENTRA_PREFIX, by default $HOME/.zentra.
// - An absolute Windows path "C:\a\b" is the host path $ZENTRA_PREFIX/drive_c/a/b
//   (other drive letters likewise, in lower case); backslashes become slashes;
//   relative paths stay relative to the current folder.
// - HKEY_LOCAL_MACHINE lives in $ZENTRA_PREFIX/system.reg, a registry export file
//   (written single-byte with "\n" line ends; read also REGEDIT4, CRLF, UTF-16LE
//   with a byte-order mark). A string value holding a line break, which a quoted
//   string cannot carry, is written as hex(1): bytes. Changes take a lock on
//   system.reg.lock and replace the file atomically. A malformed file gives
//   ERROR_BADDB and is never overwritten.
// - A message box writes its caption and text to standard error and returns IDOK
//   at once, unless a sink is installed. The text on standard error is exactly
//       "[MessageBox] " caption "\n" text "\n" "\n"
//   that is a line "[MessageBox] <caption>", the text as given (its line breaks
//   kept), then an empty line. A null caption is "Error", a null text empty.
// - Paths: "\\server\share\x" is $ZENTRA_PREFIX/unc/server/share/x; a path
//   rooted without a drive ("\a\b") is on drive C; a path that begins with a
//   forward slash is taken as a host path and left as it is.
// - HKEY_CURRENT_USER lives in $ZENTRA_PREFIX/user.reg; HKEY_CLASSES_ROOT and
//   HKEY_USERS are not provided (their calls answer ERROR_FILE_NOT_FOUND).
// Under _WIN32 paths are used as they are and message boxes are real.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The prefix folder of the stand-in (empty under _WIN32).
std::string PrefixFolder();

// The host path of a Windows path (identity under _WIN32).
std::string HostPath(const std::string& windowsPath);

// fopen by Windows path, with the standard modes.
FILE* OpenFile(const std::string& windowsPath, const char* mode);

// Receives every message box instead of standard error while installed.
using MessageBoxSink = std::function<void(const std::string& caption, const std::string& text)>;

// Installs a sink (an empty function restores the default); returns the previous one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

// Shows a message box with no owner window (MessageBoxA under _WIN32, the
// stand-in elsewhere); an installed sink receives it instead on every platform,
// and the result is then IDOK.
int ShowMessageBox(const char* text, const char* caption, unsigned int type);

// An exclusive lock on a file, by its Windows path, held until the object goes:
// runs of the programs on one machine hold it from their first change to their
// last, so that the files they deploy or delete agree with the database. The
// file is created when missing and left in place.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Result { Held, Busy, NoFile };

    // Takes the lock, waiting at most timeout while another process holds it;
    // waiting is called once when it has to wait. Busy when the lock was not
    // had in time, NoFile when the file cannot be opened or created.
    Result acquire(const std::string& windowsPath, std::chrono::milliseconds timeout,
                   const std::function<void()>& waiting);

private:
#if defined(_WIN32)
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

// Whether a Windows path names a folder that exists.
bool IsFolder(const std::string& windowsPath);
// Whether there is a file at windowsPath that this process can read.
bool IsReadableFile(const std::string& windowsPath);

// Removes what an interrupted copy or move onto the file left beside it: the
// stand-in writes every copy through a hidden temporary file in the target's
// folder (".NAME.XXXXXX") and renames it, so that a kill in the middle leaves
// the target whole but the temporary file behind. The caller makes sure that
// no copy onto the target is under way (the machine's run lock). How many it
// removed; nothing is left behind on Windows, whose CopyFileA needs no such file.
int RemoveStaleCopies(const std::string& windowsTarget);

// Starts the Windows sockets layer for the life of the object; gethostname
// answers only in a process that has started it. Under _WIN32 this is
// WSAStartup (version 2.2) and, when that succeeded, WSACleanup; elsewhere
// there is nothing to start. A program makes one at the top of its main.
class SocketsLayer {
public:
#if defined(_WIN32)
    SocketsLayer();
    ~SocketsLayer();
#else
    SocketsLayer() : started_(true) {}
    ~SocketsLayer() = default;
#endif
    SocketsLayer(const SocketsLayer&) = delete;
    SocketsLayer& operator=(const SocketsLayer&) = delete;

    // False when WSAStartup failed; gethostname then fails as well.
    bool started() const { return started_; }

private:
    bool started_;
};

// The names of the entries of a folder (files and folders, "." and ".." left
// out), in no particular order; empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& windowsFolder);

// Deletes a folder with everything below it; false when something stays.
bool RemoveFolderTree(const std::string& windowsFolder);

// The SHA-256 digest of bytes, as 64 lower-case hexadecimal digits (BCrypt
// under _WIN32, OpenSSL's libcrypto elsewhere).
std::string Sha256Hex(const std::string& bytes);

// This machine's host name, as gethostname gives it; "" when it cannot.
std::string HostName();

// Sets a variable of this process's environment, as getenv sees it.
void SetProcessEnvironment(const std::string& name, const std::string& value);

// Points unixODBC at the driver configuration of the prefix folder: unless
// ODBCSYSINI is set, and $ZENTRA_PREFIX/odbcinst.ini exists, ODBCSYSINI becomes
// the prefix folder. Does nothing under _WIN32.
void UseDriverConfiguration();

}  // namespace platform
