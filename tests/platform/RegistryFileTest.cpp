// The registry file of the stand-in: its text, the formats it reads, and
// malformed files.

#include <gtest/gtest.h>

#include "platform/Win32.h"
#include "RegistryHelpers.h"
#include "ScopedPrefix.h"

using namespace zentra_test_local;

namespace {

const char* const kVantor = "SOFTWARE\\Norvane Systems, Inc.\\Vantor";

std::string Utf16Le(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A literal with its NUL bytes.
template <size_t N>
std::string Raw(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class RegistryFile : public ::testing::Test {
protected:
    std::string File() const { return prefix / "system.reg"; }
    ScopedPrefix prefix;
};

}  // namespace

TEST_F(RegistryFile, WritesTheExportFormat) {
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "DBConnection0", "SERVER=DBHOST;DATABASE=CfgDb"));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Path", "C:\\Program Files\\\"Q\""));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(kVantor, "Count", 10));
    ASSERT_EQ(ERROR_SUCCESS, SetString("SOFTWARE\\Alpha", nullptr, "default"));
    EXPECT_EQ("Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Alpha]\n"
              "@=\"default\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
              "\"DBConnection0\"=\"SERVER=DBHOST;DATABASE=CfgDb\"\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\n"
              "\"Count\"=dword:0000000a\n"
              "\n",
              ReadBytes(File()));
    EXPECT_EQ(std::vector<std::string>({"system.reg", "system.reg.lock"}), Entries(prefix.Path()));
}

TEST_F(RegistryFile, ValuesSurviveTheRoundTrip) {
    const std::string awkward = "a\\b\"c\\\\\"; = [x] @";
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Awkward \"name\\", awkward));
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "Lines", "one\r\ntwo\n"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(kVantor, "Big", 0xFEDCBA98u));
    std::vector<BYTE> binary;
    for (int i = 0; i < 100; ++i) binary.push_back(static_cast<BYTE>(i * 7));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Blob", REG_BINARY, binary));
    ASSERT_EQ(ERROR_SUCCESS, SetValue(kVantor, "Empty", REG_NONE, {}));

    EXPECT_EQ(awkward, GetString(kVantor, "Awkward \"name\\"));
    EXPECT_EQ("one\r\ntwo\n", GetString(kVantor, "Lines"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, GetValue(kVantor, "Big", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>({0x98, 0xBA, 0xDC, 0xFE}), data);
    ASSERT_EQ(ERROR_SUCCESS, GetValue(kVantor, "Blob", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(binary, data);
    ASSERT_EQ(ERROR_SUCCESS, GetValue(kVantor, "Empty", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_NONE), type);
    EXPECT_TRUE(data.empty());

    // Long hex data is wrapped as regedit wraps it, within 80 columns.
    const std::string text = ReadBytes(File());
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(std::string::npos, text.find("\"Blob\"=hex:00,07,0e,"));
    EXPECT_NE(std::string::npos, text.find(",\\\n  "));
}

TEST_F(RegistryFile, OtherTypesAreKeptAsTheyAre) {
    WriteBytes(File(),
               "Windows Registry Editor Version 5.00\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
               "\"Expand\"=hex(2):25,00,50,00,00,00\r\n"
               "\"Multi\"=hex(7):61,00,00,00,\\\r\n"
               "  00,00\r\n"
               "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
               "\"Odd\"=hex(2000):ff\r\n"
               "\r\n");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, GetValue("SOFTWARE\\Test", "Expand", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(std::vector<BYTE>({0x25, 0, 0x50, 0, 0, 0}), data);
    ASSERT_EQ(ERROR_SUCCESS, GetValue("SOFTWARE\\Test", "Multi", type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(std::vector<BYTE>({0x61, 0, 0, 0, 0, 0}), data);
    ASSERT_EQ(ERROR_SUCCESS, GetValue("SOFTWARE\\Test", "Odd", type, data));
    EXPECT_EQ(0x2000u, type);

    // A write elsewhere rewrites the file; the other values come through unchanged.
    ASSERT_EQ(ERROR_SUCCESS, SetString("SOFTWARE\\Other", "x", "y"));
    const std::string text = ReadBytes(File());
    EXPECT_NE(std::string::npos, text.find("\"Expand\"=hex(2):25,00,50,00,00,00\n"));
    EXPECT_NE(std::string::npos, text.find("\"Multi\"=hex(7):61,00,00,00,00,00\n"));
    EXPECT_NE(std::string::npos, text.find("\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"));
    EXPECT_NE(std::string::npos, text.find("\"Odd\"=hex(2000):ff\n"));
}

TEST_F(RegistryFile, KeyAndValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("Software\\Norvane", "DbName", "first"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("SOFTWARE\\NORVANE\\Sub", "Other", "second"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("software\\norvane", "DBNAME", "third"));
    EXPECT_EQ("third", GetString("SOFTWARE\\norVANE", "dbname"));
    EXPECT_EQ("second", GetString("software\\norvane\\SUB", "OTHER"));
    const std::string text = ReadBytes(File());
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software\\Norvane]\n\"DbName\"=\"third\"\n"));
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Sub]\n"));
    EXPECT_EQ(std::string::npos, text.find("NORVANE"));
    EXPECT_EQ(std::string::npos, text.find("DBNAME"));
}

TEST_F(RegistryFile, KeysAreWrittenParentsFirstInNameOrder) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("b", "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("A b", "v", "2"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("a\\z", "v", "3"));
    ASSERT_EQ(ERROR_SUCCESS, SetString("C", "v", "4"));
    const std::string text = ReadBytes(File());
    const auto at = [&text](const char* line) { return text.find(line); };
    EXPECT_LT(at("[HKEY_LOCAL_MACHINE\\a]"), at("[HKEY_LOCAL_MACHINE\\a\\z]"));
    EXPECT_LT(at("[HKEY_LOCAL_MACHINE\\a\\z]"), at("[HKEY_LOCAL_MACHINE\\A b]"));
    EXPECT_LT(at("[HKEY_LOCAL_MACHINE\\A b]"), at("[HKEY_LOCAL_MACHINE\\b]"));
    EXPECT_LT(at("[HKEY_LOCAL_MACHINE\\b]"), at("[HKEY_LOCAL_MACHINE\\C]"));
}

TEST_F(RegistryFile, ReadsRegedit4Files) {
    WriteBytes(File(),
               "REGEDIT4\n\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\n"
               "\"DBConnection0\"=\"SERVER=H;DATABASE=D\"\n"
               "\"N\"=dword:0000ffff\n");
    EXPECT_EQ("SERVER=H;DATABASE=D", GetString(kVantor, "DBConnection0"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, GetValue(kVantor, "N", type, data));
    EXPECT_EQ(std::vector<BYTE>({0xff, 0xff, 0, 0}), data);
}

TEST_F(RegistryFile, ReadsUtf16LittleEndianFilesWithByteOrderMark) {
    WriteBytes(File(), Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor]\r\n"
                               "\"DBConnection0\"=\"SERVER=H\\\\I;DATABASE=D\"\r\n"
                               "@=\"default\"\r\n\r\n"));
    EXPECT_EQ("SERVER=H\\I;DATABASE=D", GetString(kVantor, "DBConnection0"));
    EXPECT_EQ("default", GetString(kVantor, ""));

    // The next write turns it into single-byte text with the version 5.00 header.
    ASSERT_EQ(ERROR_SUCCESS, SetString(kVantor, "More", "x"));
    const std::string text = ReadBytes(File());
    EXPECT_EQ(0u, text.find("Windows Registry Editor Version 5.00\n"));
    EXPECT_EQ("SERVER=H\\I;DATABASE=D", GetString(kVantor, "DBConnection0"));
}

TEST_F(RegistryFile, MissingOrEmptyFileIsAnEmptyRegistry) {
    Key key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, key.Out()));
    EXPECT_EQ(nullptr, key.Get());
    DWORD subKeys = 99;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subKeys,
                                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, subKeys);
    EXPECT_FALSE(Exists(File()));  // reading creates nothing

    WriteBytes(File(), "");
    EXPECT_EQ("<error 2>", GetString(kVantor, "DBConnection0"));
}

