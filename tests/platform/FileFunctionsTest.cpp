// CopyFileA, MoveFileA, MoveFileExA, DeleteFileA, MakeSureDirectoryPathExists
// and the last-error code, by Windows path.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

#include "PlatformTestHelpers.h"
#include "platform/Win32.h"

using namespace zentra_test_local;

namespace {

class FileFunctions : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(prefix / "drive_c/src/Foo", "dial plan");
        WriteFile(prefix / "drive_c/dst/Existing", "older and longer text");
        std::filesystem::create_directories(prefix / "drive_c/dst/Folder");
    }
    ScopedPrefix prefix;
};

struct Failure {
    BOOL (*call)();
    long code;
};

}  // namespace

TEST_F(FileFunctions, FailuresSetTheWindowsCodeAndChangeNothing)
{
    const Failure failures[] = {
        {[] { return CopyFileA("C:\\src\\Missing", "C:\\dst\\Foo", FALSE); }, ERROR_FILE_NOT_FOUND},
        {[] { return CopyFileA("C:\\nofolder\\Foo", "C:\\dst\\Foo", FALSE); }, ERROR_PATH_NOT_FOUND},
        {[] { return CopyFileA("C:\\src\\Foo", "C:\\nofolder\\Foo", FALSE); }, ERROR_PATH_NOT_FOUND},
        {[] { return CopyFileA("C:\\src", "C:\\dst\\Foo", FALSE); }, ERROR_ACCESS_DENIED},
        {[] { return CopyFileA("C:\\src\\Foo", "C:\\dst\\Folder", FALSE); }, ERROR_ACCESS_DENIED},
        {[] { return CopyFileA(nullptr, "C:\\dst\\Foo", FALSE); }, ERROR_INVALID_PARAMETER},
        {[] { return CopyFileA("C:\\src\\Foo", "C:\\src\\Foo", FALSE); }, ERROR_SHARING_VIOLATION},
        {[] { return CopyFileA("C:\\src\\Foo", "C:\\dst\\Existing", TRUE); }, ERROR_FILE_EXISTS},
        {[] { return MoveFileA("C:\\src\\Missing", "C:\\dst\\Foo"); }, ERROR_FILE_NOT_FOUND},
        {[] { return MoveFileA("C:\\nofolder\\Foo", "C:\\dst\\Foo"); }, ERROR_PATH_NOT_FOUND},
        {[] { return MoveFileA("C:\\src\\Foo", "C:\\nofolder\\Foo"); }, ERROR_PATH_NOT_FOUND},
        {[] { return MoveFileA("C:\\src\\Foo", "C:\\dst\\Existing"); }, ERROR_ALREADY_EXISTS},
        {[] { return MoveFileExA("C:\\src\\Foo", "C:\\dst\\Existing", 0); }, ERROR_ALREADY_EXISTS},
        {[] { return MoveFileExA("C:\\src\\Foo", "C:\\dst\\Folder", MOVEFILE_REPLACE_EXISTING); }, ERROR_ACCESS_DENIED},
        {[] { return DeleteFileA("C:\\src\\Missing"); }, ERROR_FILE_NOT_FOUND},
        {[] { return DeleteFileA("C:\\nofolder\\Foo"); }, ERROR_PATH_NOT_FOUND},
        {[] { return DeleteFileA("C:\\src"); }, ERROR_ACCESS_DENIED},
        {[] { return MakeSureDirectoryPathExists(nullptr); }, ERROR_INVALID_PARAMETER},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(testing::Message() << "row " << &failure - failures);
        SetLastError(0);
        EXPECT_FALSE(failure.call());
        EXPECT_EQ(static_cast<DWORD>(failure.code), GetLastError());
    }
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/src/Foo"));
    EXPECT_EQ("older and longer text", ReadFile(prefix / "drive_c/dst/Existing"));
    EXPECT_EQ(std::vector<std::string>({"Existing", "Folder"}), Entries(prefix / "drive_c/dst"));
}

TEST_F(FileFunctions, CopyMoveAndDelete)
{
    ::chmod((prefix / "drive_c/src/Foo").c_str(), 0751);
    ASSERT_TRUE(CopyFileA("C:\\src\\Foo", "C:\\dst\\New", TRUE));  // failIfExists, new target
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/dst/New"));
    struct stat st;
    ASSERT_EQ(0, ::stat((prefix / "drive_c/dst/New").c_str(), &st));
    EXPECT_EQ(0751u, st.st_mode & 0777);
    ASSERT_TRUE(CopyFileA("C:\\src\\Foo", "C:\\dst\\Existing", FALSE));  // overwrites, shorter
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/dst/Existing"));
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/src/Foo"));
    EXPECT_EQ(std::vector<std::string>({"Existing", "Folder", "New"}), Entries(prefix / "drive_c/dst"));

    ASSERT_TRUE(MoveFileA("C:\\src\\Foo", "C:\\dst\\Bar"));
    EXPECT_FALSE(FileExists(prefix / "drive_c/src/Foo"));
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/dst/Bar"));

    WriteFile(prefix / "drive_c/dst/New", "new");
    ASSERT_TRUE(MoveFileExA("C:\\dst\\New", "C:\\dst\\Bar", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ("new", ReadFile(prefix / "drive_c/dst/Bar"));

    ASSERT_TRUE(DeleteFileA("C:\\dst\\Bar"));
    EXPECT_EQ(std::vector<std::string>({"Existing", "Folder"}), Entries(prefix / "drive_c/dst"));
}

// /dev/shm is a separate file system on most Linux hosts; elsewhere the case is skipped.
TEST_F(FileFunctions, MoveAcrossFileSystemsCopiesAndDeletes)
{
    struct stat shm, here;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(prefix.Path().c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable file system";
    std::string away = "/dev/shm/zentra-test-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(away.data()));
    const std::string source = prefix / "drive_c/src/Foo";

    EXPECT_FALSE(MoveFileExA(source.c_str(), (away + "/Foo").c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SAME_DEVICE), GetLastError());
    EXPECT_TRUE(FileExists(source));

    EXPECT_TRUE(MoveFileA(source.c_str(), (away + "/Foo").c_str()));
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ("dial plan", ReadFile(away + "/Foo"));
    EXPECT_EQ(std::vector<std::string>{"Foo"}, Entries(away));
    std::filesystem::remove_all(away);
}

TEST_F(FileFunctions, MakeSureDirectoryPathExistsStopsAtTheLastBackslash)
{
    ASSERT_TRUE(MakeSureDirectoryPathExists("C:\\Program Files\\Norvane\\Foo\\Foo_uninstall.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(prefix / "drive_c/Program Files/Norvane/Foo"));
    EXPECT_FALSE(FileExists(prefix / "drive_c/Program Files/Norvane/Foo/Foo_uninstall.txt"));
    ASSERT_TRUE(MakeSureDirectoryPathExists("C:\\a\\b\\"));
    EXPECT_TRUE(std::filesystem::is_directory(prefix / "drive_c/a/b"));
    EXPECT_TRUE(MakeSureDirectoryPathExists("C:\\a\\b\\"));  // already there

    SetLastError(0);
    EXPECT_FALSE(MakeSureDirectoryPathExists("C:\\src\\Foo\\sub\\x.txt"));  // a file in the way
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ("dial plan", ReadFile(prefix / "drive_c/src/Foo"));
}

TEST(LastError, IsKeptPerThread)
{
    SetLastError(ERROR_FILE_EXISTS);
    DWORD seenByOther = 1234;
    std::thread([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_EQ(0u, seenByOther);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
}
