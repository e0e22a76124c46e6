// The loader's pieces that need no database: the connection string and the
// reading of dial-plan files.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "loader/ConnectString.h"
#include "loader/Quillet.h"
#include "loader/DialPlanFile.h"
#include "support/TestSupport.h"

namespace {

using quillet::DialPlanFile;
using quillet::FileError;
using quillet::Table;

TEST(LoaderConnectString, HasTheProductFormAndAddsUserAndPasswordOnlyWhenGiven)
{
    EXPECT_EQ(quillet::BuildConnectString("DBHOST", "CfgDb", "", ""),
              "Driver={SQL Server};Server=DBHOST;Database=CfgDb;Trusted_Connection=yes");
    EXPECT_EQ(quillet::BuildConnectString("", "CfgDb", "", ""),
              "Driver={SQL Server};;Database=CfgDb;Trusted_Connection=yes");
    EXPECT_EQ(quillet::BuildConnectString("DBHOST", "", "", ""),
              "Driver={SQL Server};Server=DBHOST;Trusted_Connection=yes");
    EXPECT_EQ(quillet::BuildConnectString("DBHOST", "CfgDb", "sa", "secret"),
              "Driver={SQL Server};Server=DBHOST;Database=CfgDb;Trusted_Connection=yes;UID=sa;PWD=secret");
    EXPECT_EQ(quillet::BuildConnectString("DBHOST", "CfgDb", "sa", ""),
              "Driver={SQL Server};Server=DBHOST;Database=CfgDb;Trusted_Connection=yes;UID=sa;PWD=");
}

TEST(LoaderConnectString, BracesValuesThatWouldEndTheirAttribute)
{
    // A password must not be able to add attributes of its own.
    EXPECT_EQ(quillet::BuildConnectString("DBHOST", "CfgDb", "sa", "a;Driver={x}"),
              "Driver={SQL Server};Server=DBHOST;Database=CfgDb;Trusted_Connection=yes;UID=sa;PWD={a;Driver={x}}}");
    EXPECT_EQ(quillet::ConnectStringValue(" padded"), "{ padded}");
    EXPECT_EQ(quillet::ConnectStringValue("C:/data/orvilex.db"), "C:/data/orvilex.db");
}

TEST(LoaderValues, GuidsMustBeBracedAndWellFormed)
{
    quillet::Guid upper, lower;
    ASSERT_TRUE(quillet::ParseBracedGuid("{0123ABCD-4567-89EF-0123-456789ABCDEF}", upper));
    ASSERT_TRUE(quillet::ParseBracedGuid("{0123abcd-4567-89ef-0123-456789abcdef}", lower));
    EXPECT_EQ(upper, lower);
    quillet::Guid other;
    ASSERT_TRUE(quillet::ParseBracedGuid("{0123ABCD-4567-89EF-0123-456789ABCDEE}", other));
    EXPECT_NE(upper, other);
    quillet::Guid ignored;
    for (const char* bad : {"0123ABCD-4567-89EF-0123-456789ABCDEF", "{0123ABCD-4567-89EF-0123-456789ABCDEF",
                            "{0123ABCD-4567-89EF-0123-456789ABCDEG}", "{0123ABCD+4567-89EF-0123-456789ABCDEF}",
                            " {0123ABCD-4567-89EF-0123-456789ABCDEF}", "{}", ""})
        EXPECT_FALSE(quillet::ParseBracedGuid(bad, ignored)) << bad;
}

TEST(LoaderValues, DigitAnalysisIdsAreDecimal32BitIntegers)
{
    int value = 0;
    ASSERT_TRUE(quillet::ParseInt32("2147483647", value));
    EXPECT_EQ(value, 2147483647);
    ASSERT_TRUE(quillet::ParseInt32("-2147483648", value));
    EXPECT_EQ(value, -2147483647 - 1);
    for (const char* bad : {"", "-", "2147483648", "7x", " 7", "0x10", "99999999999999999999"})
        EXPECT_FALSE(quillet::ParseInt32(bad, value)) << bad;
}

// A file in the current folder, read by the loader.
class LoaderFile : public ::testing::Test {
protected:
    zentra_test::WorkFolder work;

