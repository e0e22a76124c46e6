// CopyFileA, MoveFileA, MoveFileExA, DeleteFileA, MakeSureDirectoryPathExists
// and the last-error code, by Windows path.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

#include "platform/Win32.h"
#include "ScopedPrefix.h"

using namespace zentra_test_local;

namespace {

DWORD Code(long code) { return static_cast<DWORD>(code); }

mode_t ModeOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 0777;
}

class FileFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(prefix / "drive_c/src/Foo", "dial plan");
        std::filesystem::create_directories(prefix / "drive_c/dst");
        SetLastError(0);
    }
    ScopedPrefix prefix;
};

}  // namespace

TEST_F(FileFunctions, CopyCreatesTheTargetWithContentAndPermissions) {
    ::chmod((prefix / "drive_c/src/Foo").c_str(), 0751);
    ASSERT_TRUE(CopyFileA("C:\\src\\Foo", "C:\\dst\\Foo", FALSE));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/dst/Foo"));
    EXPECT_EQ(0751u, ModeOf(prefix / "drive_c/dst/Foo"));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));
    EXPECT_EQ(std::vector<std::string>{"Foo"}, Entries(prefix / "drive_c/dst"));  // no temporary left
}

TEST_F(FileFunctions, CopyOverwritesUnlessAskedNotTo) {
    WriteBytes(prefix / "drive_c/dst/Foo", "old and longer content");
    ASSERT_TRUE(CopyFileA("C:\\src\\Foo", "C:\\dst\\Foo", FALSE));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/dst/Foo"));

    WriteBytes(prefix / "drive_c/dst/Foo", "kept");
    EXPECT_FALSE(CopyFileA("C:\\src\\Foo", "C:\\dst\\Foo", TRUE));
    EXPECT_EQ(Code(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ("kept", ReadBytes(prefix / "drive_c/dst/Foo"));
    EXPECT_EQ(std::vector<std::string>{"Foo"}, Entries(prefix / "drive_c/dst"));
}

TEST_F(FileFunctions, CopyWithFailIfExistsWorksOnANewTarget) {
    ASSERT_TRUE(CopyFileA("C:\\src\\Foo", "C:\\dst\\New", TRUE));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/dst/New"));
}

TEST_F(FileFunctions, CopyErrorCodes) {
    EXPECT_FALSE(CopyFileA("C:\\src\\Missing", "C:\\dst\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(CopyFileA("C:\\nofolder\\Foo", "C:\\dst\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(CopyFileA("C:\\src\\Foo", "C:\\nofolder\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(CopyFileA("C:\\src", "C:\\dst\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(CopyFileA("C:\\src\\Foo", "C:\\dst", FALSE));
    EXPECT_EQ(Code(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(CopyFileA(nullptr, "C:\\dst\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(Entries(prefix / "drive_c/dst").empty());
}

TEST_F(FileFunctions, CopyOntoItselfFailsAndKeepsTheFile) {
    EXPECT_FALSE(CopyFileA("C:\\src\\Foo", "C:\\src\\Foo", FALSE));
    EXPECT_EQ(Code(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));
}

TEST_F(FileFunctions, MoveAcrossFolders) {
    ASSERT_TRUE(MoveFileA("C:\\src\\Foo", "C:\\dst\\Bar"));
    EXPECT_FALSE(Exists(prefix / "drive_c/src/Foo"));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/dst/Bar"));
}

TEST_F(FileFunctions, MoveRefusesAnExistingTarget) {
    WriteBytes(prefix / "drive_c/dst/Foo", "other");
    EXPECT_FALSE(MoveFileA("C:\\src\\Foo", "C:\\dst\\Foo"));
    EXPECT_EQ(Code(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("other", ReadBytes(prefix / "drive_c/dst/Foo"));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));

    EXPECT_FALSE(MoveFileExA("C:\\src\\Foo", "C:\\dst\\Foo", 0));
    EXPECT_EQ(Code(ERROR_ALREADY_EXISTS), GetLastError());
}

TEST_F(FileFunctions, MoveExReplacesWhenAsked) {
    WriteBytes(prefix / "drive_c/dst/Foo", "other");
    ASSERT_TRUE(MoveFileExA("C:\\src\\Foo", "C:\\dst\\Foo", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/dst/Foo"));
    EXPECT_FALSE(Exists(prefix / "drive_c/src/Foo"));
}

TEST_F(FileFunctions, MoveExDoesNotReplaceAFolder) {
    std::filesystem::create_directories(prefix / "drive_c/dst/Foo");
    EXPECT_FALSE(MoveFileExA("C:\\src\\Foo", "C:\\dst\\Foo", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Code(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));
}

TEST_F(FileFunctions, MoveErrorCodes) {
    EXPECT_FALSE(MoveFileA("C:\\src\\Missing", "C:\\dst\\Foo"));
    EXPECT_EQ(Code(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(MoveFileA("C:\\nofolder\\Foo", "C:\\dst\\Foo"));
    EXPECT_EQ(Code(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(MoveFileA("C:\\src\\Foo", "C:\\nofolder\\Foo"));
    EXPECT_EQ(Code(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));
}

// /dev/shm is a separate file system on most Linux hosts; elsewhere the case is skipped.
TEST_F(FileFunctions, MoveAcrossFileSystemsCopiesAndDeletes) {
    struct stat shm, here;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(prefix.Path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable file system";
    const std::string away = MakeTempFolderIn("/dev/shm");
    const std::string source = prefix / "drive_c/src/Foo";

    EXPECT_FALSE(MoveFileExA(source.c_str(), (away + "/Foo").c_str(), 0));
    EXPECT_EQ(Code(ERROR_NOT_SAME_DEVICE), GetLastError());
    EXPECT_TRUE(Exists(source));

    EXPECT_TRUE(MoveFileA(source.c_str(), (away + "/Foo").c_str()));
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ("dial plan", ReadBytes(away + "/Foo"));
    EXPECT_EQ(std::vector<std::string>{"Foo"}, Entries(away));
    std::filesystem::remove_all(away);
}

TEST_F(FileFunctions, DeleteRemovesAFile) {
    ASSERT_TRUE(DeleteFileA("C:\\src\\Foo"));
    EXPECT_FALSE(Exists(prefix / "drive_c/src/Foo"));
}

TEST_F(FileFunctions, DeleteErrorCodes) {
    EXPECT_FALSE(DeleteFileA("C:\\src\\Missing"));
    EXPECT_EQ(Code(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(DeleteFileA("C:\\nofolder\\Foo"));
    EXPECT_EQ(Code(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(DeleteFileA("C:\\src"));
    EXPECT_EQ(Code(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(Exists(prefix / "drive_c/src/Foo"));
}

TEST_F(FileFunctions, MakeSureDirectoryPathExistsStopsAtTheLastBackslash) {
    ASSERT_TRUE(MakeSureDirectoryPathExists("C:\\Program Files\\Norvane\\Foo\\Foo_uninstall.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(prefix / "drive_c/Program Files/Norvane/Foo"));
    EXPECT_FALSE(Exists(prefix / "drive_c/Program Files/Norvane/Foo/Foo_uninstall.txt"));

    ASSERT_TRUE(MakeSureDirectoryPathExists("C:\\a\\b\\"));
    EXPECT_TRUE(std::filesystem::is_directory(prefix / "drive_c/a/b"));
    EXPECT_TRUE(MakeSureDirectoryPathExists("C:\\a\\b\\"));  // already there
}

TEST_F(FileFunctions, MakeSureDirectoryPathExistsFailsOnAFileInTheWay) {
    EXPECT_FALSE(MakeSureDirectoryPathExists("C:\\src\\Foo\\sub\\x.txt"));
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ("dial plan", ReadBytes(prefix / "drive_c/src/Foo"));
    EXPECT_FALSE(MakeSureDirectoryPathExists(nullptr));
    EXPECT_EQ(Code(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_FILE_EXISTS);
    DWORD seenByOther = 1234;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(0u, seenByOther);
    EXPECT_EQ(Code(ERROR_FILE_EXISTS), GetLastError());
}
