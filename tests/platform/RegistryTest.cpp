// The Win32 registry functions of the stand-in (handles, values, keys, codes),
// its registry file (the text written, the formats read, malformed files), and
// several processes sharing that file.

#include <gtest/gtest.h>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "PlatformTestHelpers.h"
#include "platform/Win32.h"

using namespace zentra_test_local;
using namespace std::string_literals;  // "..."s keeps NUL bytes

namespace {

const char* const kVantor = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";

std::string Utf16Le(const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : text)
        bytes += std::string{c, '\0'};
    return bytes;
}

// Runs body in a child process, which exits with 0 when body gives true.
template <typename Body>
pid_t Spawn(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body() ? 0 : 1);
    return pid;
}

bool Succeeded(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Value i of writer w: its name, which is also its text, and its key (some in a
// key shared by all writers, some in a key of each writer's own).
std::string Name(int w, int i) { return "w" + std::to_string(w) + "v" + std::to_string(i); }
std::string KeyOf(int w, int i) { return i % 2 == 0 ? "Shared" : "Own" + std::to_string(w); }

class Registry : public ::testing::Test {
protected:
    std::string File() const { return prefix / "system.reg"; }
    ScopedPrefix prefix;
};

}  // namespace

TEST_F(Registry, OpenAndCreateKeys)
{
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey("SOFTWARE\\Missing", key));
    EXPECT_EQ(nullptr, key.Get());
    DWORD subKeys = 99;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, subKeys);
    EXPECT_FALSE(FileExists(File()));  // reading creates nothing

    Key created, again, parent, child, viaParent, direct;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(kVantor, created, &disposition));
    EXPECT_NE(nullptr, created.Get());
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, CreateKey("software\\norvane systems, inc.\\VANTOR", again, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);

    // Below an open key rather than the root.
    ASSERT_EQ(ERROR_SUCCESS, OpenKey("SOFTWARE\\Norvane Systems, Inc.", parent));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent.Get(), "Child\\Grandchild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             child.Out(), nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(parent.Get(), "child\\grandchild", 0, KEY_READ, viaParent.Out()));
    EXPECT_EQ(ERROR_SUCCESS, OpenKey("SOFTWARE\\Norvane Systems, Inc.\\Child\\Grandchild", direct));
}

TEST_F(Registry, BadPathsArgumentsHandlesAndRoots)
{
    Key key;
    EXPECT_EQ(ERROR_BAD_PATHNAME, OpenKey("\\SOFTWARE", key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, CreateKey("SOFTWARE\\\\x", key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, CreateKey(std::string(256, 'k').c_str(), key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, CreateKey("line\nbreak", key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, CreateKey(nullptr, key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "x", 0, KEY_READ, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "x", 0, KEY_READ, key.Out()));
    // HKEY_USERS and HKEY_CLASSES_ROOT have no file; HKEY_CURRENT_USER has its own.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_USERS, ".DEFAULT", 0, KEY_READ, key.Out()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegCreateKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Zentra", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, key.Out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.Get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2));
    EXPECT_NE(std::string::npos,
              ReadFile(prefix / "user.reg").find("[HKEY_CURRENT_USER\\Software\\Zentra]\n\"v\"=\"1\"\n"));
    EXPECT_FALSE(FileExists(File()));

    HKEY closed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &closed, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    for (HKEY invalid : {closed, static_cast<HKEY>(nullptr), HKEY_LOCAL_MACHINE})
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(invalid));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(closed, "x", nullptr, nullptr, nullptr, &size));
}

TEST_F(Registry, ValuesFollowWin32)
{
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "Text", "hello"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "text"));
    // A value of the same name in another case is replaced, type and data.
    ASSERT_EQ(ERROR_SUCCESS, SetValue("A", "V", REG_DWORD, {3, 0, 0, 0}));
    EXPECT_EQ(Typed(REG_DWORD, {3, 0, 0, 0}), Value("A", "v"));
    Key key, writeOnly;
    ASSERT_EQ(ERROR_SUCCESS, OpenKey("A", key, KEY_READ));

    DWORD type = 0, size = 0;
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
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.Get(), "TEXT", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(6u, size);
    EXPECT_STREQ("hello", text);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key.Get(), "Missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key.Get(), "Text", nullptr, &type, small, nullptr));

    // The access rights of the handle.
    const BYTE x[] = {'x', 0};
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key.Get(), "Text", 0, REG_SZ, x, 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key.Get(), "Text"));
    ASSERT_EQ(ERROR_SUCCESS, OpenKey("A", writeOnly, KEY_SET_VALUE));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writeOnly.Get(), "Text", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(writeOnly.Get(), "Text", 0, REG_SZ, x, 2));
    EXPECT_EQ("x", GetString("A", "Text"));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(writeOnly.Get(), "missing"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(writeOnly.Get(), "TEXT"));
    EXPECT_EQ("<error 2>", GetString("A", "Text"));
}

