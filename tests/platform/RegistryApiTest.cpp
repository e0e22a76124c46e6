// The Win32 registry functions of the stand-in: handles, values, keys, codes.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/Win32.h"
#include "RegistryHelpers.h"
#include "ScopedPrefix.h"

using namespace zentra_test_local;

namespace {

class RegistryApi : public ::testing::Test {
protected:
    LONG Create(const char* path, Key& key, DWORD* disposition = nullptr, REGSAM access = KEY_ALL_ACCESS) {
        return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                               nullptr, key.Out(), disposition);
    }
    LONG Open(const char* path, Key& key, REGSAM access = KEY_ALL_ACCESS) {
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key.Out());
    }
    ScopedPrefix prefix;
};

}  // namespace

TEST_F(RegistryApi, OpenOfAMissingKeyFails) {
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("SOFTWARE\\Missing", key));
    EXPECT_EQ(nullptr, key.Get());
}

TEST_F(RegistryApi, CreateMakesTheKeyAndItsParentsAndReportsTheDisposition) {
    Key created;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, Create("SOFTWARE\\Norvane Systems, Inc.\\Vantor", created, &disposition));
    EXPECT_NE(nullptr, created.Get());
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);

    Key again;
    ASSERT_EQ(ERROR_SUCCESS, Create("software\\norvane systems, inc.\\VANTOR", again, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);

    Key parent;
    EXPECT_EQ(ERROR_SUCCESS, Open("SOFTWARE\\Norvane Systems, Inc.", parent));
}

TEST_F(RegistryApi, CreateAndOpenBelowAnOpenKey) {
    Key base;
    ASSERT_EQ(ERROR_SUCCESS, Create("SOFTWARE", base));
    Key child;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(base.Get(), "Child\\Grandchild", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, child.Out(), nullptr));
    Key viaBase;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base.Get(), "child\\grandchild", 0, KEY_READ, viaBase.Out()));
    Key direct;
    EXPECT_EQ(ERROR_SUCCESS, Open("SOFTWARE\\Child\\Grandchild", direct));
}

TEST_F(RegistryApi, BadPathsAndArguments) {
    Key key;
    EXPECT_EQ(ERROR_BAD_PATHNAME, Open("\\SOFTWARE", key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, Create("SOFTWARE\\\\x", key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Create(std::string(256, 'k').c_str(), key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Create("line\nbreak", key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "x", 0, KEY_READ, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0,
                                                       KEY_ALL_ACCESS, nullptr, key.Out(), nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "x", 0, KEY_READ, key.Out()));
    EXPECT_FALSE(Exists(prefix / "system.reg"));
}

TEST_F(RegistryApi, CloseFreesHandlesAndRefusesOthers) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));  // already closed
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(HKEY_LOCAL_MACHINE));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryApi, QueryValueFollowsWin32) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "Text", "hello"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword("A", "Number", 7));
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", key, KEY_READ));

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.Get(), "Text", nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(6u, size);  // with its NUL

    BYTE small[4] = {'#', '#', '#', '#'};
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key.Get(), "text", nullptr, &type, small, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(std::vector<BYTE>(4, '#'), std::vector<BYTE>(small, small + 4));

    char text[16];
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.Get(), "TEXT", nullptr, &type, reinterpret_cast<BYTE*>(text),
                                              &size));
    EXPECT_EQ(6u, size);
    EXPECT_STREQ("hello", text);

    DWORD number = 0;
    size = sizeof number;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.Get(), "Number", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(7u, number);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key.Get(), "Missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExA(key.Get(), "Text", nullptr, &type, reinterpret_cast<BYTE*>(text), nullptr));
}

TEST_F(RegistryApi, SetValueReplacesTypeAndData) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "text"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword("A", "V", 3));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, GetValue("A", "v", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>({3, 0, 0, 0}), data);
}

