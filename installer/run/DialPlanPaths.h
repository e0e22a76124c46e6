#pragma once

// Where everything of one dial plan lies, built in one place from its name:
// the files delivered in the current folder, the dial plan's folder with its
// logs and deployed files, and the dial-plan file that the call-processing
// service loads. The name is checked once, here, and with a usable name every
// path fits the 256-character buffers of the installer.

#include <optional>
#include <string>
#include <vector>

namespace zentra_run {

// The folders of all dial plans, as Windows paths.
constexpr const char* kZentraFolder = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
constexpr const char* kDialPlanFolder = "C:\\Program Files\\Norvane\\DialPlan\\";

// The longest dial plan name: with it every path of a dial plan fits in 255
// characters.
constexpr std::string::size_type kMaxDialPlanNameLength = 100;

// The size of the installer's path buffers, terminator included.
constexpr std::size_t kPathBufferSize = 256;

// Why a dial plan name cannot be used, or "" when it can. A name is refused when
// it is empty, longer than 100 characters, "." or "..", ends in a blank or a
// dot, or holds a character that a Windows file name cannot hold.
std::string CheckDialPlanName(const std::string& name);

class DialPlanPaths {
public:
    // The paths of a usable name; nothing, with the reason in problem (when
    // given), for a name that cannot be used.
    static std::optional<DialPlanPaths> Of(const std::string& name, std::string* problem = nullptr);

    // The paths of a name as it stands, unchecked: for a step that takes the
    // name from where an earlier step left it.
    explicit DialPlanPaths(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }

    // In the current folder: what a publisher delivers.
    std::string deliveredCsv() const { return name_ + ".csv"; }
    std::string keptCsv() const { return name_ + "_new.csv"; }
    std::string deliveredDialPlanFile() const { return name_; }
    std::string deliveredReadMe() const { return name_ + "ReadMe.txt"; }
    static std::string deliveredUninstaller() { return "uninstall.exe"; }

    // The dial plan's folder, ending in a backslash, and what lies in it.
    std::string folder() const { return kZentraFolder + name_ + "\\"; }
    std::string installLog() const { return folder() + name_ + "_install.txt"; }
    std::string uninstallLog() const { return folder() + name_ + "_uninstall.txt"; }
    std::string previewLog() const { return folder() + name_ + "_preview.txt"; }
    std::string restoreLog() const { return folder() + name_ + "_restore.txt"; }
    std::string rewrittenCopy() const { return folder() + deliveredCsv(); }
    std::string deployedUninstaller() const { return folder() + "uninstall.exe"; }
    std::string deployedReadMe() const { return folder() + "ReadMe.txt"; }
    // The snapshots of what runs replaced, one folder each, and the journal of
    // every run.
    std::string historyFolder() const { return folder() + "history\\"; }
    std::string journal() const { return folder() + "journal.jsonl"; }
    // The dial-plan file that the call-processing service loads.
    std::string deployedDialPlanFile() const { return kDialPlanFolder + name_; }

    // Every file that a run deploys or deletes for the dial plan.
    std::vector<std::string> deployedFiles() const
    {
        return {deployedDialPlanFile(), deployedUninstaller(), deployedReadMe(), rewrittenCopy()};
    }

    // The log of a removal run from where it is deployed, when the dial plan's
    // folder cannot take one: relative to the current folder.
    std::string fallbackLog() const { return name_ + "_install.txt"; }

private:
    std::string name_;
};

// Puts a path into one of the installer's buffers, zero-filled behind it; a
// path too long for it is cut (DialPlanPaths never gives one).
void CopyToBuffer(const std::string& path, char (&buffer)[kPathBufferSize]);

}  // namespace zentra_run