    void read(const std::string& text)
    {
        zentra_test::WriteFile(work.path() + "/plan.csv", text);
        file.Read("plan.csv");
    }
    std::string value(Table table, std::size_t row, std::size_t column)
    {
        return std::string(file.section(table).rows.at(row).values.at(column));
    }
    DialPlanFile file;
};

const char* const kDialPlan = "{11111111-2222-3333-4444-555555555555}";
const char* const kTag = "{A0000000-0000-4000-8000-000000000001}";
const char* const kInstruction = "{B0000000-0000-4000-8000-000000000001}";

// A liberal file: no blank line at the end, markers with extra text, more lines
// between marker and type row, sections in another order, fields that hold
// commas, quotes and blanks, and a tkOperator_Max of two characters.
TEST_F(LoaderFile, ReadsTheLiberalFormsOfTheFormat)
{
    const std::string text =
        std::string("Table:DialPlan\n"
                    "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)\n") +
        kDialPlan + ",Plan,\"Quoted, not really\", 100%\n"
        "\n"
        "some text outside of any section\n"
        "Table:DigitDiscardInstructionMember,,,extra\n"
        "pkid,fkDigitDiscardInstruction,fkDialPlanTag\n"
        "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER\n"
        "{C0000000-0000-4000-8000-000000000001}," + kInstruction + "," + kTag + "\n"
        "\n"
        "Table:DigitDiscardInstruction,,,,\n"
        "pkid,name,fkDialPlan,digitAnalysisID,clause\n"
        "a comment line\n"
        "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\n" +
        kInstruction + ",Eleven, digits," + kDialPlan + ",-12,A, B,,C\n"
        "\n"
        "Table:DialPlanTag,,,,\n"
        "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\n" +
        kTag + ", TAG ," + kDialPlan + ",t,12";
    // The instruction's name holds a comma: it is refused as a wrong pkid, since
    // only the last field may hold commas.
    EXPECT_THROW(read(text), FileError);

    std::string fixed = text;
    fixed.replace(fixed.find("Eleven, digits"), 14, "Eleven digits");
    ASSERT_NO_THROW(read(fixed));
    EXPECT_EQ(value(Table::DialPlan, 0, 0), "11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(value(Table::DialPlan, 0, 2), "\"Quoted, not really\", 100%");
    EXPECT_EQ(value(Table::DigitDiscardInstruction, 0, 3), "-12");
    EXPECT_EQ(value(Table::DigitDiscardInstruction, 0, 4), "A, B,,C");
    EXPECT_EQ(value(Table::DialPlanTag, 0, 1), " TAG ");
    EXPECT_EQ(value(Table::DialPlanTag, 0, 4), "1");
    EXPECT_EQ(value(Table::DigitDiscardInstructionMember, 0, 2), "A0000000-0000-4000-8000-000000000001");
    EXPECT_EQ(file.section(Table::DialPlanTag).rows.at(0).line, 19);
    EXPECT_EQ(file.section(Table::DigitDiscardInstruction).typeRowLine, 14);
}

TEST_F(LoaderFile, CrLfAndLfGiveTheSameRowsAndAnEmptyLastFieldStaysEmpty)
{
    std::string lf = std::string("Table:DialPlan,,\nUNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)\n") + kDialPlan +
                     ",P,\n\nTable:DialPlanTag,,,,\nUNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\n" +
                     kTag + ",T," + kDialPlan + ",f,\n\nTable:DigitDiscardInstruction,,,,\n"
                     "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\n\n"
                     "Table:DigitDiscardInstructionMember,,\nUNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

    ASSERT_NO_THROW(read(crlf));
    EXPECT_EQ(value(Table::DialPlan, 0, 2), "");
    EXPECT_EQ(value(Table::DialPlanTag, 0, 3), "f");
    EXPECT_EQ(value(Table::DialPlanTag, 0, 4), "");
    EXPECT_TRUE(file.section(Table::DigitDiscardInstruction).rows.empty());
    const long crlfTagLine = file.section(Table::DialPlanTag).rows.at(0).line;
    ASSERT_NO_THROW(read(lf));
    EXPECT_EQ(value(Table::DialPlanTag, 0, 4), "");
    EXPECT_EQ(file.section(Table::DialPlanTag).rows.at(0).line, crlfTagLine);
}

TEST_F(LoaderFile, AMissingFileOrAFolderIsRefusedWithTheSystemsReason)
{
    try {
        file.Read("absent.csv");
        FAIL() << "a missing file was read";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "absent.csv: cannot open the file: No such file or directory");
    }
    EXPECT_THROW(file.Read("."), FileError);
}

// Each thread sees the message of its own last call.
TEST_F(LoaderFile, TheLastErrorBelongsToTheCallingThread)
{
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