TEST_F(Registry, SubkeysAreCountedEnumeratedInNameOrderAndDeleted)
{
    for (const char* path : {"A\\gamma", "A\\Beta", "A\\alpha", "A\\Beta\\Inner", "A\\Much Longer Name\\Deeper"})
        ASSERT_EQ(ERROR_SUCCESS, SetString(path, "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "Name", "twelve chars"));
    ASSERT_EQ(ERROR_SUCCESS, SetValue("A", "N", REG_DWORD, {1, 0, 0, 0}));
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, OpenKey("A", key, KEY_READ));

    // Subkeys, longest subkey name, class length, values, longest value name and data.
    DWORD info[6] = {0, 0, 9, 0, 0, 0};
    char keyClass[8] = "junk";
    DWORD keyClassSize = sizeof keyClass;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key.Get(), keyClass, &keyClassSize, nullptr, &info[0], &info[1], &info[2],
                                              &info[3], &info[4], &info[5], nullptr, nullptr));
    EXPECT_EQ(std::vector<DWORD>({4, 16, 0, 2, 4, 13}), std::vector<DWORD>(info, info + 6));
    EXPECT_EQ(0u, keyClassSize);
    EXPECT_STREQ("", keyClass);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));

    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0; index < 10; ++index) {
        DWORD size = sizeof name;
        const LONG result = RegEnumKeyExA(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(ERROR_SUCCESS, result);
        EXPECT_EQ(std::strlen(name), size);
        names.push_back(name);
    }
    EXPECT_EQ(std::vector<std::string>({"alpha", "Beta", "gamma", "Much Longer Name"}), names);
    char tiny[5] = "####";
    DWORD size = sizeof tiny;  // "gamma" needs 6 with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key.Get(), 2, tiny, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("####", tiny);
    size = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key.Get(), 2, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, size);

    // Only keys without subkeys are deleted; a handle of a deleted key reports it.
    Key held, below;
    ASSERT_EQ(ERROR_SUCCESS, OpenKey("A\\Beta\\Inner", held));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\Missing"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\Beta"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "a\\beta\\inner"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey("A\\Beta\\Inner", below));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "A\\Beta"));  // a leaf now
    DWORD ignored = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(held.Get(), "v", nullptr, nullptr, nullptr, &ignored));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(held.Get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1));
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegCreateKeyExA(held.Get(), "D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, below.Out(), nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey("A\\Beta\\Inner", below));  // not brought back
}

