// Windows paths, the prefix folder, and the driver configuration of the stand-in.

#include <gtest/gtest.h>

#include "PlatformTestHelpers.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

using namespace zentra_test_local;

TEST(PathMapping, WindowsPathsMapBelowThePrefix)
{
    ScopedPrefix prefix;
    struct Case {
        const char* windows;
        const char* host;
        bool belowPrefix;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Norvane\\x.txt", "drive_c/Program Files/Norvane/x.txt", true},
        {"D:\\data", "drive_d/data", true},
        {"e:\\data", "drive_e/data", true},
        {"C:\\", "drive_c", true},
        {"C:\\a\\b\\", "drive_c/a/b/", true},
        {"\\Windows\\x", "drive_c/Windows/x", true},
        {"\\\\server\\share\\f.txt", "unc/server/share/f.txt", true},
        {"Foo.csv", "Foo.csv", false},
        {"sub\\dir\\Foo.csv", "sub/dir/Foo.csv", false},
        {"..\\up.txt", "../up.txt", false},
        {"/tmp/some/host/path", "/tmp/some/host/path", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(c.belowPrefix ? prefix / c.host : std::string(c.host), platform::HostPath(c.windows));
    }
}

TEST(PathMapping, PrefixComesFromTheEnvironmentOrHome)
{
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv prefix("ZENTRA_PREFIX", "/opt/zentra-prefix/");
        EXPECT_EQ("/opt/zentra-prefix", platform::PrefixFolder());
    }
    ScopedEnv prefix("ZENTRA_PREFIX", nullptr);
    EXPECT_EQ("/home/someone/.zentra", platform::PrefixFolder());
    EXPECT_EQ("/home/someone/.zentra/drive_c/x", platform::HostPath("C:\\x"));
}

TEST(OpenFile, OpensByWindowsPathAndSetsTheWindowsCodeOnFailure)
{
    ScopedPrefix prefix;
    WriteFile(prefix / "drive_c/Zentra/in.txt", "hello");
    FILE* file = platform::OpenFile("C:\\Zentra\\in.txt", "rt");  // the run-time's text mode
    ASSERT_NE(nullptr, file);
    char text[16];
    EXPECT_EQ("hello", std::string(text, std::fread(text, 1, sizeof text, file)));
    std::fclose(file);

    file = platform::OpenFile("C:\\Zentra\\out.txt", "w");
    ASSERT_NE(nullptr, file);
    std::fputs("written", file);
    std::fclose(file);
    EXPECT_EQ("written", ReadFile(prefix / "drive_c/Zentra/out.txt"));

    SetLastError(0);
    EXPECT_EQ(nullptr, platform::OpenFile("C:\\Zentra\\missing.txt", "r"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, platform::OpenFile("C:\\NoFolder\\missing.txt", "w"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(DriverConfiguration, PointsAtThePrefixOnlyWhenItHoldsOdbcinstAndNothingIsSet)
{
    ScopedPrefix prefix;
    ScopedEnv odbc("ODBCSYSINI", nullptr);
    platform::UseDriverConfiguration();
    EXPECT_EQ(nullptr, std::getenv("ODBCSYSINI"));  // no odbcinst.ini

    WriteFile(prefix / "odbcinst.ini", "[SQL Server]\n");
    ::setenv("ODBCSYSINI", "/etc/elsewhere", 1);
    platform::UseDriverConfiguration();
    EXPECT_STREQ("/etc/elsewhere", std::getenv("ODBCSYSINI"));

    ::unsetenv("ODBCSYSINI");
    platform::UseDriverConfiguration();
    ASSERT_NE(nullptr, std::getenv("ODBCSYSINI"));
    EXPECT_EQ(prefix.Path(), std::getenv("ODBCSYSINI"));
}
