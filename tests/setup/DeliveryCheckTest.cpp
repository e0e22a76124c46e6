// Damaged deliveries against the built setup program: refused before anything
// is touched on both roads, with the database, the delivered files and the
// deployed files exactly as before; and well-formed files of every shape the
// format allows installed and upgraded exactly as the example itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentra_test;
using Lines = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

namespace {

const std::string kZentra = "C:\\Program Files\\Norvane\\Orvilex\\Zentra\\";

std::string Example(const std::string& version, const std::string& file)
{
    return ReadFile(SourceDir() + "/examples/" + version + "/" + file);
}

// The lines of a CR LF file, and back.
Lines Split(const std::string& text)
{
    Lines lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}
std::string Join(const Lines& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// Index of the first line that begins with text.
std::size_t IndexOf(const Lines& lines, const std::string& text)
{
    for (std::size_t k = 0; k < lines.size(); ++k)
        if (lines[k].rfind(text, 0) == 0)
            return k;
    throw std::out_of_range("no line begins with " + text);
}

// The section of lines from the marker on, up to and without the empty line
// that ends it.
Lines Section(const Lines& lines, const std::string& marker)
{
    const std::size_t first = IndexOf(lines, marker);
    std::size_t end = first;
    while (end < lines.size() && !lines[end].empty())
        ++end;
    return Lines(lines.begin() + static_cast<long>(first), lines.begin() + static_cast<long>(end));
}

class DeliveryCheckTest : public MachineTest {
protected:
    void deliver(const std::string& name, const std::string& csv)
    {
        WriteFile(name + ".csv", csv);
        WriteFile(name, Example("v1", "Example"));
        WriteFile(name + "ReadMe.txt", Example("v1", "ExampleReadMe.txt"));
        WriteFile("uninstall.exe", "uninstaller");
    }

    ProgramResult run(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{SetupProgramPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(argv, prefix->environment(), work->path());
    }

    // Every file below the prefix's drive and the working folder, with its bytes.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> all;
        for (const std::string& root : {prefix->path() + "/drive_c", work->path()}) {
            if (!fs::exists(root))
                continue;
            // The machine's run lock is made by the first run and stays, empty.
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (entry.is_regular_file() && entry.path().filename() != "Zentra.lock")
                    all[entry.path().string()] = ReadFile(entry.path().string());
            }
        }
        return all;
    }

    // Installs the example v1 and returns the rows it left.
    Rows installV1()
    {
        deliver("Example", Example("v1", "Example.csv"));
        const ProgramResult result = run({"Example"});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        return db->dialPlanRows();
    }
};

// The damaged files, each made from the example (v1 for a new installation,
// v2 for an upgrade of the installed v1), and what the refusal names.
struct Damage {
    const char* what;
    std::function<void(Lines&)> spoil;
    const char* problem;
};

const Damage kDamages[] = {
    {"a tag section without its own type row",
     [](Lines& l) { l.erase(l.begin() + static_cast<long>(IndexOf(l, "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER"))); },
     "stands before the type row of the DialPlanTag section"},
    {"a stray empty line among the tags",
     [](Lines& l) { l.insert(l.begin() + static_cast<long>(IndexOf(l, "Table:DialPlanTag")) + 5, ""); },
     "a data row stands between sections"},
    {"a stray empty line among the members",
     [](Lines& l) { l.insert(l.begin() + static_cast<long>(IndexOf(l, "Table:DigitDiscardInstructionMember")) + 9, ""); },
     "a data row stands between sections"},
    {"the predefined instructions out of order",
     [](Lines& l) { std::swap(l[IndexOf(l, "{706E2C61")], l[IndexOf(l, "{8A520744")]); },
     "is named \"PreAt\" where \"PreDot\" is expected"},
    {"an instruction type row of another text",
     [](Lines& l) { l[IndexOf(l, "UNIQUEIDENTIFIER,VARCHAR(0)")] = "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,INTEGER,UnknownText"; },
     "must read exactly"},
    {"a digitAnalysisID that is no 32-bit integer",
     [](Lines& l) {
         std::string& row = l[IndexOf(l, "{CAAD2A99")];
         row.replace(row.find(",7,"), 3, ",4294967296,");
     },
     "digitAnalysisID \"4294967296\" is not a decimal integer of 32 bits"},
};

TEST_P(DeliveryCheckTest, DamagedFilesAreRefusedOnBothRoadsWithNothingTouched)
{
    for (const bool upgrade : {false, true}) {
        if (upgrade)
            installV1();
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(std::string(damage.what) + (upgrade ? ", upgrade" : ", new installation"));
            Lines lines = Split(Example(upgrade ? "v2" : "v1", "Example.csv"));
            damage.spoil(lines);
            deliver("Example", Join(lines));
            const std::string before = db->snapshot();
            const std::map<std::string, std::string> filesBefore = files();

            const ProgramResult result = run({"Example"});

            EXPECT_EQ(result.exitCode, 8) << result.out << result.err;
            EXPECT_NE(result.err.find("[MessageBox] Installation Failed\nThe dial plan file Example.csv cannot be "
                                      "installed; nothing has been changed.\nExample.csv: line "),
                      std::string::npos)
                << result.err;
            EXPECT_NE(result.err.find(damage.problem), std::string::npos) << result.err;
            EXPECT_EQ(db->snapshot(), before);
            // The log of the run says why; nothing else was written anywhere.
            std::map<std::string, std::string> filesAfter = files();
            const std::string log = prefix->hostPath(kZentra + "Example\\Example_install.txt");
            ASSERT_EQ(filesAfter.count(log), 1u);
            EXPECT_NE(filesAfter[log].find("The dial plan file is refused: Example.csv: line "), std::string::npos);
            filesAfter.erase(log);
            std::map<std::string, std::string> expected = filesBefore;
            expected.erase(log);
            EXPECT_EQ(filesAfter, expected);
        }
    }
}

