#include "dialplanfile/FileText.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/Platform.h"

namespace dialplan {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

FileRead ReadFileText(const std::string& windowsPath, std::string& text, int& error)
{
    text.clear();
    std::unique_ptr<FILE, FileCloser> file(platform::OpenFile(windowsPath, "rb"));
    if (!file) {
        error = errno;
        return FileRead::CannotOpen;
    }
    // Read in one piece when the size is known, in chunks otherwise. What is
    // not a plain file (a folder) may tell a size that means nothing.
    std::size_t chunk = 1 << 16;
    constexpr long kLargestPiece = 1L << 30;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0 && size < kLargestPiece)
            chunk = static_cast<std::size_t>(size) + 1;
        std::rewind(file.get());
    }
    for (;;) {
        const std::size_t used = text.size();
        text.resize(used + chunk);
        const std::size_t got = std::fread(&text[used], 1, chunk, file.get());
        text.resize(used + got);
        if (got < chunk)
            break;
    }
    if (std::ferror(file.get())) {
        error = errno;
        text.clear();
        return FileRead::CannotRead;
    }
    return FileRead::Done;
}

}  // namespace dialplan
