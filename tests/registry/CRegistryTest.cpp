// CRegistry: its open subkey, its values, the codes of misuse, and its trace texts.

#include <gtest/gtest.h>

#include <cstring>

#include "../platform/PlatformTestHelpers.h"
#include "registry/CRegistry.h"

using namespace zentra_test_local;

namespace {

using Lines = std::vector<std::string>;

const char* const kVantor = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";

Lines g_trace;  // what the trace sink received

class CRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_trace.clear();
        previousSink = registry_trace::SetSink([](const char* text) { g_trace.push_back(text); });
    }
    void TearDown() override { registry_trace::SetSink(previousSink); }
    // The trace texts since the last call.
    Lines Trace() { return std::exchange(g_trace, Lines()); }

    ScopedPrefix prefix;
    registry_trace::Sink previousSink = nullptr;
};

}  // namespace

TEST_F(CRegistryTest, OpenSubkeyCreatesAMissingKeyAndHoldsItUntilClosed)
{
    ASSERT_EQ(ERROR_SUCCESS, SetString("Other", "v", "other"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, registry.IsSubOpen());
    ASSERT_EQ(0, registry.OpenSubkey(kVantor));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "Subkey did NOT already exist so attempting CreateSubkey\r\n",
                     "-->   CRegistry::CreateSubkey\r\n", "<--   CRegistry::CreateSubkey\r\n",
                     "<--   CRegistry::OpenSubkey\r\n"}),
              Trace());
    EXPECT_EQ(1, registry.IsSubOpen());
    ASSERT_EQ(0, registry.SetString("mine", "v"));
    EXPECT_EQ("mine", GetString(kVantor, "v"));

    // While it is open, OpenSubkey and CreateSubkey are refused and it stays open.
    EXPECT_EQ(1011, registry.OpenSubkey("Other"));
    EXPECT_EQ(1010, registry.CreateSubkey("New"));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "<--   ERROR CRegistry::OpenSubkey\r\n",
                     "-->   CRegistry::CreateSubkey\r\n", "ERROR     if ((!m_IsSubOpen) && (m_hSubKey == 0))\r\n",
                     "<--   CRegistry::CreateSubkey\r\n"}),
              Trace());
    EXPECT_EQ(0, registry.SubkeyExists("New"));  // not created
    // SubkeyExists looks without creating, and leaves the open subkey alone.
    EXPECT_EQ(1, registry.SubkeyExists("OTHER"));
    EXPECT_EQ(0, registry.SubkeyExists("Missing"));
    EXPECT_EQ(0, registry.SubkeyExists("Missing"));
    EXPECT_EQ(1, registry.IsSubOpen());
    char buffer[256] = {};
    EXPECT_EQ(0, registry.GetString(buffer, "v"));
    EXPECT_STREQ("mine", buffer);

    EXPECT_EQ(0, registry.CloseSubkey());
    EXPECT_EQ(0, registry.IsSubOpen());
    EXPECT_EQ(1011, registry.GetString(buffer, "v"));
    EXPECT_EQ(0, registry.CloseSubkey());  // nothing open: still success
    EXPECT_EQ(Lines({"-->   CRegistry::CloseSubkey\r\n", "<--   CRegistry::CloseSubkey\r\n",
                     "-->   CRegistry::CloseSubkey\r\n", "<--   CRegistry::CloseSubkey\r\n"}),
              Trace());
    ASSERT_EQ(0, registry.OpenSubkey("Other"));  // an existing key, once the first is closed
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "<--   CRegistry::OpenSubkey\r\n"}), Trace());
    EXPECT_EQ(0, registry.GetString(buffer, "v"));
    EXPECT_STREQ("other", buffer);
}

TEST_F(CRegistryTest, TheDestructorClosesAnOpenSubkey)
{
    {
        CRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_EQ(0, registry.OpenSubkey("A"));
        Trace();
    }
    EXPECT_EQ(Lines({"-->   CRegistry::CloseSubkey\r\n", "<--   CRegistry::CloseSubkey\r\n"}), Trace());
    {
        CRegistry idle(HKEY_LOCAL_MACHINE);
    }
    EXPECT_TRUE(Trace().empty());  // nothing was open, nothing is closed
}

TEST_F(CRegistryTest, MisuseIsRefusedBeforeTouchingTheRegistry)
{
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
    EXPECT_TRUE(Trace().empty());

    const std::string tooLong(256, 'k');
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.OpenSubkey(tooLong.c_str()));
    EXPECT_EQ(0, registry.IsSubOpen());
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.CreateSubkey(tooLong.c_str()));
    EXPECT_EQ(
        Lines({"-->   CRegistry::OpenSubkey\r\n", "ERROR in RegOpenKeyEx\r\n", "<--   ERROR CRegistry::OpenSubkey\r\n",
               "-->   CRegistry::CreateSubkey\r\n", "<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n"}),
        Trace());
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.DeleteSubkey(tooLong.c_str()));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.DeleteSubkeyValue("v", tooLong.c_str()));
    EXPECT_EQ(0, registry.SubkeyExists(tooLong.c_str()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, registry.OpenSubkey(nullptr));
    EXPECT_FALSE(FileExists(prefix / "system.reg"));
    EXPECT_EQ(0, registry.OpenSubkey(std::string(255, 'k').c_str()));  // 255 characters fit
}

