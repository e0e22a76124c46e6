#include "installer/csv/CsvLines.h"

#include "dialplanfile/FileText.h"

namespace zentra_csv {

bool ReadWhole(const std::string& windowsPath, std::string& text)
{
    int error = 0;
    return dialplan::ReadFileText(windowsPath, text, error) == dialplan::FileRead::Done;
}

LineFile::LineFile(const std::string& windowsPath)
    : m_open(ReadWhole(windowsPath, m_text)), m_lines(m_text), m_failed(!m_open)
{
}

bool LineFile::readLine(std::string& line)
{
    line.clear();
    std::string_view next;
    if (m_failed || !m_lines.next(next)) {
        m_failed = true;
        return false;
    }
    line.assign(next.data(), next.size());
    return true;
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

std::string FieldBetween(const std::string& line, std::string::size_type after, std::string::size_type before)
{
    if (after == std::string::npos)
        return std::string();
    const std::string::size_type start = after + 1;
    if (before == std::string::npos)
        return line.substr(start);
    return line.substr(start, before - start);
}

}  // namespace zentra_csv
