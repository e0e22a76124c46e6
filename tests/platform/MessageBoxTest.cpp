// Message boxes of the stand-in: their text on standard error, and the sink.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/Win32.h"

namespace {

using Box = std::pair<std::string, std::string>;  // caption, text

// Installs a recording sink for one test and restores the previous one.
class RecordingSink {
public:
    RecordingSink() {
        m_previous = platform::SetMessageBoxSink([this](const std::string& caption, const std::string& text) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_boxes.emplace_back(caption, text);
        });
    }
    ~RecordingSink() { platform::SetMessageBoxSink(m_previous); }
    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

private:
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
    platform::MessageBoxSink m_previous;
};

}  // namespace

TEST(MessageBox, WritesCaptionAndTextToStandardError) {
    testing::internal::CaptureStderr();
    const int pressed = MessageBoxA(nullptr, "Failed to delete the file C:\\x \nRequires manual deletion",
                                    "uninstall", MB_OK);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(IDOK, pressed);
    EXPECT_EQ("[MessageBox] uninstall\nFailed to delete the file C:\\x \nRequires manual deletion\n\n", shown);
}

TEST(MessageBox, NullCaptionIsErrorAndNullTextEmpty) {
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK | MB_ICONERROR);
    EXPECT_EQ("[MessageBox] Error\n\n\n", testing::internal::GetCapturedStderr());
}

TEST(MessageBox, SinkReceivesBoxesInsteadOfStandardError) {
    RecordingSink sink;
    testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Installation complete", "Foo", MB_OK));
    EXPECT_EQ(IDOK, platform::ShowMessageBox("second", "Installation Failed", MB_OK));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    const std::vector<Box> expected = {{"Foo", "Installation complete"}, {"Installation Failed", "second"}};
    EXPECT_EQ(expected, sink.Boxes());
}

TEST(MessageBox, SetMessageBoxSinkReturnsThePreviousSinkAndEmptyRestoresStandardError) {
    int calls = 0;
    platform::MessageBoxSink first = [&calls](const std::string&, const std::string&) { ++calls; };
    const platform::MessageBoxSink before = platform::SetMessageBoxSink(first);
    EXPECT_FALSE(before);  // no sink by default
    const platform::MessageBoxSink returned = platform::SetMessageBoxSink(nullptr);
    ASSERT_TRUE(returned);
    returned("c", "t");
    EXPECT_EQ(1, calls);

    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "text", "caption", MB_OK);
    EXPECT_EQ("[MessageBox] caption\ntext\n\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(1, calls);
}

TEST(MessageBox, BoxesFromSeveralThreadsAllReachTheSink) {
    RecordingSink sink;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                MessageBoxA(nullptr, std::to_string(i).c_str(), std::to_string(t).c_str(), MB_OK);
        });
    for (std::thread& thread : threads) thread.join();
    const std::vector<Box> boxes = sink.Boxes();
    ASSERT_EQ(200u, boxes.size());
    std::vector<int> perThread(4, 0);
    for (const Box& box : boxes) ++perThread.at(static_cast<size_t>(std::stoi(box.first)));
    EXPECT_EQ(std::vector<int>(4, 50), perThread);
}
