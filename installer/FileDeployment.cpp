// The last step of an installation: copies the dial-plan file, the uninstaller
// and the read-me file from the current folder into their folders, and tells the
// user that the installation is complete.

#include "installer/CZentraSetup.h"

#include <string>

#include "installer/DialPlanName.h"
#include "installer/MessageDeferral.h"
#include "platform/Win32.h"

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

}  // namespace

void CZentraSetup::CopyDialPlanFile()
{
    const std::string name = DialPlanNameOf(m_csvPath);
    const std::string zentraFolder = std::string(kZentraFolder) + name + "\\";

    OpenLog();
    Log("\n");
    LogFormat("The dial plan file is %s", name);

    // The dial-plan file that the call-processing service loads. Without it the
    // installation is not complete: nothing else is copied.
    const std::string dialPlanDestination = std::string(kDialPlanFolder) + name;
    DWORD error = CopyReplacing(name, dialPlanDestination);
    if (error != 0) {
        LogFormat("Failed to copy the DialPlan file to the destination %s", dialPlanDestination);
        LogFormat("GetLastError = %d\n", static_cast<long>(error));
        ShowInstallerMessage("Failed to Copy the DialPlan file to the path " + dialPlanDestination + " ", name);
        CloseLog();
        return;
    }
    LogFormat("Copied the Dial Plan file to = %s\n", dialPlanDestination);

    const std::string uninstallDestination = zentraFolder + "uninstall.exe";
    error = CopyReplacing("uninstall.exe", uninstallDestination);
    if (error != 0) {
        LogFormat("Failed to copy the uninstall file to the path %s\n", uninstallDestination);
        LogFormat("GetLastError = %d\n", static_cast<long>(error));
        ShowInstallerMessage("Failed to Copy the UnInstall file to the path " + uninstallDestination + " ",
                             "uninstall.exe");
    } else {
        LogFormat("Copied the uninstall file uninstall.exe to the path %s\n", uninstallDestination);
    }

    const std::string readMeSource = name + "ReadMe.txt";
    const std::string readMeDestination = zentraFolder + "ReadMe.txt";
    error = CopyReplacing(readMeSource, readMeDestination);
    if (error != 0) {
        LogFormat("Failed to copy the ReadMe file %s", readMeSource);
        LogFormat(" to the path %s\n", readMeDestination);
        LogFormat("GetLastError = %d\n", static_cast<long>(error));
        ShowInstallerMessage("Failed to Copy the ReadMe file to the path " + readMeDestination + " ", readMeSource);
    } else {
        LogFormat("Copied the ReadMe file %s", readMeSource);
        LogFormat(" to the path %s\n", readMeDestination);
    }

    CloseLog();
    ShowInstallerMessage(kCompletionText, name);
}
