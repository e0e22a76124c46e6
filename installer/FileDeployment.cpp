// The last step of an installation: copies the dial-plan file, the uninstaller
// and the read-me file from the current folder into their folders, and tells the
// user that the installation is complete.

#include "installer/CZentraSetup.h"

#include <string>

#include "installer/run/DialPlanPaths.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/Session.h"
#include "platform/Win32.h"

using zentra_run::ShowInstallerMessage;

namespace {

const char* const kCompletionText = "Installation Complete.\n"
                                    "Please run the install on the subscriber machine(s) also if exists.\n"
                                    "Please restart the ovx service to load the dial plan\n"
                                    "uninstall and ReadMe files are located at \n"
                                    " C:\\Program Files\\Norvane\\Orvilex\\Zentra";

// The dial plan's name: the file name without its ".csv" ending. A name that
// holds a dot keeps it, so that Foo.Bar deploys Foo.Bar's own files.
std::string DialPlanNameOf(const std::string& csvPath)
{
    static const std::string ending = ".csv";
    if (csvPath.size() >= ending.size() && csvPath.compare(csvPath.size() - ending.size(), ending.size(), ending) == 0)
        return csvPath.substr(0, csvPath.size() - ending.size());
    return csvPath;
}

// Copies source to destination, replacing a file already there; 0 on success,
// else the Windows error code of the copy.
DWORD CopyReplacing(const std::string& source, const std::string& destination)
{
    if (CopyFileA(source.c_str(), destination.c_str(), FALSE))
        return 0;
    return GetLastError();
}

void CopyUninstaller(zentra_run::Session& step, const zentra_run::DialPlanPaths& paths)
{
    const std::string destination = paths.deployedUninstaller();
    const DWORD error = CopyReplacing(zentra_run::DialPlanPaths::deliveredUninstaller(), destination);
    if (error == 0) {
        step.logFormat("Copied the uninstall file uninstall.exe to the path %s\n", destination);
        return;
    }
    step.logFormat("Failed to copy the uninstall file to the path %s\n", destination);
    step.logFormat("GetLastError = %d\n", static_cast<long>(error));
    ShowInstallerMessage("Failed to Copy the UnInstall file to the path " + destination + " ", "uninstall.exe");
}

void CopyReadMe(zentra_run::Session& step, const zentra_run::DialPlanPaths& paths)
{
    const std::string source = paths.deliveredReadMe();
    const std::string destination = paths.deployedReadMe();
    const DWORD error = CopyReplacing(source, destination);
    step.logFormat(error == 0 ? "Copied the ReadMe file %s" : "Failed to copy the ReadMe file %s", source);
    step.logFormat(" to the path %s\n", destination);
    if (error == 0)
        return;
    step.logFormat("GetLastError = %d\n", static_cast<long>(error));
    ShowInstallerMessage("Failed to Copy the ReadMe file to the path " + destination + " ", source);
}

}  // namespace

void CZentraSetup::CopyDialPlanFile()
{
    const zentra_run::DialPlanPaths paths(DialPlanNameOf(m_csvPath));
    zentra_run::Session step(*this);
    step.log("\n");
    step.logFormat("The dial plan file is %s", paths.name());

    // The dial-plan file that the call-processing service loads. Without it the
    // installation is not complete: nothing else is copied.
    const std::string destination = paths.deployedDialPlanFile();
    const DWORD error = CopyReplacing(paths.deliveredDialPlanFile(), destination);
    if (error != 0) {
        step.logFormat("Failed to copy the DialPlan file to the destination %s", destination);
        step.logFormat("GetLastError = %d\n", static_cast<long>(error));
        ShowInstallerMessage("Failed to Copy the DialPlan file to the path " + destination + " ", paths.name());
        return;
    }
    step.logFormat("Copied the Dial Plan file to = %s\n", destination);
    CopyUninstaller(step, paths);
    CopyReadMe(step, paths);
    step.closeLog();
    ShowInstallerMessage(kCompletionText, paths.name());
}
