// CRegistry's values: strings, DWORDs, subkeys and deletion.

#include <gtest/gtest.h>

#include <cstring>

#include "../platform/RegistryHelpers.h"
#include "../platform/ScopedPrefix.h"
#include "registry/CRegistry.h"

using namespace zentra_test_local;

namespace {

const char* const kVantor = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";

class CRegistryValues : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, registry.OpenSubkey(kVantor)); }
    ScopedPrefix prefix;
    CRegistry registry{HKEY_LOCAL_MACHINE};
};

}  // namespace

TEST_F(CRegistryValues, StringRoundTrip) {
    ASSERT_EQ(0, registry.SetString("SERVER=DBHOST;DATABASE=CfgDb", "DBConnection0"));
    char buffer[256] = {};
    ASSERT_EQ(0, registry.GetString(buffer, "DBConnection0"));
    EXPECT_STREQ("SERVER=DBHOST;DATABASE=CfgDb", buffer);
    EXPECT_EQ("SERVER=DBHOST;DATABASE=CfgDb", GetString(kVantor, "DBConnection0"));
}

TEST_F(CRegistryValues, SetStringWithoutTextWritesNothing) {
    EXPECT_EQ(0, registry.SetString(nullptr, "v"));
    EXPECT_EQ("<error 2>", GetString(kVantor, "v"));
}

TEST_F(CRegistryValues, GetStringOfADwordIsMinusOneAndLeavesTheBuffer) {
    ASSERT_EQ(ERROR_SUCCESS, SetDword(kVantor, "DBConnection0", 5));
    char buffer[256] = "untouched";
    EXPECT_EQ(-1, registry.GetString(buffer, "DBConnection0"));
    EXPECT_STREQ("untouched", buffer);
}

TEST_F(CRegistryValues, GetStringOfAMissingValueIsTwo) {
    char buffer[256] = "untouched";
    EXPECT_EQ(2, registry.GetString(buffer, "DBConnection0"));
    EXPECT_STREQ("untouched", buffer);
}

TEST_F(CRegistryValues, GetStringFitsExactly256BytesWithTheNul) {
    const std::string longest(255, 's');
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "v", longest));
    char buffer[256];
    ASSERT_EQ(0, registry.GetString(buffer, "v"));
    EXPECT_EQ(longest, std::string(buffer));
}

TEST_F(CRegistryValues, GetStringOfAValueThatDoesNotFitLeavesTheBuffer) {
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "v", std::string(256, 's')));
    // Guard bytes on both sides catch a write past the 256 bytes.
    char area[256 + 32];
    std::memset(area, 'g', sizeof area);
    char* buffer = area + 16;
    EXPECT_EQ(ERROR_MORE_DATA, registry.GetString(buffer, "v"));
    for (const char c : area) ASSERT_EQ('g', c);
}

TEST_F(CRegistryValues, GetStringTerminatesAValueStoredWithoutItsNul) {
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "bare", REG_SZ, Bytes("abc")));
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(0, registry.GetString(buffer, "bare"));
    EXPECT_STREQ("abc", buffer);

    char area[256 + 32];
    std::memset(area, 'g', sizeof area);
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "full", REG_SZ, Bytes(std::string(256, 'f'))));
    EXPECT_EQ(ERROR_MORE_DATA, registry.GetString(area + 16, "full"));
    for (const char c : area) ASSERT_EQ('g', c);
}

TEST_F(CRegistryValues, DwordRoundTripAndTypeMismatch) {
    ASSERT_EQ(0, registry.SetDWORD(0xA1B2C3D4u, "Number"));
    DWORD value = 0;
    ASSERT_EQ(0, registry.GetDWORD(&value, "Number"));
    EXPECT_EQ(0xA1B2C3D4u, value);
    EXPECT_NE(std::string::npos, ReadBytes(prefix / "system.reg").find("\"Number\"=dword:a1b2c3d4\n"));

    ASSERT_EQ(0, registry.SetString("abc", "Text"));
    value = 42;
    EXPECT_EQ(-1, registry.GetDWORD(&value, "Text"));
    EXPECT_EQ(42u, value);
    EXPECT_EQ(2, registry.GetDWORD(&value, "Missing"));
    EXPECT_EQ(42u, value);
}

TEST_F(CRegistryValues, SubkeyCountAndEnumeration) {
    ASSERT_EQ(ERROR_SUCCESS, SetString((std::string(kVantor) + "\\Zeta").c_str(), "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString((std::string(kVantor) + "\\alpha\\inner").c_str(), "v", "1"));
    DWORD count = 0;
    ASSERT_EQ(0, registry.GetSubkeyCount(&count));
    EXPECT_EQ(2u, count);
    char name[256] = {};
    ASSERT_EQ(0, registry.EnumSubkey(0, name));
    EXPECT_STREQ("alpha", name);
    ASSERT_EQ(0, registry.EnumSubkey(1, name));
    EXPECT_STREQ("Zeta", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, registry.EnumSubkey(2, name));
}

TEST_F(CRegistryValues, DeleteValueOfTheOpenSubkey) {
    ASSERT_EQ(0, registry.SetString("x", "v"));
    EXPECT_EQ(0, registry.DeleteValue("v"));
    EXPECT_EQ(2, registry.DeleteValue("v"));
    EXPECT_EQ("<error 2>", GetString(kVantor, "v"));
}

TEST_F(CRegistryValues, DeleteSubkeyValueWithoutOpeningIt) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("Elsewhere", "v", "x"));
    CRegistry other(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, other.DeleteSubkeyValue("v", "Elsewhere"));
    EXPECT_EQ(0, other.IsSubOpen());
    EXPECT_EQ("<error 2>", GetString("Elsewhere", "v"));
    EXPECT_EQ(2, other.DeleteSubkeyValue("v", "Elsewhere"));
    EXPECT_EQ(2, other.DeleteSubkeyValue("v", "NoSuchKey"));
}

TEST_F(CRegistryValues, DeleteSubkeyBelowTheRoot) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("Parent\\Leaf", "v", "x"));
    CRegistry other(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(5, other.DeleteSubkey("Parent"));  // it has a subkey
    EXPECT_EQ(0, other.DeleteSubkey("Parent\\Leaf"));
    EXPECT_EQ(0, other.SubkeyExists("Parent\\Leaf"));
    EXPECT_EQ(2, other.DeleteSubkey("Parent\\Leaf"));
}
