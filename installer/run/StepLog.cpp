#include "installer/run/StepLog.h"

#include <algorithm>
#include <vector>

#include "platform/Platform.h"

namespace zentra_run {

namespace {

// An upgrade of a large dial plan logs hundreds of megabytes: the log goes to
// the file in pieces of this size, not one value at a time.
constexpr std::size_t kBufferSize = 1 << 18;

}  // namespace

StepLog::StepLog(FILE*& stream, const std::string& path) : stream_(&stream), path_(path)
{
    // A stream that a step left behind when it was ended by an error is not
    // written again.
    if (*stream_ != nullptr) {
        std::fclose(*stream_);
        *stream_ = nullptr;
    }
    open("a");
}

StepLog::StepLog(const std::string& path, const char* mode) : stream_(&own_), path_(path) { open(mode); }

StepLog::~StepLog() { close(); }

void StepLog::open(const char* mode)
{
    *stream_ = platform::OpenFile(path_, mode);
    if (*stream_ != nullptr)
        std::setvbuf(*stream_, nullptr, _IONBF, 0);
    buffer_.reserve(kBufferSize);
}

void StepLog::write(std::string_view text)
{
    if (*stream_ == nullptr)
        return;
    if (buffer_.size() + text.size() > kBufferSize) {
        flush();
        if (text.size() >= kBufferSize) {
            std::fwrite(text.data(), 1, text.size(), *stream_);
            return;
        }
    }
    buffer_.append(text.data(), text.size());
}

void StepLog::format(const char* format, const std::string& value)
{
    if (*stream_ == nullptr)
        return;
    const int size = std::snprintf(nullptr, 0, format, value.c_str());
    if (size <= 0)
        return;
    std::vector<char> text(static_cast<std::size_t>(size) + 1);
    std::snprintf(text.data(), text.size(), format, value.c_str());
    write(std::string_view(text.data(), static_cast<std::size_t>(size)));
}

void StepLog::format(const char* format, long value)
{
    // The formats of the log carry their number as %d.
    if (*stream_ == nullptr)
        return;
    char text[512];
    const int size = std::snprintf(text, sizeof(text), format, static_cast<int>(value));
    if (size > 0)
        write(std::string_view(text, std::min(static_cast<std::size_t>(size), sizeof(text) - 1)));
}

void StepLog::flush()
{
    if (*stream_ == nullptr || buffer_.empty())
        return;
    std::fwrite(buffer_.data(), 1, buffer_.size(), *stream_);
    buffer_.clear();
}

void StepLog::close()
{
    if (*stream_ == nullptr)
        return;
    flush();
    std::fclose(*stream_);
    *stream_ = nullptr;
}

void StepLog::reopen()
{
    if (*stream_ == nullptr)
        open("a");
}

}  // namespace zentra_run