TEST_P(DeliveryCheckTest, ANameOtherThanTheFilesIsRefused)
{
    deliver("Other", Example("v1", "Example.csv"));
    const std::string before = db->snapshot();
    const ProgramResult result = run({"Other"});
    EXPECT_EQ(result.exitCode, 8) << result.out << result.err;
    EXPECT_NE(result.err.find("Other.csv: line 4: the DialPlan row names the dial plan \"Example\", but it is being "
                              "installed as \"Other\""),
              std::string::npos)
        << result.err;
    EXPECT_EQ(db->snapshot(), before);
    EXPECT_FALSE(FileExists(prefix->hostPath("C:\\Program Files\\Norvane\\DialPlan\\Other")));
}

// Files the format allows, each read exactly as the example: no final line
// end, bare LF, a final lone CR, markers with more commas, and the sections
// after DialPlan in another order.
std::string Reshaped(const std::string& csv, int shape)
{
    Lines lines = Split(csv);
    switch (shape) {
    case 0:  // bare LF, no line end after the last line
        return Join(lines, "\n").substr(0, Join(lines, "\n").size() - 1);
    case 1: {  // CR LF, but the last line ends in a lone CR
        const std::string text = Join(lines);
        return text.substr(0, text.size() - 1);
    }
    default: {  // markers with more commas, members first, then instructions, then tags
        const Lines dialPlan = Section(lines, "Table:DialPlan,,");
        Lines tags = Section(lines, "Table:DialPlanTag,,,,");
        Lines instructions = Section(lines, "Table:DigitDiscardInstruction,,,,");
        Lines members = Section(lines, "Table:DigitDiscardInstructionMember,,");
        for (Lines* section : {&tags, &instructions, &members})
            section->front() += ",,,";
        Lines all = dialPlan;
        for (const Lines* section : {&members, &instructions, &tags}) {
            all.push_back("");
            all.insert(all.end(), section->begin(), section->end());
        }
        return Join(all);
    }
    }
}

TEST_P(DeliveryCheckTest, EveryShapeOfAWellFormedFileInstallsAndUpgradesAsTheExample)
{
    const Rows v1 = installV1();
    deliver("Example", Example("v2", "Example.csv"));
    ASSERT_EQ(run({"Example"}).exitCode, 0);
    const Rows v2 = db->dialPlanRows();

    for (int shape = 0; shape < 3; ++shape) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        ASSERT_EQ(RunProgram({UninstallProgramPath(), "Example"}, prefix->environment(), work->path()).exitCode, 0);
        for (const char* file : {"Example.csv", "Example_new.csv"})
            fs::remove(work->path() + "/" + file);
        deliver("Example", Reshaped(Example("v1", "Example.csv"), shape));
        ProgramResult result = run({"Example"});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_EQ(db->dialPlanRows(), v1);
        deliver("Example", Reshaped(Example("v2", "Example.csv"), shape));
        result = run({"Example"});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_EQ(db->dialPlanRows(), v2);
    }
}

// Every braced GUID of the text in lower case.
std::string LowerCaseGuids(std::string text)
{
    for (std::string::size_type at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1))
        if (at + 37 < text.size() && text[at + 37] == '}')
            std::transform(text.begin() + static_cast<long>(at), text.begin() + static_cast<long>(at) + 38,
                           text.begin() + static_cast<long>(at),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST_P(DeliveryCheckTest, NewInstructionIdsAndLowerCasePkidsOfAnUpgradeAreHandledSoundly)
{
    installV1();
    deliver("Example", Example("v2", "Example.csv"));
    ASSERT_EQ(run({"Example"}).exitCode, 0);
    Rows expected = db->dialPlanRows();

    // Again from v1, but another dial plan's instruction holds the ID 9001
    // that v2 gives its new instruction, and the file writes every pkid in
    // lower case.
    ASSERT_EQ(RunProgram({UninstallProgramPath(), "Example"}, prefix->environment(), work->path()).exitCode, 0);
    fs::remove(work->path() + "/Example_new.csv");
    installV1();
    db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID) values "
             "('0D0D0D0D-0000-4000-8000-000000000001', 'Other', '0D0D0D0D-0000-4000-8000-000000000002', 9001)");
    deliver("Example", LowerCaseGuids(Example("v2", "Example.csv")));
    const ProgramResult result = run({"Example"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

    // The same rows as the first upgrade: nothing installed deleted and
    // inserted again, no member lost; only the new instruction takes the
    // smallest free ID above the predefined ones (10, which the upgrade freed).
    for (auto& row : expected)
        if (row[0] == "Instruction" && row[2] == "Carrier Access")
            row[4] = "10";
    expected.push_back({"Instruction", "0D0D0D0D-0000-4000-8000-000000000001", "Other",
                        "0D0D0D0D-0000-4000-8000-000000000002", "9001", ""});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(db->dialPlanRows(), expected);
    const std::string log = ReadFile(prefix->hostPath(kZentra + "Example\\Example_install.txt"));
    EXPECT_NE(log.find("NewDDI Carrier Access: the file's digitAnalysisID 9001 is held by another instruction; it "
                       "gets 10\n"),
              std::string::npos);
    EXPECT_NE(log.find("', 'Carrier Access', '3E9A708C-A013-5028-AA5A-C48DC6A7F5AB', '10', 'TRANSIT-NETWORK')"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, DeliveryCheckTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) { return BackendName(param.param); });

}  // namespace
