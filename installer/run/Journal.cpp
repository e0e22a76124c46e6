#include "installer/run/Journal.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "dialplanfile/FileText.h"
#include "platform/Platform.h"

namespace zentra_run {

namespace {

nlohmann::ordered_json OrNull(const std::string& text)
{
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

std::string Text(const nlohmann::json& line, const char* key)
{
    const auto found = line.find(key);
    return found != line.end() && found->is_string() ? found->get<std::string>() : "";
}

bool Parse(const std::string& text, JournalRecord& record)
{
    const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
    if (!line.is_object() || !line.value("exitStatus", nlohmann::json()).is_number_integer())
        return false;
    record = {Text(line, "time"),    Text(line, "program"),   Text(line, "operation"), line.value("preview", false),
              Text(line, "host"),    Text(line, "csvSha256"), Text(line, "result"),    line["exitStatus"].get<int>(),
              Text(line, "snapshot")};
    return true;
}

}  // namespace

std::string JournalTime()
{
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    return text;
}

bool AppendToJournal(const DialPlanPaths& paths, const JournalRecord& record)
{
    const nlohmann::ordered_json line = {{"time", record.time},
                                         {"program", record.program},
                                         {"operation", record.operation},
                                         {"preview", record.preview},
                                         {"name", paths.name()},
                                         {"host", record.host},
                                         {"csvSha256", OrNull(record.csvSha256)},
                                         {"result", record.result},
                                         {"exitStatus", record.exitStatus},
                                         {"snapshot", OrNull(record.snapshot)}};
    const std::string text = line.dump() + "\n";
    FILE* journal = platform::OpenFile(paths.journal(), "ab");
    if (journal == nullptr)
        return false;
    // Unbuffered: the whole line goes in one write.
    std::setvbuf(journal, nullptr, _IONBF, 0);
    const bool written = std::fwrite(text.data(), 1, text.size(), journal) == text.size();
    return std::fclose(journal) == 0 && written;
}

std::vector<JournalRecord> ReadJournal(const DialPlanPaths& paths, std::vector<std::string>& warnings)
{
    std::vector<JournalRecord> records;
    std::string text;
    int error = 0;
    if (dialplan::ReadFileText(paths.journal(), text, error) != dialplan::FileRead::Done)
        return records;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const bool whole = end != std::string::npos;
        const std::string line = text.substr(start, whole ? end - start : std::string::npos);
        start = whole ? end + 1 : text.size();
        ++number;
        JournalRecord record;
        if (whole && Parse(line, record))
            records.push_back(record);
        else
            warnings.push_back("line " + std::to_string(number) + " of " + paths.journal() +
                               (whole ? " cannot be read" : " was not written whole") + "; it is skipped");
    }
    return records;
}

}  // namespace zentra_run
