// The trace texts of CRegistry, in order.

#include <gtest/gtest.h>

#include "../platform/RegistryHelpers.h"
#include "../platform/ScopedPrefix.h"
#include "TraceRecorder.h"
#include "registry/CRegistry.h"

using namespace zentra_test_local;

namespace {

using Lines = std::vector<std::string>;

class CRegistryTrace : public ::testing::Test {
protected:
    ScopedPrefix prefix;
    TraceRecorder trace;
};

}  // namespace

TEST_F(CRegistryTrace, OpenOfAnExistingKey) {
    ASSERT_EQ(ERROR_SUCCESS, SetString("A", "v", "1"));
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "<--   CRegistry::OpenSubkey\r\n"}), trace.Take());
}

TEST_F(CRegistryTrace, OpenOfAMissingKeyCreatesIt) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n",
                     "Subkey did NOT already exist so attempting CreateSubkey\r\n",
                     "-->   CRegistry::CreateSubkey\r\n", "<--   CRegistry::CreateSubkey\r\n",
                     "<--   CRegistry::OpenSubkey\r\n"}),
              trace.Take());
}

TEST_F(CRegistryTrace, SecondOpen) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    trace.Take();
    EXPECT_EQ(1011, registry.OpenSubkey("B"));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "<--   ERROR CRegistry::OpenSubkey\r\n"}), trace.Take());
}

TEST_F(CRegistryTrace, OpenThatCannotCreate) {
    WriteBytes(prefix / "system.reg", "broken\n");
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ERROR_BADDB, registry.OpenSubkey("A"));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n",
                     "Subkey did NOT already exist so attempting CreateSubkey\r\n",
                     "-->   CRegistry::CreateSubkey\r\n",
                     "<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n", "ERROR in RegOpenKeyEx\r\n",
                     "<--   ERROR CRegistry::OpenSubkey\r\n"}),
              trace.Take());
}

TEST_F(CRegistryTrace, PathTooLongTracesAFailure) {
    const std::string tooLong(300, 'k');
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.OpenSubkey(tooLong.c_str()));
    EXPECT_EQ(Lines({"-->   CRegistry::OpenSubkey\r\n", "ERROR in RegOpenKeyEx\r\n",
                     "<--   ERROR CRegistry::OpenSubkey\r\n"}),
              trace.Take());
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, registry.CreateSubkey(tooLong.c_str()));
    EXPECT_EQ(Lines({"-->   CRegistry::CreateSubkey\r\n",
                     "<--   ERROR     RegCreateKeyEx  CRegistry::CreateSubkey\r\n"}),
              trace.Take());
}

TEST_F(CRegistryTrace, CreateRefusedWhileOpen) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    trace.Take();
    EXPECT_EQ(1010, registry.CreateSubkey("B"));
    EXPECT_EQ(Lines({"-->   CRegistry::CreateSubkey\r\n", "ERROR     if ((!m_IsSubOpen) && (m_hSubKey == 0))\r\n",
                     "<--   CRegistry::CreateSubkey\r\n"}),
              trace.Take());
}

TEST_F(CRegistryTrace, DwordOperationsAndClose) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(0, registry.OpenSubkey("A"));
    trace.Take();
    ASSERT_EQ(0, registry.SetDWORD(3, "n"));
    DWORD value = 0;
    ASSERT_EQ(0, registry.GetDWORD(&value, "n"));
    EXPECT_EQ(2, registry.GetDWORD(&value, "missing"));
    ASSERT_EQ(0, registry.CloseSubkey());
    EXPECT_EQ(Lines({"-->  CRegistry::SetDWORD\r\n", "Subkey OPEN so attempting to set DWORD\r\n",
                     "<--  CRegistry::SetDWORD\r\n", "-->   CRegistry::GetDWORD\r\n", "<--   CRegistry::GetDWORD\r\n",
                     "-->   CRegistry::GetDWORD\r\n", "<--   CRegistry::GetDWORD\r\n",
                     "-->   CRegistry::CloseSubkey\r\n", "<--   CRegistry::CloseSubkey\r\n"}),
              trace.Take());
}

TEST_F(CRegistryTrace, RefusedValueOperationsTraceNothing) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    DWORD value = 0;
    EXPECT_EQ(1011, registry.GetDWORD(&value, "n"));
    EXPECT_EQ(1011, registry.SetDWORD(1, "n"));
    EXPECT_TRUE(trace.Take().empty());
}

TEST(RegistryTraceSink, SetSinkReturnsThePreviousSink) {
    const registry_trace::Sink none = registry_trace::SetSink(nullptr);
    EXPECT_EQ(nullptr, none);  // discarding by default
    static int calls = 0;
    const registry_trace::Sink counting = [](const char*) { ++calls; };
    registry_trace::SetSink(counting);
    RegistryTrace("text\r\n");
    EXPECT_EQ(counting, registry_trace::SetSink(nullptr));
    RegistryTrace("discarded\r\n");
    EXPECT_EQ(1, calls);
}
