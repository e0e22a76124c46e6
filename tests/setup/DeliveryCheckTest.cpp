// Damaged deliveries against the built setup program: refused before anything
// is touched on both roads, with the database, the delivered files and the
// deployed files exactly as before; and well-formed files of every shape the
// format allows installed and upgraded exactly as the example itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "installer/run/DialPlanPaths.h"
#include "setup/SetupMachineTest.h"
#include "support/DialPlanModel.h"

using namespace zentra_test;

namespace {

using Spoil = std::function<std::string(std::string)>;
// A spoil that replaces the first from in the text by to.
Spoil Replacing(const std::string& from, const std::string& to)
{
    return [=](std::string text) { return text.replace(text.find(from), from.size(), to); };
}

class DeliveryCheckTest : public SetupMachineTest {
protected:
    // Delivers csv as the example's version and runs the setup program: the rows it left.
    RowList install(const std::string& version, const std::string& csv = "")
    {
        deliver(version, csv);
        const ProgramResult result = runSetup({"Example"});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        return db->dialPlanRows();
    }
    void uninstall() { ASSERT_EQ(runUninstall({"Example"}).exitCode, 0); }
};

// Each damage spoils the example (v1 on the new installation's road, v2 on the
// upgrade of v1), or delivers it under another name; problem is what the
// refusal names.
struct Damage {
    const char* what;
    Spoil spoil;
    const char* problem;
    const char* name = "Example";
};
const Damage kDamages[] = {
    {"a tag section without its own type row",
     Replacing("UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)\r\n", ""),
     "stands before the type row of the DialPlanTag section"},
    {"a stray empty line among the tags", Replacing("{F6A1B6C7", "\r\n{F6A1B6C7"),
     "a data row stands between sections"},
    {"a stray empty line among the members", Replacing("{CABBC007", "\r\n{CABBC007"),
     "a data row stands between sections"},
    {"the predefined instructions out of order",
     [](std::string t) {
         const auto preAt = t.find("{8A520744");  // the line after PreDot's
         std::rotate(t.begin() + t.find("{706E2C61"), t.begin() + preAt, t.begin() + t.find('\n', preAt) + 1);
         return t;
     },
     "is named \"PreAt\" where \"PreDot\" is expected"},
    {"an instruction type row of another text", Replacing("VARCHAR(0)", "VARCHAR(50)"), "must read exactly"},
    {"a digitAnalysisID that is no 32-bit integer", Replacing("5AB},7,", "5AB},4294967296,"),
     "digitAnalysisID \"4294967296\" is not a decimal integer of 32 bits"},
    {"a name other than the file's", Replacing("", ""),
     "Other.csv: line 4: the DialPlan row names the dial plan \"Example\", but it is being installed as \"Other\"",
     "Other"},
};

TEST_P(DeliveryCheckTest, DamagedFilesAreRefusedOnBothRoadsWithNothingTouched)
{
    for (const bool upgrade : {false, true}) {
        if (upgrade)
            install("v1");
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(std::string(damage.what) + (upgrade ? ", upgrade" : ", new installation"));
            const std::string name = damage.name, version = upgrade ? "v2" : "v1";
            deliver(version, damage.spoil(example(version, "Example.csv")), name);
            const std::string before = db->snapshot();
            FileTree expected = files({"Zentra.lock", "journal.jsonl"});

            const ProgramResult result = runSetup({name});

            EXPECT_EQ(result.exitCode, 8) << result.out << result.err;
            EXPECT_NE(result.err.find("[MessageBox] Installation Failed\nThe dial plan file " + name +
                                      ".csv cannot be installed; nothing has been changed.\n" + name + ".csv: line "),
                      std::string::npos)
                << result.err;
            EXPECT_NE(result.err.find(damage.problem), std::string::npos) << result.err;
            EXPECT_EQ(db->snapshot(), before);
            // The run's log says why; nothing else was written anywhere.
            FileTree after = files({"Zentra.lock", "journal.jsonl"});
            const std::string log = hostPath(zentra_run::DialPlanPaths(name).installLog());
            EXPECT_NE(after[log].find("The dial plan file is refused: " + name + ".csv: line "), std::string::npos);
            expected[log] = after[log];
            EXPECT_EQ(after, expected);
        }
    }
}

// The example reshaped as the format allows: 0 bare LF and no final line end;
// 1 CR LF but a lone CR at the end; 2 markers with more commas and the
// sections after DialPlan in reverse order.
std::string Reshaped(std::string csv, int shape)
{
    if (shape == 0)
        csv.erase(std::remove(csv.begin(), csv.end(), '\r'), csv.end());
    if (shape < 2)
        return csv.substr(0, csv.size() - 1);
    std::string sections[4];  // each with its last line end
    std::string::size_type at = 0;
    for (std::string& section : sections) {
        const std::string::size_type end = csv.find("\r\n\r\n", at);
        section = csv.substr(at, end == std::string::npos ? end : end + 2 - at);
        at = end + 4;
    }
    for (int k = 1; k < 4; ++k)
        sections[k].insert(sections[k].find("\r\n"), ",,,");
    return sections[0] + "\r\n" + sections[3] + "\r\n" + sections[2] + "\r\n" + sections[1];
}

TEST_P(DeliveryCheckTest, EveryShapeOfAWellFormedFileInstallsAndUpgradesAsTheExample)
{
    const RowList v1 = install("v1"), v2 = install("v2");
    for (int shape = 0; shape < 3; ++shape) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        uninstall();
        EXPECT_EQ(install("v1", Reshaped(example("v1", "Example.csv"), shape)), v1);
        EXPECT_EQ(install("v2", Reshaped(example("v2", "Example.csv"), shape)), v2);
    }
}

TEST_P(DeliveryCheckTest, NewInstructionIdsAndLowerCasePkidsOfAnUpgradeAreHandledSoundly)
{
    install("v1");
    RowList expected = install("v2");

    // Again from v1, but another dial plan's instruction holds the ID 9001 that
    // v2 gives its new instruction, and the file writes every pkid in lower case.
    uninstall();
    install("v1");
    db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID) values "
             "('0D0D0D0D-0000-4000-8000-000000000001', 'Other', '0D0D0D0D-0000-4000-8000-000000000002', 9001)");
    const RowList rows = install("v2", LowerCasePkids(example("v2", "Example.csv")));

    // The rows of the first upgrade: nothing installed deleted and inserted
    // again, no member lost; only the new instruction takes the smallest free ID
    // above the predefined ones (10, which the upgrade freed).
    for (auto& row : expected)
        if (row[0] == "Instruction" && row[2] == "Carrier Access")
            row[4] = "10";
    expected.push_back({"Instruction", "0D0D0D0D-0000-4000-8000-000000000001", "Other",
                        "0D0D0D0D-0000-4000-8000-000000000002", "9001", ""});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, expected);
    const std::string log = machineFile(zentra_run::DialPlanPaths("Example").installLog());
    EXPECT_NE(log.find("NewDDI Carrier Access: the file's digitAnalysisID 9001 is held by another instruction; it "
                       "gets 10\n"),
              std::string::npos);
    EXPECT_NE(log.find("', 'Carrier Access', '3E9A708C-A013-5028-AA5A-C48DC6A7F5AB', '10', 'TRANSIT-NETWORK')"),
              std::string::npos);
}

ZENTRA_ON_EVERY_BACKEND(DeliveryCheckTest);

}  // namespace
