// Windows paths and the prefix folder of the stand-in.

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/Win32.h"
#include "ScopedPrefix.h"

using namespace zentra_test_local;

TEST(PathMapping, DriveLetterMapsBelowThePrefixInLowerCase) {
    ScopedPrefix prefix;
    EXPECT_EQ(prefix / "drive_c/Program Files/Norvane/x.txt",
              platform::HostPath("C:\\Program Files\\Norvane\\x.txt"));
    EXPECT_EQ(prefix / "drive_d/data", platform::HostPath("D:\\data"));
    EXPECT_EQ(prefix / "drive_e/data", platform::HostPath("e:\\data"));
    EXPECT_EQ(prefix / "drive_c", platform::HostPath("C:\\"));
}

TEST(PathMapping, TrailingBackslashStaysAsSlash) {
    ScopedPrefix prefix;
    EXPECT_EQ(prefix / "drive_c/a/b/", platform::HostPath("C:\\a\\b\\"));
}

TEST(PathMapping, RelativePathsStayRelative) {
    ScopedPrefix prefix;
    EXPECT_EQ("Foo.csv", platform::HostPath("Foo.csv"));
    EXPECT_EQ("sub/dir/Foo.csv", platform::HostPath("sub\\dir\\Foo.csv"));
    EXPECT_EQ("../up.txt", platform::HostPath("..\\up.txt"));
}

TEST(PathMapping, RootedUncAndHostPaths) {
    ScopedPrefix prefix;
    EXPECT_EQ(prefix / "drive_c/Windows/x", platform::HostPath("\\Windows\\x"));
    EXPECT_EQ(prefix / "unc/server/share/f.txt", platform::HostPath("\\\\server\\share\\f.txt"));
    EXPECT_EQ("/tmp/some/host/path", platform::HostPath("/tmp/some/host/path"));
}

TEST(PathMapping, PrefixComesFromTheEnvironment) {
    ScopedEnv prefix("ZENTRA_PREFIX", "/opt/zentra-prefix/");
    EXPECT_EQ("/opt/zentra-prefix", platform::PrefixFolder());
}

TEST(PathMapping, PrefixDefaultsToDotZentraInHome) {
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv prefix("ZENTRA_PREFIX", nullptr);
    EXPECT_EQ("/home/someone/.zentra", platform::PrefixFolder());
    EXPECT_EQ("/home/someone/.zentra/drive_c/x", platform::HostPath("C:\\x"));
}

TEST(OpenFile, OpensByWindowsPath) {
    ScopedPrefix prefix;
    WriteBytes(prefix / "drive_c/Zentra/in.txt", "hello");
    FILE* file = platform::OpenFile("C:\\Zentra\\in.txt", "rt");  // the run-time's text mode
    ASSERT_NE(nullptr, file);
    char text[16] = {};
    EXPECT_EQ(5u, std::fread(text, 1, sizeof text, file));
    std::fclose(file);
    EXPECT_STREQ("hello", text);

    file = platform::OpenFile("C:\\Zentra\\out.txt", "w");
    ASSERT_NE(nullptr, file);
    std::fputs("written", file);
    std::fclose(file);
    EXPECT_EQ("written", ReadBytes(prefix / "drive_c/Zentra/out.txt"));
}

TEST(OpenFile, FailureSetsTheWindowsCode) {
    ScopedPrefix prefix;
    WriteBytes(prefix / "drive_c/Zentra/in.txt", "x");
    SetLastError(0);
    EXPECT_EQ(nullptr, platform::OpenFile("C:\\Zentra\\missing.txt", "r"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, platform::OpenFile("C:\\NoFolder\\missing.txt", "w"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(DriverConfiguration, PointsAtThePrefixWhenItHoldsOdbcinst) {
    ScopedPrefix prefix;
    ScopedEnv odbc("ODBCSYSINI", nullptr);
    WriteBytes(prefix / "odbcinst.ini", "[SQL Server]\n");
    platform::UseDriverConfiguration();
    ASSERT_NE(nullptr, std::getenv("ODBCSYSINI"));
    EXPECT_EQ(prefix.Path(), std::getenv("ODBCSYSINI"));
}

TEST(DriverConfiguration, LeavesTheEnvironmentWithoutOdbcinst) {
    ScopedPrefix prefix;
    ScopedEnv odbc("ODBCSYSINI", nullptr);
    platform::UseDriverConfiguration();
    EXPECT_EQ(nullptr, std::getenv("ODBCSYSINI"));
}

TEST(DriverConfiguration, KeepsAnOdbcsysiniAlreadySet) {
    ScopedPrefix prefix;
    ScopedEnv odbc("ODBCSYSINI", "/etc/elsewhere");
    WriteBytes(prefix / "odbcinst.ini", "[SQL Server]\n");
    platform::UseDriverConfiguration();
    EXPECT_STREQ("/etc/elsewhere", std::getenv("ODBCSYSINI"));
}