TEST_F(Registry, WritesTheExportFormat)
{
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "DBConnection0", "SERVER=DBHOST;DATABASE=CfgDb"));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Path", "C:\\Program Files\\\"Q\""));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Count", REG_DWORD, {10, 0, 0, 0}));
    ASSERT_EQ(ERROR_SUCCESS, SetString("SOFTWARE\\Alpha", nullptr, "default"));
    // Names ignore case and keep their first spelling; keys sort by name, parents first.
    ASSERT_EQ(ERROR_SUCCESS, SetString("Software\\Norvane", "DbName", "first"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("SOFTWARE\\NORVANE\\Sub", "Other", "second"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("software\\norvane", "DBNAME", "third"));
    for (const char* path : {"b", "A b", "a\\z", "C"})
        ASSERT_EQ(ERROR_SUCCESS, SetString(path, "v", "1"));
    EXPECT_EQ("third", GetString("SOFTWARE\\norVANE", "dbname"));
    EXPECT_EQ("second", GetString("software\\norvane\\SUB", "OTHER"));
    EXPECT_EQ("Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\a]\n\n"
              "[HKEY_LOCAL_MACHINE\\a\\z]\n\"v\"=\"1\"\n\n"
              "[HKEY_LOCAL_MACHINE\\A b]\n\"v\"=\"1\"\n\n"
              "[HKEY_LOCAL_MACHINE\\b]\n\"v\"=\"1\"\n\n"
              "[HKEY_LOCAL_MACHINE\\C]\n\"v\"=\"1\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Alpha]\n@=\"default\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane]\n\"DbName\"=\"third\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane\\Sub]\n\"Other\"=\"second\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
              "\"DBConnection0\"=\"SERVER=DBHOST;DATABASE=CfgDb\"\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\n"
              "\"Count\"=dword:0000000a\n\n",
              ReadFile(File()));
}

TEST_F(Registry, ValuesOfEveryTypeSurviveARewrite)
{
    WriteFile(File(), "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                      "\"Expand\"=hex(2):25,00,50,00,00,00\r\n"
                      "\"Multi\"=hex(7):61,00,00,00,\\\r\n  00,00\r\n"
                      "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                      "\"Odd\"=hex(2000):ff\r\n\r\n");
    const std::string awkward = "a\\b\"c\\\\\"; = [x] @";
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Awkward \"name\\", awkward));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Lines", "one\r\ntwo\n"));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Big", REG_DWORD, {0x98, 0xBA, 0xDC, 0xFE}));
    std::vector<BYTE> binary;
    for (int i = 0; i < 100; ++i)
        binary.push_back(static_cast<BYTE>(i * 7));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Blob", REG_BINARY, binary));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Empty", REG_NONE, {}));

    EXPECT_EQ(awkward, GetString(kVantor, "Awkward \"name\\"));
    EXPECT_EQ("one\r\ntwo\n", GetString(kVantor, "Lines"));
    EXPECT_EQ(Typed(REG_DWORD, {0x98, 0xBA, 0xDC, 0xFE}), Value(kVantor, "Big"));
    EXPECT_EQ(Typed(REG_BINARY, binary), Value(kVantor, "Blob"));
    EXPECT_EQ(Typed(REG_NONE, {}), Value(kVantor, "Empty"));
    EXPECT_EQ(Typed(REG_EXPAND_SZ, {0x25, 0, 0x50, 0, 0, 0}), Value("SOFTWARE\\Test", "Expand"));
    EXPECT_EQ(Typed(REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0}), Value("SOFTWARE\\Test", "Multi"));
    EXPECT_EQ(Typed(0x2000, {0xff}), Value("SOFTWARE\\Test", "Odd"));

    const std::string text = ReadFile(File());
    for (const char* line :
         {"\"Expand\"=hex(2):25,00,50,00,00,00\n", "\"Multi\"=hex(7):61,00,00,00,00,00\n",
          "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n", "\"Odd\"=hex(2000):ff\n", "\"Blob\"=hex:00,07,0e,"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    // Long hex data is wrapped as regedit wraps it, within 80 columns.
    EXPECT_NE(std::string::npos, text.find(",\\\n  "));
    for (std::string::size_type start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

TEST_F(Registry, ReadsOtherFormatsAndTreatsAnEmptyFileAsEmpty)
{
    WriteFile(File(), "");
    EXPECT_EQ("<error 2>", GetString(kVantor, "DBConnection0"));

    WriteFile(File(), "REGEDIT4\n\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
                      "\"DBConnection0\"=\"SERVER=H;DATABASE=D\"\n\"N\"=dword:0000ffff\n");
    EXPECT_EQ("SERVER=H;DATABASE=D", GetString(kVantor, "DBConnection0"));
    EXPECT_EQ(Typed(REG_DWORD, {0xff, 0xff, 0, 0}), Value(kVantor, "N"));

    WriteFile(File(), Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\r\n"
                              "\"DBConnection0\"=\"SERVER=H\\\\I;DATABASE=D\"\r\n"
                              "@=\"default\"\r\n\r\n"));
    EXPECT_EQ("SERVER=H\\I;DATABASE=D", GetString(kVantor, "DBConnection0"));
    EXPECT_EQ("default", GetString(kVantor, ""));
    // The next write turns it into single-byte text with the version 5.00 header.
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "More", "x"));
    EXPECT_EQ(0u, ReadFile(File()).find("Windows Registry Editor Version 5.00\n"));
    EXPECT_EQ("SERVER=H\\I;DATABASE=D", GetString(kVantor, "DBConnection0"));

    // Comments, a key given twice, a value and a key removed.
    WriteFile(File(), "Windows Registry Editor Version 5.00\n; a comment\n"
                      "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                      "[HKEY_LOCAL_MACHINE\\B\\C]\n"
                      "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"3\"\n\"y\"=-\n"
                      "[-HKEY_LOCAL_MACHINE\\B]\n");
    EXPECT_EQ("3", GetString("A", "x"));
    EXPECT_EQ("<error 2>", GetString("A", "y"));
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey("B\\C", key, KEY_READ));
}