TEST_F(CRegistryTest, AFailedOpenLeavesNothingOpen)
{
    WriteFile(prefix / "system.reg", "not a registry\n");
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ERROR_BADDB, registry.OpenSubkey(kVantor));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "Subkey did NOT already exist so attempting CreateSubkey\r\n",
                     "-->   CRegistry::CreateSubkey\r\n", "<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n",
                     "ERROR in RegOpenKeyEx\r\n", "<--   ERROR CRegistry::OpenSubkey\r\n"}),
              Trace());
    EXPECT_EQ(0, registry.IsSubOpen());
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(1011, registry.GetString(buffer, "DBConnection0"));
    EXPECT_EQ(std::string(sizeof buffer, 'x'), std::string(buffer, sizeof buffer));
}

TEST_F(CRegistryTest, GetStringFillsTheBufferOnlyWithAWholeTerminatedText)
{
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey(kVantor));
    ASSERT_EQ(0, registry.SetString("SERVER=DBHOST;DATABASE=CfgDb", "DBConnection0"));
    EXPECT_EQ("SERVER=DBHOST;DATABASE=CfgDb", GetString(kVantor, "DBConnection0"));
    EXPECT_EQ(0, registry.SetString(nullptr, "None"));
    EXPECT_EQ("<error 2>", GetString(kVantor, "None"));  // nothing written
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Number", REG_DWORD, {5, 0, 0, 0}));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Longest", std::string(255, 's')));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "TooLong", std::string(256, 's')));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Bare", REG_SZ, {'a', 'b', 'c'}));  // without its NUL
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "TooLongBare", REG_SZ, std::vector<BYTE>(256, 'f')));

    struct Case {
        const char* name;
        long code;
        std::string text;
    };
    const Case cases[] = {
        {"DBConnection0", 0, "SERVER=DBHOST;DATABASE=CfgDb"},
        {"Longest", 0, std::string(255, 's')},
        {"Bare", 0, "abc"},
        {"Number", -1, ""},
        {"Missing", 2, ""},
        {"TooLong", ERROR_MORE_DATA, ""},
        {"TooLongBare", ERROR_MORE_DATA, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Guard bytes on both sides of the 256 bytes catch a write outside them.
        char area[16 + 256 + 16];
        std::memset(area, 'g', sizeof area);
        EXPECT_EQ(c.code, registry.GetString(area + 16, c.name));
        std::string expected = std::string(16, 'g') + (c.code == 0 ? c.text + '\0' : std::string());
        expected.resize(sizeof area, 'g');
        EXPECT_EQ(expected, std::string(area, sizeof area));
    }
}

TEST_F(CRegistryTest, DwordValuesAndTheirTrace)
{
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Text", "abc"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey(kVantor));
    Trace();
    ASSERT_EQ(0, registry.SetDWORD(0xA1B2C3D4u, "Number"));
    EXPECT_EQ(Typed(REG_DWORD, {0xD4, 0xC3, 0xB2, 0xA1}), Value(kVantor, "Number"));
    DWORD value = 0;
    ASSERT_EQ(0, registry.GetDWORD(&value, "Number"));
    EXPECT_EQ(0xA1B2C3D4u, value);
    value = 42;
    EXPECT_EQ(-1, registry.GetDWORD(&value, "Text"));
    EXPECT_EQ(2, registry.GetDWORD(&value, "Missing"));
    EXPECT_EQ(42u, value);
    ASSERT_EQ(0, registry.CloseSubkey());
    EXPECT_EQ(Lines({"-->  CRegistry::SetDWORD\r\n", "Subkey OPEN so attempting to set DWORD\r\n",
                     "<--  CRegistry::SetDWORD\r\n", "-->   CRegistry::GetDWORD\r\n", "<--   CRegistry::GetDWORD\r\n",
                     "-->   CRegistry::GetDWORD\r\n", "<--   CRegistry::GetDWORD\r\n", "-->   CRegistry::GetDWORD\r\n",
                     "<--   CRegistry::GetDWORD\r\n", "-->   CRegistry::CloseSubkey\r\n",
                     "<--   CRegistry::CloseSubkey\r\n"}),
              Trace());
}

TEST_F(CRegistryTest, SubkeysAndDeletion)
{
    for (const char* path : {"Parent\\Zeta", "Parent\\alpha\\inner"})
        ASSERT_EQ(ERROR_SUCCESS, SetString(path, "v", "x"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("Parent"));
    DWORD count = 0;
    ASSERT_EQ(0, registry.GetSubkeyCount(&count));
    EXPECT_EQ(2u, count);
    char name[256] = {};
    ASSERT_EQ(0, registry.EnumSubkey(0, name));
    EXPECT_STREQ("alpha", name);
    ASSERT_EQ(0, registry.EnumSubkey(1, name));
    EXPECT_STREQ("Zeta", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, registry.EnumSubkey(2, name));
    ASSERT_EQ(0, registry.SetString("x", "v"));
    EXPECT_EQ(0, registry.DeleteValue("v"));
    EXPECT_EQ(2, registry.DeleteValue("v"));
    EXPECT_EQ("<error 2>", GetString("Parent", "v"));

    // Below the root, without opening the subkey.
    CRegistry other(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, other.DeleteSubkeyValue("v", "Parent\\Zeta"));
    EXPECT_EQ(0, other.IsSubOpen());
    EXPECT_EQ("<error 2>", GetString("Parent\\Zeta", "v"));
    EXPECT_EQ(2, other.DeleteSubkeyValue("v", "Parent\\Zeta"));
    EXPECT_EQ(2, other.DeleteSubkeyValue("v", "NoSuchKey"));
    EXPECT_EQ(5, other.DeleteSubkey("Parent\\alpha"));  // it has a subkey
    EXPECT_EQ(0, other.DeleteSubkey("Parent\\alpha\\inner"));
    EXPECT_EQ(0, other.SubkeyExists("Parent\\alpha\\inner"));
    EXPECT_EQ(2, other.DeleteSubkey("Parent\\alpha\\inner"));
}
