// Deployment of a dial plan's files: the dial-plan file, the uninstaller and the
// read-me, each logged; failures shown one by one; the completion message.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";
const std::string kDialPlan = "C:\\Program Files\\Norvane\\DialPlan\\";
const std::string kCompletion =
    "Installation Complete.\nPlease run the install on the subscriber machine(s) also if "
    "exists.\nPlease restart the ovx service to load the dial plan\nuninstall and ReadMe files "
    "are located at \n C:\\Program Files\\Norvane\\Orvilex\\Zentra";

// Deployment touches no database; the prefix only maps the folders.
class CopyDialPlanFileTest : public ::testing::Test {
protected:
    CopyDialPlanFileTest() : prefix(Backend::SQLite), probe(setup) {}

    // The delivered files of a dial plan in the current folder, its folder, and
    // the installer pointed at it as ReplaceDAId leaves it.
    void deliver(const std::string& name)
    {
        WriteFile(work.path() + "/" + name, "dialplan " + name + "\n");
        WriteFile(work.path() + "/uninstall.exe", "uninstaller bytes");
        WriteFile(work.path() + "/" + name + "ReadMe.txt", "read me of " + name);
        fs::create_directories(prefix.hostPath(kZentra + name));
        probe.setLogPath(kZentra + name + "\\" + name + "_install.txt");
        probe.csvPath() = name + ".csv";
    }

    std::string deployed(const std::string& windowsPath) { return ReadFile(prefix.hostPath(windowsPath)); }
    bool isDeployed(const std::string& windowsPath) { return FileExists(prefix.hostPath(windowsPath)); }
    std::string logText(const std::string& name)
    {
        return deployed(kZentra + name + "\\" + name + "_install.txt");
    }

    Prefix prefix;
    WorkFolder work;
    MessageBoxCapture boxes;
    CZentraSetup setup;
    CZentraSetupTestProbe probe;
};

TEST_F(CopyDialPlanFileTest, CopiesAllThreeFilesAndShowsOnlyTheCompletionMessage)
{
    deliver("Foo");
    probe.CopyDialPlanFile();

    EXPECT_EQ(deployed(kDialPlan + "Foo"), "dialplan Foo\n");
    EXPECT_EQ(deployed(kZentra + "Foo\\uninstall.exe"), "uninstaller bytes");
    EXPECT_EQ(deployed(kZentra + "Foo\\ReadMe.txt"), "read me of Foo");
    EXPECT_EQ(logText("Foo"),
              "\nThe dial plan file is Foo"
              "Copied the Dial Plan file to = C:\\Program Files\\Norvane\\DialPlan\\Foo\n"
              "Copied the uninstall file uninstall.exe to the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\n"
              "Copied the ReadMe file FooReadMe.txt to the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\n");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Foo");
    EXPECT_EQ(boxes.boxes()[0].text, kCompletion);
    EXPECT_EQ(probe.log(), nullptr);
}

TEST_F(CopyDialPlanFileTest, ReplacesFilesAlreadyDeployed)
{
    deliver("Foo");
    WriteFile(prefix.hostPath(kDialPlan + "Foo"), "older dial plan");
    WriteFile(prefix.hostPath(kZentra + "Foo\\uninstall.exe"), "older uninstaller");
    WriteFile(prefix.hostPath(kZentra + "Foo\\ReadMe.txt"), "older read-me");

    probe.CopyDialPlanFile();

    EXPECT_EQ(deployed(kDialPlan + "Foo"), "dialplan Foo\n");
    EXPECT_EQ(deployed(kZentra + "Foo\\uninstall.exe"), "uninstaller bytes");
    EXPECT_EQ(deployed(kZentra + "Foo\\ReadMe.txt"), "read me of Foo");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kCompletion);
}

TEST_F(CopyDialPlanFileTest, MissingDialPlanFileStopsWithOneMessageAndCopiesNothingElse)
{
    deliver("Foo");
    fs::remove(work.path() + "/Foo");

    probe.CopyDialPlanFile();

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Foo");
    EXPECT_EQ(boxes.boxes()[0].text,
              "Failed to Copy the DialPlan file to the path C:\\Program Files\\Norvane\\DialPlan\\Foo ");
    EXPECT_EQ(logText("Foo"),
              "\nThe dial plan file is Foo"
              "Failed to copy the DialPlan file to the destination "
              "C:\\Program Files\\Norvane\\DialPlan\\Foo"
              "GetLastError = 2\n");
    EXPECT_FALSE(isDeployed(kDialPlan + "Foo"));
    EXPECT_FALSE(isDeployed(kZentra + "Foo\\uninstall.exe"));
    EXPECT_FALSE(isDeployed(kZentra + "Foo\\ReadMe.txt"));
}

