// CRegistry's open subkey: opening, creating, closing, and the codes of misuse.

#include <gtest/gtest.h>

#include <cstring>

#include "../platform/RegistryHelpers.h"
#include "../platform/ScopedPrefix.h"
#include "TraceRecorder.h"
#include "registry/CRegistry.h"

using namespace zentra_test_local;

namespace {

const char* const kVantor = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";

class CRegistryState : public ::testing::Test {
protected:
    ScopedPrefix prefix;
};

// A registry file that cannot be read, so that every open fails.
void BreakRegistry(const ScopedPrefix& prefix) { WriteBytes(prefix / "system.reg", "not a registry\n"); }

}  // namespace

TEST_F(CRegistryState, OpenSubkeyCreatesAMissingKeyAndLeavesItOpen) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, registry.IsSubOpen());
    ASSERT_EQ(0, registry.OpenSubkey(kVantor));
    EXPECT_EQ(1, registry.IsSubOpen());
    Key key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVantor, 0, KEY_READ, key.Out()));
    EXPECT_EQ(0, registry.SetString("written", "v"));
    EXPECT_EQ("written", GetString(kVantor, "v"));
}

TEST_F(CRegistryState, OpenSubkeyTwiceIsRefusedAndKeepsTheFirst) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("First", "v", "first"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("Second", "v", "second"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("First"));
    EXPECT_EQ(1011, registry.OpenSubkey("Second"));
    EXPECT_EQ(1, registry.IsSubOpen());
    char buffer[256] = {};
    EXPECT_EQ(0, registry.GetString(buffer, "v"));
    EXPECT_STREQ("first", buffer);
}

TEST_F(CRegistryState, CreateSubkeyWhileOpenIsRefused) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("First"));
    EXPECT_EQ(1010, registry.CreateSubkey("Other"));
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Other", 0, KEY_READ, key.Out()));
    EXPECT_EQ(1, registry.IsSubOpen());
}

TEST_F(CRegistryState, CloseSubkeyReturnsToClosed) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, registry.CloseSubkey());  // nothing open: still success
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    EXPECT_EQ(0, registry.CloseSubkey());
    EXPECT_EQ(0, registry.IsSubOpen());
    char buffer[256] = "untouched";
    EXPECT_EQ(1011, registry.GetString(buffer, "v"));
    ASSERT_EQ(0, registry.OpenSubkey("B"));  // a new subkey may be opened
}

TEST_F(CRegistryState, ValueOperationsNeedAnOpenSubkey) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    char buffer[256] = "untouched";
    DWORD number = 77;
    EXPECT_EQ(1011, registry.GetString(buffer, "v"));
    EXPECT_EQ(1011, registry.SetString("x", "v"));
    EXPECT_EQ(1011, registry.GetDWORD(&number, "v"));
    EXPECT_EQ(1011, registry.SetDWORD(1, "v"));
    EXPECT_EQ(1011, registry.GetSubkeyCount(&number));
    EXPECT_EQ(1011, registry.EnumSubkey(0, buffer));
    EXPECT_EQ(1011, registry.DeleteValue("v"));
    EXPECT_STREQ("untouched", buffer);
    EXPECT_EQ(77u, number);
    EXPECT_FALSE(Exists(prefix / "system.reg"));
}

TEST_F(CRegistryState, FailedOpenLeavesTheObjectClosed) {
    BreakRegistry(prefix);
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ERROR_BADDB, registry.OpenSubkey(kVantor));
    EXPECT_EQ(0, registry.IsSubOpen());
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(1011, registry.GetString(buffer, "DBConnection0"));
    for (const char c : buffer) ASSERT_EQ('x', c);
}

TEST_F(CRegistryState, DestructorClosesAnOpenSubkey) {
    TraceRecorder trace;
    {
        CRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_EQ(0, registry.OpenSubkey("A"));
        trace.Take();
    }
    EXPECT_EQ(std::vector<std::string>({"-->   CRegistry::CloseSubkey\r\n", "<--   CRegistry::CloseSubkey\r\n"}),
              trace.Take());
    {
        CRegistry registry(HKEY_LOCAL_MACHINE);
        delete new CRegistry(HKEY_LOCAL_MACHINE);  // through the virtual destructor
    }
    EXPECT_TRUE(trace.Take().empty());  // nothing was open, nothing is closed
}

TEST_F(CRegistryState, DeletingThroughABasePointerClosesTheSubkey) {
    TraceRecorder trace;
    CRegistry* registry = new CRegistry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry->OpenSubkey("A"));
    trace.Take();
    delete registry;
    EXPECT_EQ(2u, trace.Take().size());
}

TEST_F(CRegistryState, SubkeyExistsLeavesTheOpenSubkeyAlone) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("Other", "v", "other"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("Mine"));
    ASSERT_EQ(0, registry.SetString("mine", "v"));
    EXPECT_EQ(1, registry.SubkeyExists("Other"));
    EXPECT_EQ(1, registry.SubkeyExists("OTHER"));
    EXPECT_EQ(0, registry.SubkeyExists("Missing"));
    EXPECT_EQ(0, registry.SubkeyExists("Missing"));  // asking does not create it
    EXPECT_EQ(1, registry.IsSubOpen());
    char buffer[256] = {};
    EXPECT_EQ(0, registry.GetString(buffer, "v"));
    EXPECT_STREQ("mine", buffer);
}

TEST_F(CRegistryState, PathsThatDoNotFitAreRefusedBeforeTouchingTheRegistry) {
    const std::string tooLong(256, 'k');
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.OpenSubkey(tooLong.c_str()));
    EXPECT_EQ(0, registry.IsSubOpen());
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.CreateSubkey(tooLong.c_str()));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.DeleteSubkey(tooLong.c_str()));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.DeleteSubkeyValue("v", tooLong.c_str()));
    EXPECT_EQ(0, registry.SubkeyExists(tooLong.c_str()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, registry.OpenSubkey(nullptr));
    EXPECT_FALSE(Exists(prefix / "system.reg"));

    // 255 characters fit.
    std::string longest;
    while (longest.size() < 255) longest += longest.empty() ? "k" : "\\k";
    longest.resize(255, 'k');
    ASSERT_EQ(255u, longest.size());
    EXPECT_EQ(0, registry.OpenSubkey(longest.c_str()));
}
