#pragma once

// The lines of a dial-plan file: the one place that knows its line ends.
//
// A line is the bytes up to the next LF, without the LF and without one CR right
// before it. A last line without LF is a line like any other, and so is its text
// without a CR that ends the file: CR LF, a bare LF, a final line without end and
// a final lone CR all read alike. A file that ends in LF has no empty line after
// it; an empty file has no line at all.

#include <cstddef>
#include <string_view>

namespace dialplan {

class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line, or false at the end of the text.
    bool next(std::string_view& line)
    {
        if (position_ >= text_.size())
            return false;
        const std::size_t newline = text_.find('\n', position_);
        const std::size_t end = newline == std::string_view::npos ? text_.size() : newline;
        line = text_.substr(position_, end - position_);
        position_ = newline == std::string_view::npos ? text_.size() : newline + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++number_;
        return true;
    }

    // The 1-based number of the line last returned; 0 before the first.
    long number() const { return number_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    long number_ = 0;
};

}  // namespace dialplan
