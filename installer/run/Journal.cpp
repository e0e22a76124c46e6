#include "installer/run/Journal.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "dialplanfile/FileText.h"
#include "installer/run/RunReportJson.h"
#include "installer/run/UtcTime.h"
#include "platform/Platform.h"

namespace zentra_run {

namespace {

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

bool AppendToJournal(const DialPlanPaths& paths, const JournalRecord& record)
{
    // A run that did not get as far as the dial plan's folder leaves no
    // record, and no folder.
    if (!platform::IsFolder(paths.folder()))
        return true;
    const nlohmann::ordered_json line = {{"time", UtcNow(kUtcTime)},
                                         {"program", record.program},
                                         {"operation", record.operation},
                                         {"preview", record.preview},
                                         {"name", paths.name()},
                                         {"host", platform::HostName()},
                                         {"csvSha256", TextOrNull(record.csvSha256)},
                                         {"result", record.result},
                                         {"exitStatus", record.exitStatus},
                                         {"snapshot", TextOrNull(record.snapshot)}};
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