TEST_F(CopyDialPlanFileTest, MissingReadMeIsShownAndTheCompletionFollows)
{
    deliver("Foo");
    fs::remove(work.path() + "/FooReadMe.txt");

    probe.CopyDialPlanFile();

    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, "FooReadMe.txt");
    EXPECT_EQ(boxes.boxes()[0].text,
              "Failed to Copy the ReadMe file to the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt ");
    EXPECT_EQ(boxes.boxes()[1].caption, "Foo");
    EXPECT_EQ(boxes.boxes()[1].text, kCompletion);
    const std::string log = logText("Foo");
    const std::string tail =
        "Failed to copy the ReadMe file FooReadMe.txt to the path "
        "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\ReadMe.txt\n"
        "GetLastError = 2\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    EXPECT_TRUE(isDeployed(kDialPlan + "Foo"));
    EXPECT_TRUE(isDeployed(kZentra + "Foo\\uninstall.exe"));
}

TEST_F(CopyDialPlanFileTest, MissingUninstallerIsShownAndTheReadMeIsStillCopied)
{
    deliver("Foo");
    fs::remove(work.path() + "/uninstall.exe");

    probe.CopyDialPlanFile();

    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, "uninstall.exe");
    EXPECT_EQ(boxes.boxes()[0].text,
              "Failed to Copy the UnInstall file to the path "
              "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe ");
    EXPECT_EQ(boxes.boxes()[1].text, kCompletion);
    EXPECT_EQ(deployed(kZentra + "Foo\\ReadMe.txt"), "read me of Foo");
    EXPECT_NE(logText("Foo").find("Failed to copy the uninstall file to the path "
                                  "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\uninstall.exe\n"
                                  "GetLastError = 2\n"
                                  "Copied the ReadMe file FooReadMe.txt"),
              std::string::npos);
}

TEST_F(CopyDialPlanFileTest, NameWithADotDeploysItsOwnFiles)
{
    deliver("Foo");  // files of another dial plan Foo beside it
    fs::remove_all(prefix.hostPath(kZentra + "Foo"));
    deliver("Foo.Bar");

    probe.CopyDialPlanFile();

    EXPECT_EQ(deployed(kDialPlan + "Foo.Bar"), "dialplan Foo.Bar\n");
    EXPECT_EQ(deployed(kZentra + "Foo.Bar\\ReadMe.txt"), "read me of Foo.Bar");
    EXPECT_EQ(deployed(kZentra + "Foo.Bar\\uninstall.exe"), "uninstaller bytes");
    EXPECT_FALSE(isDeployed(kDialPlan + "Foo"));
    EXPECT_FALSE(isDeployed(kZentra + "Foo"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Foo.Bar");
    EXPECT_EQ(logText("Foo.Bar").substr(0, 30), "\nThe dial plan file is Foo.Bar");
}

TEST_F(CopyDialPlanFileTest, PathWithoutCsvEndingIsTakenWhole)
{
    deliver("Foo");
    probe.csvPath() = "Foo";

    probe.CopyDialPlanFile();

    EXPECT_TRUE(isDeployed(kDialPlan + "Foo"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Foo");
}

TEST_F(CopyDialPlanFileTest, UnsetPathFailsTheDialPlanCopyWithAnEmptyTitle)
{
    deliver("Foo");
    probe.csvPath() = "";

    probe.CopyDialPlanFile();

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "");
    EXPECT_EQ(boxes.boxes()[0].text,
              "Failed to Copy the DialPlan file to the path C:\\Program Files\\Norvane\\DialPlan\\ ");
    EXPECT_FALSE(isDeployed(kZentra + "Foo\\uninstall.exe"));
}

TEST_F(CopyDialPlanFileTest, PercentSignsAndQuotesInTheNameAreLoggedLiterally)
{
    const std::string name = "O'Neil 100%s%d%n";
    deliver(name);

    probe.CopyDialPlanFile();

    EXPECT_EQ(deployed(kDialPlan + name), "dialplan " + name + "\n");
    EXPECT_EQ(logText(name),
              "\nThe dial plan file is " + name + "Copied the Dial Plan file to = " + kDialPlan +
                  name + "\nCopied the uninstall file uninstall.exe to the path " + kZentra + name +
                  "\\uninstall.exe\nCopied the ReadMe file " + name + "ReadMe.txt to the path " +
                  kZentra + name + "\\ReadMe.txt\n");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, name);
}

}  // namespace
