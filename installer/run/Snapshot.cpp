#include "installer/run/Snapshot.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "dialplanfile/DialPlanFile.h"
#include "dialplanfile/FileText.h"
#include "installer/run/PlanFile.h"
#include "installer/run/UtcTime.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

namespace zentra_run {

namespace {

// The files of a snapshot have short names of their own, so that the paths of
// the longest dial plan name stay within what Windows takes.
constexpr const char* kManifest = "snapshot.json";
constexpr const char* kRows = "rows.csv";
constexpr const char* kPartial = ".partial-";

// The deployed files a snapshot keeps, by the name they have in it.
struct Kept {
    std::string deployed;
    std::string name;
    bool Snapshot::*present;
};
std::vector<Kept> Keeps(const DialPlanPaths& paths)
{
    return {{paths.deployedDialPlanFile(), "dialplan", &Snapshot::dialPlanFile},
            {paths.deployedUninstaller(), "uninstall.exe", &Snapshot::uninstaller},
            {paths.deployedReadMe(), "ReadMe.txt", &Snapshot::readMe}};
}

[[noreturn]] void Fail(const std::string& folder, const std::string& problem)
{
    throw SnapshotError("The snapshot of the dial plan cannot be written to " + folder + ": " + problem +
                        ". Nothing has been changed.");
}

void WriteFile(const std::string& path, const std::string& text, const std::string& folder)
{
    FILE* file = platform::OpenFile(path, "wb");
    if (file == nullptr)
        Fail(folder, "cannot create " + path + " (GetLastError = " + std::to_string(GetLastError()) + ")");
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written)
        Fail(folder, "cannot write " + path + " whole (the disk may be full)");
}

// The manifest of a snapshot folder; null when it cannot be read.
nlohmann::json Manifest(const std::string& folder)
{
    std::string text;
    int error = 0;
    if (dialplan::ReadFileText(folder + kManifest, text, error) != dialplan::FileRead::Done)
        return nlohmann::json();
    const nlohmann::json manifest = nlohmann::json::parse(text, nullptr, false);
    return manifest.is_object() ? manifest : nlohmann::json();
}

// The complete snapshots with their place in the order in which they were
// taken: the clock alone cannot tell the snapshots of one second apart.
std::vector<std::pair<long long, std::string>> Numbered(const DialPlanPaths& paths)
{
    std::vector<std::pair<long long, std::string>> numbered;
    for (const std::string& name : platform::FolderEntries(paths.historyFolder())) {
        if (name.empty() || name[0] == '.')
            continue;
        const nlohmann::json manifest = Manifest(paths.historyFolder() + name + "\\");
        if (!manifest.is_null())
            numbered.emplace_back(manifest.value("sequence", 0LL), name);
    }
    std::sort(numbered.begin(), numbered.end());
    return numbered;
}

// Writes everything into the hidden folder partial; what the manifest tells.
nlohmann::ordered_json WriteContent(const DialPlanPaths& paths, const std::string& partial, const RowsText& rows,
                                    const std::string& operation, const std::string& time)
{
    const std::vector<std::pair<long long, std::string>> taken = Numbered(paths);
    nlohmann::ordered_json manifest = {{"name", paths.name()},
                                       {"operation", operation},
                                       {"time", time},
                                       {"sequence", taken.empty() ? 1 : taken.back().first + 1},
                                       {"installed", static_cast<bool>(rows)}};
    if (rows) {
        std::string text;
        try {
            text = rows();
        } catch (const PlanFileError& error) {
            Fail(partial, error.what());
        }
        WriteFile(partial + kRows, text, partial);
    }
    nlohmann::ordered_json files = nlohmann::ordered_json::object();
    for (const Kept& kept : Keeps(paths)) {
        const bool present = platform::IsReadableFile(kept.deployed);
        if (present && !CopyFileA(kept.deployed.c_str(), (partial + kept.name).c_str(), TRUE))
            Fail(partial, "cannot copy " + kept.deployed + " (GetLastError = " + std::to_string(GetLastError()) + ")");
        files[kept.name] = present;
    }
    manifest["files"] = files;
    return manifest;
}

}  // namespace