TEST_F(RegistryApi, AccessRightsOfTheHandleAreEnforced) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "text"));
    Key readOnly;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", readOnly, KEY_QUERY_VALUE));
    const BYTE data[] = {'x', 0};
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly.Get(), "v", 0, REG_SZ, data, 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly.Get(), "v"));
    Key writeOnly;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", writeOnly, KEY_SET_VALUE));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writeOnly.Get(), "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(writeOnly.Get(), "v", 0, REG_SZ, data, 2));
    EXPECT_EQ("x", GetString("A", "v"));
}

TEST_F(RegistryApi, QueryInfoKeyCountsDirectSubkeysAndValues) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A\\Short", "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A\\Much Longer Name\\Deeper Still", "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "Name", "twelve chars"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword("A", "N", 1));
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", key, KEY_READ));
    DWORD subKeys = 0, maxSubKeyLen = 0, maxClassLen = 9, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    char keyClass[8] = "junk";
    DWORD keyClassSize = sizeof keyClass;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key.Get(), keyClass, &keyClassSize, nullptr, &subKeys,
                                              &maxSubKeyLen, &maxClassLen, &values, &maxValueNameLen,
                                              &maxValueLen, nullptr, nullptr));
    EXPECT_EQ(2u, subKeys);
    EXPECT_EQ(16u, maxSubKeyLen);  // "Much Longer Name"
    EXPECT_EQ(0u, maxClassLen);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(4u, maxValueNameLen);
    EXPECT_EQ(13u, maxValueLen);
    EXPECT_EQ(0u, keyClassSize);
    EXPECT_STREQ("", keyClass);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryApi, EnumKeyListsSubkeysInNameOrder) {
    for (const char* name : {"A\\gamma", "A\\Beta", "A\\alpha", "A\\Beta\\Inner"})
        ASSERT_EQ(ERROR_SUCCESS, SetString(name, "v", "1"));
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", key, KEY_READ));
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        const LONG result = RegEnumKeyExA(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, result);
        EXPECT_EQ(std::strlen(name), size);
        names.push_back(name);
        ASSERT_LT(index, 10u);
    }
    EXPECT_EQ(std::vector<std::string>({"alpha", "Beta", "gamma"}), names);

    char tiny[5] = "####";
    DWORD size = sizeof tiny;  // "gamma" needs 6 with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key.Get(), 2, tiny, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("####", tiny);
    size = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key.Get(), 2, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, size);
}

TEST_F(RegistryApi, DeleteValue) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "w", "2"));
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Open("A", key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key.Get(), "missing"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key.Get(), "V"));
    EXPECT_EQ("<error 2>", GetString("A", "v"));
    EXPECT_EQ("2", GetString("A", "w"));
}

TEST_F(RegistryApi, DeleteKeyOnlyDeletesLeaves) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A\\B\\C", "v", "1"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\Missing"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\B"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "a\\b\\c"));
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("A\\B\\C", key));
    EXPECT_EQ(ERROR_SUCCESS, Open("A\\B", key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""));
}

TEST_F(RegistryApi, AHandleOfADeletedKeyReportsIt) {
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create("A\\B", key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\B"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key.Get(), "v", nullptr, nullptr, nullptr, &size));
    const BYTE data[] = {0};
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(key.Get(), "v", 0, REG_SZ, data, 1));
    Key below;
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExA(key.Get(), "C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 below.Out(), nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("A\\B", below));  // not brought back
}

TEST_F(RegistryApi, RootsWithoutAFileAnswerNotFound) {
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_USERS, ".DEFAULT", 0, KEY_READ, key.Out()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegCreateKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                    nullptr, key.Out(), nullptr));
}

TEST_F(RegistryApi, RewritingTheSameValueLeavesTheFileAlone) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "same"));
    struct stat before;
    ASSERT_EQ(0, ::stat((prefix / "system.reg").c_str(), &before));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "same"));
    struct stat after;
    ASSERT_EQ(0, ::stat((prefix / "system.reg").c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino);  // not replaced
}