TEST_F(RegistryFile, ReadsCommentsRemovalsAndRepeatedSections) {
    WriteBytes(File(),
               "Windows Registry Editor Version 5.00\n"
               "; a comment\n"
               "[HKEY_LOCAL_MACHINE\\A]\n"
               "\"x\"=\"1\"\n"
               "\"y\"=\"2\"\n"
               "[HKEY_LOCAL_MACHINE\\B\\C]\n"
               "[HKEY_LOCAL_MACHINE\\A]\n"
               "\"x\"=\"3\"\n"
               "\"y\"=-\n"
               "[-HKEY_LOCAL_MACHINE\\B]\n");
    EXPECT_EQ("3", GetString("A", "x"));
    EXPECT_EQ("<error 2>", GetString("A", "y"));
    EXPECT_EQ("<error 2>", GetString("B", "z"));
}

TEST_F(RegistryFile, MalformedFilesGiveBadDbAndAreNotOverwritten) {
    const std::vector<std::string> malformed = {
        "no header\n[HKEY_LOCAL_MACHINE\\A]\n",
        "Windows Registry Editor Version 5.00\n\"x\"=\"value before any key\"\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"unterminated\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"bad \\escape\"\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:0g\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:01,\\\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=str:1\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\ngarbage\n",
        Raw("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"a\0b\"\n"),
        Raw("\xFF\xFEW\0i\0n"),  // UTF-16 cut in the middle of a character
        Raw("\xFE\xFF\0W\0i"),   // UTF-16 big-endian
    };
    for (const std::string& content : malformed) {
        WriteBytes(File(), content);
        Key key;
        EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, key.Out())) << content;
        Key created;
        EXPECT_EQ(ERROR_BADDB, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "New", 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, created.Out(), nullptr))
            << content;
        EXPECT_EQ(ERROR_BADDB, SetString("A", "x", "y")) << content;
        EXPECT_EQ(content, ReadBytes(File()));
    }
}

TEST_F(RegistryFile, AFolderInPlaceOfTheFileIsAnError) {
    std::filesystem::create_directories(File());
    Key key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, key.Out()));
    EXPECT_NE(ERROR_SUCCESS, SetString("A", "x", "y"));
}

TEST_F(RegistryFile, CurrentUserHasItsOwnFile) {
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Zentra", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, key.Out(), nullptr));
    const BYTE one[] = {'1', 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.Get(), "v", 0, REG_SZ, one, 2));
    EXPECT_NE(std::string::npos, ReadBytes(prefix / "user.reg").find("[HKEY_CURRENT_USER\\Software\\Zentra]\n\"v\"=\"1\"\n"));
    EXPECT_FALSE(Exists(File()));
}
