// The loader's pieces that need no database: the connection string, the values
// of the file, and files that cannot be read at all.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "loader/ConnectString.h"
#include "dialplanfile/DialPlanFile.h"
#include "loader/Quillet.h"
#include "support/TestSupport.h"

namespace {

TEST(LoaderConnectString, HasTheProductFormWithUserAndPasswordOnlyWhenGivenAndBracesRiskyValues)
{
    struct Case {
        const char *server, *database, *user, *password;
        std::string expected;
    };
    const std::string form = "Driver={SQL Server};Server=DBHOST;Database=CfgDb;Trusted_Connection=yes";
    const Case cases[] = {
        {"DBHOST", "CfgDb", "", "", form},
        {"", "CfgDb", "", "", "Driver={SQL Server};;Database=CfgDb;Trusted_Connection=yes"},
        {"DBHOST", "", "", "", "Driver={SQL Server};Server=DBHOST;Trusted_Connection=yes"},
        {"DBHOST", "CfgDb", "sa", "secret", form + ";UID=sa;PWD=secret"},
        {"DBHOST", "CfgDb", "sa", "", form + ";UID=sa;PWD="},
        // A password must not be able to add attributes of its own.
        {"DBHOST", "CfgDb", "sa", "a;Driver={x}", form + ";UID=sa;PWD={a;Driver={x}}}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quillet::BuildConnectString(c.server, c.database, c.user, c.password), c.expected) << c.password;
    EXPECT_EQ(quillet::ConnectStringValue(" padded"), "{ padded}");
    EXPECT_EQ(quillet::ConnectStringValue("C:/data/orvilex.db"), "C:/data/orvilex.db");
}

TEST(LoaderValues, GuidsAreBracedAndWellFormedAndDigitAnalysisIdsDecimal32BitIntegers)
{
    dialplan::Guid upper, lower, other;
    ASSERT_TRUE(dialplan::ParseBracedGuid("{0123ABCD-4567-89EF-0123-456789ABCDEF}", upper));
    ASSERT_TRUE(dialplan::ParseBracedGuid("{0123abcd-4567-89ef-0123-456789abcdef}", lower));
    ASSERT_TRUE(dialplan::ParseBracedGuid("{0123ABCD-4567-89EF-0123-456789ABCDEE}", other));
    EXPECT_EQ(upper, lower);
    EXPECT_NE(upper, other);
    for (const char* bad : {"0123ABCD-4567-89EF-0123-456789ABCDEF", "{0123ABCD-4567-89EF-0123-456789ABCDEF",
                            "{0123ABCD-4567-89EF-0123-456789ABCDEG}", "{0123ABCD+4567-89EF-0123-456789ABCDEF}",
                            " {0123ABCD-4567-89EF-0123-456789ABCDEF}", "{}", ""})
        EXPECT_FALSE(dialplan::ParseBracedGuid(bad, other)) << bad;

    int value = 0;
    EXPECT_TRUE(dialplan::ParseInt32("2147483647", value) && value == 2147483647);
    EXPECT_TRUE(dialplan::ParseInt32("-2147483648", value) && value == -2147483647 - 1);
    for (const char* bad : {"", "-", "2147483648", "7x", " 7", "0x10", "99999999999999999999"})
        EXPECT_FALSE(dialplan::ParseInt32(bad, value)) << bad;
}

// A missing file or a folder is refused with the system's reason; each thread
// sees the message of its own last call.
TEST(LoaderFile, RefusesAMissingFileOrAFolderAndKeepsTheLastErrorPerThread)
{
    zentra_test::WorkFolder work;
    ASSERT_EQ(CInstallCSVFile("", "", "", "", "."), QUILLET_FILE_REFUSED);
    EXPECT_STREQ(CInstallCSVFileLastError(), ".: cannot read the file: Is a directory");
    ASSERT_EQ(CInstallCSVFile("", "", "", "", "absent.csv"), QUILLET_FILE_REFUSED);
    std::string other;
    std::thread([&other] {
        EXPECT_EQ(CInstallCSVFile(nullptr, nullptr, nullptr, nullptr, nullptr), QUILLET_FILE_REFUSED);
        other = CInstallCSVFileLastError();
    }).join();
    EXPECT_EQ(other, "no dial-plan file was named");
    EXPECT_STREQ(CInstallCSVFileLastError(), "absent.csv: cannot open the file: No such file or directory");
}

}  // namespace
