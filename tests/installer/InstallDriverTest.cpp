// The install entry: log path, the lookup of the dial plan, and the hand-over
// of a file to the CSV loader.

#include <gtest/gtest.h>

#include "installer/CZentraSetup.h"
#include "installer/run/DialPlanPaths.h"
#include "platform/Win32.h"
#include "support/DialPlanModel.h"
#include "support/InstallerProbe.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

using zentra_run::DialPlanPaths;
using zentra_test::Backend;

namespace {

const char* const kFooPkid = "0A1B2C3D-4E5F-4061-8798-A9BACBDCEDFE";

class InstallDriverTest : public zentra_test::MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        if (!IsSkipped()) {
            ASSERT_EQ(0, setup.DBConnection());
        }
    }

    // The dial plan's folder, and its delivered file in the working folder.
    void makeFolder(const std::string& name)
    {
        ASSERT_TRUE(MakeSureDirectoryPathExists(DialPlanPaths(name).folder().c_str()));
        zentra_test::WriteFile(name + ".csv", zentra_test::CsvText(zentra_test::MakeDialPlan(name, 0xF0000000u, 1)));
    }

    std::string installLog(const std::string& name) { return machineFile(DialPlanPaths(name).installLog()); }

    CZentraSetup setup;
    CZentraSetupTestProbe probe{setup};
};

TEST_P(InstallDriverTest, NewDialPlanIsReportedWithItsLog)
{
    makeFolder("Foo");
    const std::string before = db->snapshot();
    EXPECT_EQ(6, setup.DialPlanMain("Foo"));
    EXPECT_STREQ("C:\\Program Files\\Norvane\\Orvilex\\Zentra\\Foo\\Foo_install.txt", probe.logPath());
    EXPECT_EQ("\n\nBefore the start of CheckNewDialPlan"
              "select * from DialPlan where name='Foo'select * from DialPlan where name='Foo'"
              "\n\nThe Dial Plan table entries are\npkid, name, description \nNew Installation",
              installLog("Foo"));
    EXPECT_EQ(before, db->snapshot());
    EXPECT_EQ("", probe.dialPlanPkid());
}

TEST_P(InstallDriverTest, LookupLogShowsTheRowRunTogether)
{
    makeFolder("Foo");
    db->exec(std::string("insert into DialPlan (pkid, name, description) values ('") + kFooPkid +
             "', 'Foo', 'North, 100%')");
    probe.setLogPath(DialPlanPaths("Foo").installLog());
    EXPECT_FALSE(probe.CheckNewDialPlan("Foo"));
    EXPECT_EQ(kFooPkid, probe.dialPlanPkid());
    EXPECT_EQ(std::string("\n\nBefore the start of CheckNewDialPlan"
                          "select * from DialPlan where name='Foo'select * from DialPlan where name='Foo'"
                          "\n\nThe Dial Plan table entries are\npkid, name, description \n") +
                  kFooPkid + "FooNorth, 100%\n",
              installLog("Foo"));
}

TEST_P(InstallDriverTest, NameWithQuoteOrPercentIsHandledLiterally)
{
    makeFolder("O'Brien 100%");
    EXPECT_EQ(6, setup.DialPlanMain("O'Brien 100%"));
    const std::string log = installLog("O'Brien 100%");
    EXPECT_NE(std::string::npos, log.find("select * from DialPlan where name='O''Brien 100%'")) << log;

    db->exec(std::string("insert into DialPlan (pkid, name, description) values ('") + kFooPkid +
             "', 'O''Brien 100%', 'quoted')");
    CZentraSetup second;
    CZentraSetupTestProbe secondProbe(second);
    ASSERT_EQ(0, second.DBConnection());
    secondProbe.setLogPath(probe.logPath());
    EXPECT_FALSE(secondProbe.CheckNewDialPlan("O'Brien 100%"));
    EXPECT_EQ(kFooPkid, secondProbe.dialPlanPkid());
}

TEST_P(InstallDriverTest, BadNameIsRefusedBeforeAnythingIsTouched)
{
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "a\\b", "..\\..\\x", "x/y", "end.", "end ", std::string(101, 'n')}) {
        CZentraSetup fresh;
        EXPECT_EQ(12, fresh.DialPlanMain(name)) << "name '" << name << "'";
        EXPECT_EQ(std::string(256, '\0'), std::string(CZentraSetupTestProbe(fresh).logPath(), 256));
    }
    ASSERT_EQ(9u, boxes->boxes().size());
    for (const auto& box : boxes->boxes())
        EXPECT_EQ("Installation Failed", box.caption);
}

TEST_P(InstallDriverTest, MissingFolderIsRefusedWithAMessage)
{
    EXPECT_EQ(12, setup.DialPlanMain("NoFolder"));
    ASSERT_EQ(1u, boxes->boxes().size());
    EXPECT_EQ("Installation Failed", boxes->boxes()[0].caption);
    EXPECT_NE(std::string::npos, boxes->boxes()[0].text.find("NoFolder_install.txt"));
    EXPECT_FALSE(onMachine(std::string(zentra_run::kZentraFolder) + "NoFolder"));
}

TEST_P(InstallDriverTest, LoaderFailureIsReportedAndLogged)
{
    makeFolder("Foo");
    ASSERT_EQ(6, setup.DialPlanMain("Foo"));
    EXPECT_FALSE(setup.ZentraInstallCSVFile("no-such-file.csv"));
    const std::string log = installLog("Foo");
    const std::string tail = log.substr(log.find("New Installation") + 16);
    EXPECT_EQ(0u, tail.find("Before calling ZentraInstallCSVFile\nAfter calling ZentraInstallCSVFile\n")) << tail;
    EXPECT_NE(std::string::npos, tail.find("The CSV loader failed with result")) << tail;
    EXPECT_NE(std::string::npos, tail.find("no-such-file.csv")) << tail;
}

ZENTRA_ON_EVERY_BACKEND(InstallDriverTest);

}  // namespace