std::string TakeSnapshot(const DialPlanPaths& paths, const std::string& operation, const RowsText& rows)
{
    const std::string history = paths.historyFolder();
    const std::string stamp = UtcNow(kUtcStamp);
    // Snapshots are taken under the machine's lock, so no other run writes one
    // meanwhile; the clock tells two of one process apart.
    const std::string partial = history + kPartial + stamp + "-" + operation + "-" +
                                std::to_string(static_cast<unsigned long>(std::clock())) + "\\";
    if (!MakeSureDirectoryPathExists(partial.c_str()))
        Fail(history, "cannot create the folder (GetLastError = " + std::to_string(GetLastError()) + ")");
    try {
        const nlohmann::ordered_json manifest = WriteContent(paths, partial, rows, operation, UtcNow(kUtcTime));
        WriteFile(partial + kManifest, manifest.dump(2) + "\n", partial);
        // The rename makes it a snapshot, whole; another one of the same
        // second gets a number.
        for (int n = 1; n < 100; ++n) {
            const std::string id = stamp + "-" + operation + (n == 1 ? "" : "-" + std::to_string(n));
            const std::string folder = history + id;
            if (MoveFileA(partial.substr(0, partial.size() - 1).c_str(), folder.c_str()))
                return id;
            if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
                Fail(history, "cannot rename " + partial + " (GetLastError = " + std::to_string(GetLastError()) + ")");
        }
        Fail(history, "too many snapshots of the same second");
    } catch (...) {
        platform::RemoveFolderTree(partial.substr(0, partial.size() - 1));
        throw;
    }
}

std::vector<std::string> SnapshotIds(const DialPlanPaths& paths)
{
    std::vector<std::string> ids;
    for (const auto& [sequence, id] : Numbered(paths))
        ids.push_back(id);
    return ids;
}

Snapshot ReadSnapshot(const DialPlanPaths& paths, const std::string& id)
{
    Snapshot snapshot;
    snapshot.id = id;
    snapshot.folder = paths.historyFolder() + id + "\\";
    const auto damaged = [&](const std::string& problem) {
        return SnapshotError("The snapshot " + snapshot.folder + " cannot be read: " + problem);
    };
    if (id.empty() || id[0] == '.' || id.find_first_of("\\/") != std::string::npos ||
        !platform::IsReadableFile(snapshot.folder + kManifest))
        throw damaged("there is no such snapshot of the dial plan " + paths.name());
    const nlohmann::json manifest = Manifest(snapshot.folder);
    if (!manifest.is_object() || !manifest.value("installed", nlohmann::json()).is_boolean())
        throw damaged(std::string(kManifest) + " is damaged");
    snapshot.operation = manifest.value("operation", "");
    snapshot.time = manifest.value("time", "");
    snapshot.installed = manifest["installed"].get<bool>();
    const nlohmann::json files = manifest.value("files", nlohmann::json::object());
    for (const Kept& kept : Keeps(paths))
        snapshot.*kept.present = files.value(kept.name, false);
    if (snapshot.installed) {
        dialplan::DialPlanFile file;
        try {
            file.Read(snapshot.folder + kRows);
        } catch (const dialplan::FileError& problem) {
            throw damaged(problem.what());
        }
        snapshot.rows = RowsOfFile(file);
    }
    return snapshot;
}

std::vector<KeptFile> KeptFiles(const DialPlanPaths& paths, const Snapshot& snapshot)
{
    std::vector<KeptFile> files;
    for (const Kept& kept : Keeps(paths))
        files.push_back({kept.deployed, snapshot.*kept.present ? snapshot.folder + kept.name : ""});
    return files;
}

void RemovePartialSnapshots(const DialPlanPaths& paths)
{
    for (const std::string& name : platform::FolderEntries(paths.historyFolder()))
        if (name.rfind(kPartial, 0) == 0)
            platform::RemoveFolderTree(paths.historyFolder() + name);
}

}  // namespace zentra_run
