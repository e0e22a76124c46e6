#pragma once

// The log of one step: opened when the step begins, written through a buffer
// of its own, and closed when the step ends, however it ends (the destructor).
// Text is written verbatim, never used as a format; a value goes through one
// fixed format. A log that cannot be opened is skipped, never fatal.

#include <cstdio>
#include <string>
#include <string_view>

namespace zentra_run {

class StepLog {
public:
    // The log of an installer object's step: opened for appending into the
    // object's stream, which holds it until the step ends.
    StepLog(FILE*& stream, const std::string& path);
    // A log of its own (the uninstaller's), opened with the standard mode.
    StepLog(const std::string& path, const char* mode);
    ~StepLog();
    StepLog(const StepLog&) = delete;
    StepLog& operator=(const StepLog&) = delete;

    bool isOpen() const { return *stream_ != nullptr; }
    const std::string& path() const { return path_; }

    void write(std::string_view text);
    // A fixed format with one value in place of its %s, or of its %d.
    void format(const char* format, const std::string& value);
    void format(const char* format, long value);

    // Everything written so far reaches the file.
    void flush();
    // Ends the step's hold on the file early: what follows is not written.
    void close();
    // Opens the file for appending again after close.
    void reopen();

private:
    void open(const char* mode);

    FILE* own_ = nullptr;
    FILE** stream_;
    std::string path_;
    std::string buffer_;
};

}  // namespace zentra_run