TEST_F(Registry, MalformedFilesGiveBadDbAndAreNotOverwritten)
{
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string keyA = header + "[HKEY_LOCAL_MACHINE\\A]\n";
    const std::vector<std::string> malformed = {
        "no header\n[HKEY_LOCAL_MACHINE\\A]\n",
        header + "\"x\"=\"value before any key\"\n",
        keyA + "\"x\"=\"unterminated\n",
        keyA + "\"x\"=\"bad \\escape\"\n",
        keyA + "\"x\"=hex:0g\n",
        keyA + "\"x\"=hex:01,\\\n",
        keyA + "\"x\"=dword:123456789\n",
        keyA + "\"x\"=str:1\n",
        keyA + "garbage\n",
        keyA + "\"x\"=\"a\0b\"\n"s,
        header + "[HKEY_LOCAL_MACHINE\\A\n",
        header + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
        header + "[HKEY_CURRENT_USER\\A]\n",
        "\xFF\xFEW\0i\0n"s,  // UTF-16 cut in the middle of a character
        "\xFE\xFF\0W\0i"s,   // UTF-16 big-endian
    };
    for (const std::string& content : malformed) {
        SCOPED_TRACE(content);
        WriteFile(File(), content);
        Key key, created;
        EXPECT_EQ(ERROR_BADDB, OpenKey("A", key, KEY_READ));
        EXPECT_EQ(ERROR_BADDB, CreateKey("New", created));
        EXPECT_EQ(ERROR_BADDB, SetString("A", "x", "y"));
        EXPECT_EQ(content, ReadFile(File()));
    }
    std::filesystem::remove(File());
    std::filesystem::create_directories(File());  // a folder in place of the file
    Key key;
    EXPECT_NE(ERROR_SUCCESS, OpenKey("A", key, KEY_READ));
    EXPECT_NE(ERROR_SUCCESS, SetString("A", "x", "y"));
}

TEST_F(Registry, ProcessesWritingAtOnceLoseNothingAndReadEachOthersValues)
{
    const int kWriters = 4, kValues = 40;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(Spawn([w] {
            for (int i = 0; i < kValues; ++i)
                if (SetString(KeyOf(w, i).c_str(), Name(w, i).c_str(), Name(w, i)) != ERROR_SUCCESS)
                    return false;
            return true;
        }));
    for (const pid_t pid : writers)
        EXPECT_TRUE(Succeeded(pid));
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValues; ++i)
            EXPECT_EQ(Name(w, i), GetString(KeyOf(w, i).c_str(), Name(w, i).c_str()));
    EXPECT_EQ(std::vector<std::string>({"system.reg", "system.reg.lock"}), Entries(prefix.Path()));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "DBConnection0", "SERVER=A;DATABASE=B"));
    EXPECT_TRUE(Succeeded(Spawn([] { return GetString(kVantor, "DBConnection0") == "SERVER=A;DATABASE=B"; })));
}
