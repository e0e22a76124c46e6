// The installer's line readers and its digit-analysis ID rewrite agree with
// the dial-plan file reader on the files that it accepts: the committed fuzzer
// corpus, files written in every way the format allows, and the files that
// would break the agreement if a rule of the reader were lost.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialplanfile/DialPlanFile.h"
#include "fuzz/ReaderAgreement.h"
#include "support/TestSupport.h"

using reader_agreement::Check;
using reader_agreement::InstallerLists;
using reader_agreement::ScratchFile;
using reader_agreement::Verdict;

namespace {

const std::string kPlan = "{11111111-2222-3333-4444-555555555555}";
const std::string kTag = "{A0000000-0000-4000-8000-000000000001}";
const std::string kInstruction = "{B0000000-0000-4000-8000-000000000007}";

using Lines = std::vector<std::string>;

std::string Join(const Lines& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// The sections of a small installable file, each with the empty line after it.
Lines PlanSection()
{
    return {"Table:DialPlan,,", "pkid,name,description", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
            kPlan + ",Plan,A plan, with commas", ""};
}
Lines TagSection()
{
    return {"Table:DialPlanTag,,,,",
            "pkid,tag,fkDialPlan,suppressFromRouteFilter,tkOperator_Max",
            "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
            kTag + ",INTERNATIONAL-ACCESS," + kPlan + ",f,1",
            "{A0000000-0000-4000-8000-000000000002},PRE-DOT," + kPlan + ",t,",
            ""};
}
Lines InstructionSection()
{
    Lines lines = {"Table:DigitDiscardInstruction,,,,", "pkid,name,fkDialPlan,digitAnalysisID,clause",
                   "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText"};
    for (std::size_t k = 0; k < dialplan::kPredefinedInstructions.size(); ++k)
        lines.push_back("{B0000000-0000-4000-8000-00000000000" + std::to_string(k + 1) + "}," +
                        dialplan::kPredefinedInstructions[k] + "," + kPlan + "," + std::to_string(k + 1) + ",PRE-DOT");
    lines.push_back(kInstruction + ",11D->10D," + kPlan + ",7,INTERNATIONAL-ACCESS, PRE-DOT,,");
    lines.push_back("");
    return lines;
}
Lines MemberSection()
{
    return {"Table:DigitDiscardInstructionMember,,", "pkid,fkDigitDiscardInstruction,fkDialPlanTag",
            "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
            "{C0000000-0000-4000-8000-000000000001}," + kInstruction + "," + kTag, ""};
}
Lines Sample()
{
    Lines lines = PlanSection();
    for (const Lines& section : {TagSection(), InstructionSection(), MemberSection()})
        lines.insert(lines.end(), section.begin(), section.end());
    return lines;
}

Lines Concat(std::initializer_list<Lines> parts)
{
    Lines lines;
    for (const Lines& part : parts)
        lines.insert(lines.end(), part.begin(), part.end());
    return lines;
}

Lines WithoutLastLine(Lines lines)
{
    lines.pop_back();
    return lines;
}

std::string WithoutFinalLineEnd(std::string text)
{
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

Verdict CheckText(const std::string& text)
{
    ScratchFile scratch;
    return Check(text, scratch);
}

// Every way of writing a file that the format allows, and some that it
// allows only just: each one accepted, and read alike by every reader.
TEST(ReaderAgreement, FilesWrittenInEveryAllowedWayAreReadAlikeByEveryReader)
{
    struct Case {
        const char* what;
        std::string text;
    };
    const Lines sample = Sample();
    const Lines instructionsLast = Concat({PlanSection(), TagSection(), MemberSection(), InstructionSection()});
    std::string loneCr = Join(WithoutLastLine(sample), "\n");
    loneCr.back() = '\r';
    std::string mixed = Join(sample);
    mixed.erase(mixed.find('\r'), 1);  // one line with a bare LF among CR LF
    // A CR inside the description, and a tag row ending in CR CR LF: its
    // tkOperator_Max is that CR.
    std::string carriages = Join(sample);
    carriages.insert(carriages.find("with commas"), "\r");
    carriages.replace(carriages.find(",t,\r\n") + 3, 2, "\r\r\n");
    const Case cases[] = {
        {"CR LF", Join(sample)},
        {"bare LF", Join(sample, "\n")},
        {"mixed line ends", mixed},
        {"no line end after the last row", WithoutFinalLineEnd(Join(WithoutLastLine(sample)))},
        {"a lone CR ending the file", loneCr},
        {"CRs inside fields", carriages},
        {"members, instructions, tags",
         Join(Concat({PlanSection(), MemberSection(), InstructionSection(), TagSection()}))},
        {"instructions last, running to the end of the file", Join(WithoutLastLine(instructionsLast))},
        {"instructions last, no line end at all", WithoutFinalLineEnd(Join(WithoutLastLine(instructionsLast)))},
        {"sections without rows",
         Join({"Table:DialPlan", "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)", kPlan + ",Plan,", "",
               "Table:DialPlanTag,,,,", "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)", "",
               "Table:DigitDiscardInstruction,,,,", "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
               "", "Table:DigitDiscardInstructionMember,,", "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER"})},
        {"markers with more text, notes between sections and before type rows",
         Join({"Table:DialPlan,,,extra",
               "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
               kPlan + ",Plan,\"Quoted, not\"",
               "",
               "a note",
               ",,,",
               "Table:DialPlanTag,,,,,",
               "a note, with a comma",
               "\"quoted\"",
               "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
               kTag + ", TAG ," + kPlan + ",,12",
               "",
               "",
               "x Table:DigitDiscardInstruction,,,, y",
               "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
               kInstruction + ",Name," + kPlan + ",-2147483648,UNIQUEIDENTIFIER, Table:DialPlan",
               "",
               "Table:DigitDiscardInstructionMember,,",
               "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
               "{c0000000-0000-4000-8000-000000000001}," + kInstruction + "," + kTag})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Verdict verdict = CheckText(c.text);
        EXPECT_TRUE(verdict.accepted) << verdict.refusal;
        EXPECT_EQ(verdict.disagreement, "");
    }
}

// The agreement check itself: it names the first value that differs, a row
// too many or too few, and a changed description, and finds nothing when the
// installer read what the reader found.
TEST(ReaderAgreement, DifferenceNamesTheFirstValueThatDiffers)
{
    dialplan::DialPlanFile file;
    ASSERT_NO_THROW(file.Parse("sample.csv", Join(Sample())));
    ScratchFile scratch;
    scratch.write(Join(Sample()));
    const InstallerLists read = reader_agreement::ReadWithInstaller(scratch.path());
    const InstallerLists expected = reader_agreement::Expected(file);
    ASSERT_EQ(reader_agreement::Difference(expected, read), "");
    ASSERT_EQ(read.sections.at(0).at(0).at(0), kTag);

    struct Case {
        const char* what;
        std::function<void(InstallerLists&)> change;
        const char* named;
    };
    const Case cases[] = {
        {"description", [](InstallerLists& l) { l.description += " "; }, "DialPlan description: the installer reads"},
        {"a braced pkid bare", [](InstallerLists& l) { l.sections[0][0][1] = "A0000000-0000-4000-8000-000000000002"; },
         "DialPlanTag row 2, pkid"},
        {"tkOperator_Max", [](InstallerLists& l) { l.sections[0][3][0] = "12"; }, "DialPlanTag row 1, tkOperator_Max"},
        {"a clause cut at a comma", [](InstallerLists& l) { l.sections[1][3][6] = "INTERNATIONAL-ACCESS"; },
         "DigitDiscardInstruction row 7, clause"},
        {"an instruction too many", [](InstallerLists& l) { l.sections[1][1].push_back("NoDigits"); },
         "DigitDiscardInstruction name: the installer reads 8 rows where the reader found 7"},
        {"no members", [](InstallerLists& l) { l.sections[2][2].clear(); },
         "DigitDiscardInstructionMember fkDialPlanTag: the installer reads 0 rows where the reader found 1"},
        {"a section lost", [](InstallerLists& l) { l.sections.pop_back(); }, "sections of the installer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerLists changed = read;
        c.change(changed);
        const std::string difference = reader_agreement::Difference(expected, changed);
        EXPECT_NE(difference.find(c.named), std::string::npos) << difference;
    }
}

// The committed corpus: the seeds that the fuzzer starts from, and the files
// that it found, or that break the agreement as soon as a rule of the reader
// is lost; the reader refuses those, with the rule's message. Every file of
// the corpus folders is listed here.
TEST(ReaderAgreement, CommittedCorpusIsAcceptedOrRefusedAsListedAndReadAlike)
{
    struct Case {
        const char* file;
        const char* refusal;
    };
    const Case cases[] = {
        {"seed/example-v1.csv", ""},
        {"seed/example-v2.csv", ""},
        // zentra-bench-gen --tags 6 --instructions 8 --members 12 --seed 1: v1/ and v2/
        {"seed/bench-6-tags-v1.csv", ""},
        {"seed/bench-6-tags-v2.csv", ""},
        {"seed/liberal-lf.csv", ""},
        // Read as the DialPlan type row by the description reader, which
        // would then take the column names for the DialPlan row.
        {"regression/dialplan-marker-holds-type-mark.csv",
         "input.csv: line 1: the marker line of the DialPlan section holds \"UNIQUEIDENTIFIER\""},
        // Taken for the instructions' type row by the rewrite.
        {"regression/description-holds-instruction-type-row.csv",
         "input.csv: line 4: a row holds the text "
         "\"UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText\""},
    };
    const std::filesystem::path corpus = std::filesystem::path(zentra_test::SourceDir()) / "fuzz" / "corpus";
    std::vector<std::string> listed, present;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        listed.push_back(c.file);
        const Verdict verdict = CheckText(zentra_test::ReadFile((corpus / c.file).string()));
        EXPECT_EQ(verdict.accepted, *c.refusal == '\0') << verdict.refusal;
        EXPECT_EQ(verdict.refusal.substr(0, std::string(c.refusal).size()), c.refusal);
        EXPECT_EQ(verdict.disagreement, "");
    }
    for (const char* folder : {"seed", "regression"})
        for (const auto& entry : std::filesystem::directory_iterator(corpus / folder))
            present.push_back(std::string(folder) + "/" + entry.path().filename().string());
    std::sort(listed.begin(), listed.end());
    std::sort(present.begin(), present.end());
    EXPECT_EQ(present, listed);
}

}  // namespace
