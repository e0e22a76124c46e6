// Message boxes of the stand-in: their text on standard error, and the sink.

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/Win32.h"
#include "support/TestSupport.h"

TEST(MessageBox, GoesToStandardErrorUnlessASinkIsInstalled)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK,
              MessageBoxA(nullptr, "Failed to delete the file C:\\x \nRequires manual deletion", "uninstall", MB_OK));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, nullptr, nullptr, MB_OK | MB_ICONERROR));
    EXPECT_EQ("[MessageBox] uninstall\nFailed to delete the file C:\\x \nRequires manual deletion\n\n"
              "[MessageBox] Error\n\n\n",
              testing::internal::GetCapturedStderr());

    {
        zentra_test::MessageBoxCapture capture;
        testing::internal::CaptureStderr();
        EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Installation complete", "Foo", MB_OK));
        EXPECT_EQ(IDOK, platform::ShowMessageBox("second", "Installation Failed", MB_OK));
        EXPECT_EQ("", testing::internal::GetCapturedStderr());
        // SetMessageBoxSink hands back the sink it replaces, here the capture's.
        const platform::MessageBoxSink previous = platform::SetMessageBoxSink(nullptr);
        ASSERT_TRUE(previous);
        previous("c", "t");
        std::vector<std::string> received;
        for (const auto& box : capture.boxes())
            received.push_back(box.caption + "|" + box.text);
        EXPECT_EQ(std::vector<std::string>({"Foo|Installation complete", "Installation Failed|second", "c|t"}),
                  received);
    }

    // An empty sink restores standard error.
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "text", "caption", MB_OK);
    EXPECT_EQ("[MessageBox] caption\ntext\n\n", testing::internal::GetCapturedStderr());
}
