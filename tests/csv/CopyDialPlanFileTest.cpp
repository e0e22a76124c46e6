// Deployment of a dial plan's files: the dial-plan file, the uninstaller and the
// read-me, each logged; failures shown one by one; the completion message.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "csv/CsvFixture.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace csv_test;
using namespace zentra_test;

namespace {

const std::string kCompletion =
    "Installation Complete.\nPlease run the install on the subscriber machine(s) also if "
    "exists.\nPlease restart the ovx service to load the dial plan\nuninstall and ReadMe files "
    "are located at \n C:\\Program Files\\Norvane\\Orvilex\\Zentra";

// The log lines of each copy that succeeded, for the dial plan Foo.
const std::string kLogStart = "\nThe dial plan file is Foo";
const std::string kLogDialPlan = "Copied the Dial Plan file to = C:\\Program Files\\Norvane\\DialPlan\\Foo\n";
const std::string kLogUninstall = "Copied the uninstall file uninstall.exe to the path "
                                  "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\n";
const std::string kLogReadMe = "Copied the ReadMe file FooReadMe.txt to the path "
                               "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\n";

// The whole log of a deployment of name in which every copy succeeded.
std::string LogOfAllCopied(const std::string& name)
{
    return "\nThe dial plan file is " + name + "Copied the Dial Plan file to = " + kDialPlan + name +
           "\nCopied the uninstall file uninstall.exe to the path " + kZentra + name +
           "\\uninstall.exe\nCopied the ReadMe file " + name + "ReadMe.txt to the path " + kZentra + name +
           "\\ReadMe.txt\n";
}

// Deployment touches no database; the prefix only maps the folders.
TEST(CopyDialPlanFile, DeploysEachFileItCanAndReportsEachItCannot)
{
    using Boxes = std::vector<std::pair<std::string, std::string>>;  // caption, text
    const std::string quoted = "O'Neil 100%s%d%n";
    const struct {
        const char* title;
        std::string name;
        std::string missing;  // a delivered file removed before deployment
        bool older;           // older files are deployed already
        Boxes boxes;
        std::string log;
        bool deployed[3];  // afterwards: the dial-plan file, the uninstaller, the read-me
    } cases[] = {
        {"all files copied, replacing those deployed before",
         "Foo",
         "",
         true,
         {{"Foo", kCompletion}},
         kLogStart + kLogDialPlan + kLogUninstall + kLogReadMe,
         {true, true, true}},
        {"the dial-plan file missing stops the deployment",
         "Foo",
         "Foo",
         false,
         {{"Foo", "Failed to Copy the DialPlan file to the path C:\\Program Files\\Norvane\\DialPlan\\Foo "}},
         kLogStart + "Failed to copy the DialPlan file to the destination "
                     "C:\\Program Files\\Norvane\\DialPlan\\FooGetLastError = 2\n",
         {false, false, false}},
        {"the read-me missing is shown before the completion",
         "Foo",
         "FooReadMe.txt",
         false,
         {{"FooReadMe.txt", "Failed to Copy the ReadMe file to the path "
                            "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt "},
          {"Foo", kCompletion}},
         kLogStart + kLogDialPlan + kLogUninstall +
             "Failed to copy the ReadMe file FooReadMe.txt to the path "
             "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\nGetLastError = 2\n",
         {true, true, false}},
        {"the uninstaller missing does not keep the read-me back",
         "Foo",
         "uninstall.exe",
         false,
         {{"uninstall.exe", "Failed to Copy the UnInstall file to the path "
                            "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe "},
          {"Foo", kCompletion}},
         kLogStart + kLogDialPlan +
             "Failed to copy the uninstall file to the path "
             "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\nGetLastError = 2\n" +
             kLogReadMe,
         {true, false, true}},
        // Delivered beside the files of another dial plan Foo.
        {"a name with a dot deploys its own files",
         "Foo.Bar",
         "",
         false,
         {{"Foo.Bar", kCompletion}},
         LogOfAllCopied("Foo.Bar"),
         {true, true, true}},
        {"percent signs and quotes in the name logged literally",
         quoted,
         "",
         false,
         {{quoted, kCompletion}},
         LogOfAllCopied(quoted),
         {true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Prefix prefix(Backend::SQLite);
        WorkFolder work;
        MessageBoxCapture boxes;
        CZentraSetup setup;
        CZentraSetupTestProbe probe(setup);
        const std::string zentra = kZentra + c.name + "\\";
        const std::string files[3][2] = {{kDialPlan + c.name, "dialplan " + c.name + "\n"},
                                         {zentra + "uninstall.exe", "uninstaller bytes"},
                                         {zentra + "ReadMe.txt", "read me of " + c.name}};
        for (const std::string& name : {std::string("Foo"), c.name}) {
            WriteFile(name, "dialplan " + name + "\n");
            WriteFile(name + "ReadMe.txt", "read me of " + name);
        }
        WriteFile("uninstall.exe", "uninstaller bytes");
        if (!c.missing.empty())
            fs::remove(c.missing);
        fs::create_directories(prefix.hostPath(zentra));
        for (const auto& file : files)
            if (c.older)
                WriteFile(prefix.hostPath(file[0]), "an older file");
        // As ReplaceDAId leaves the installer.
        probe.setLogPath(zentra + c.name + "_install.txt");
        probe.csvPath() = c.name + ".csv";

        probe.CopyDialPlanFile();

        Boxes shown;
        for (const auto& box : boxes.boxes())
            shown.emplace_back(box.caption, box.text);
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(ReadFile(prefix.hostPath(zentra + c.name + "_install.txt")), c.log);
        EXPECT_EQ(probe.log(), nullptr);
        for (int k = 0; k < 3; ++k) {
            if (c.deployed[k])
                EXPECT_EQ(ReadFile(prefix.hostPath(files[k][0])), files[k][1]);
            else
                EXPECT_FALSE(FileExists(prefix.hostPath(files[k][0]))) << files[k][0];
        }
        EXPECT_EQ(FileExists(prefix.hostPath(kDialPlan + "Foo")), c.name == "Foo" && c.deployed[0]);
    }
}

}  // namespace
