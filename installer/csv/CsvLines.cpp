#include "installer/csv/CsvLines.h"

#include "platform/Platform.h"

namespace zentra_csv {

LineFile::LineFile(const std::string& windowsPath)
    : m_file(platform::OpenFile(windowsPath, "rb")), m_failed(m_file == nullptr)
{
}

LineFile::~LineFile()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool LineFile::readLine(std::string& line)
{
    line.clear();
    if (m_failed)
        return false;
    bool readAny = false;
    for (;;) {
        const int c = std::getc(m_file);
        if (c == EOF) {
            // A last line without LF still counts; a read error loses the line.
            if (std::ferror(m_file) || !readAny) {
                m_failed = true;
                line.clear();
                return false;
            }
            return true;
        }
        readAny = true;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
}

bool LineFile::skipPast(const char* text)
{
    std::string line;
    while (readLine(line)) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

CommaPositions FindCommas(const std::string& line)
{
    CommaPositions commas;
    std::string::size_type from = 0;
    for (auto& position : commas.p) {
        position = from == std::string::npos ? std::string::npos : line.find(',', from);
        from = position == std::string::npos ? std::string::npos : position + 1;
    }
    return commas;
}

std::string FieldBetween(const std::string& line, std::string::size_type after,
                         std::string::size_type before)
{
    if (after == std::string::npos)
        return std::string();
    const std::string::size_type start = after + 1;
    if (before == std::string::npos)
        return line.substr(start);
    return line.substr(start, before - start);
}

}  // namespace zentra_csv
