#pragma once

// The agreement between the dial-plan file reader and the installer's own line
// readers. The installer checks every delivered file with the reader and only
// then lets its line readers and its digit-analysis ID rewrite work on it; they
// take sections, rows and fields by their own simpler rules. On every file that
// the reader accepts, those rules must give exactly what the reader found:
//
// - the description reader: the DialPlan row's description;
// - the DialPlanTag, DigitDiscardInstruction and DigitDiscardInstructionMember
//   readers: as many rows as the reader found, and per row the pkid and the
//   fields the installer keeps, GUIDs in their braces;
// - the rewrite: a file that the reader accepts again, with the same rows and
//   values but for the instructions' digitAnalysisIDs, which are the IDs the
//   rewrite gave, in row order.
//
// The fuzzer checks this on every input, the regression tests on the files it
// has found.

#include <string>
#include <vector>

namespace dialplan {
class DialPlanFile;
}  // namespace dialplan

namespace reader_agreement {

// A file that the installer's readers open by path, held in memory (a memfd,
// reached as /proc/self/fd/N), so that writing an input costs no disk.
class ScratchFile {
public:
    ScratchFile();
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the content. Throws std::runtime_error when it cannot.
    void write(const std::string& text);
    const std::string& path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

// What the installer's readers keep of a file: the description, and per
// section the column lists it fills, in the order of Sections().
struct InstallerLists {
    std::string description;
    // [section][column][row]
    std::vector<std::vector<std::vector<std::string>>> sections;
};

// A section the installer reads, with the names of the lists it fills.
struct SectionColumns {
    const char* section;
    std::vector<const char*> columns;
};
const std::vector<SectionColumns>& Sections();

// The lists of a fresh installer object after its four readers read the file
// at path.
InstallerLists ReadWithInstaller(const std::string& path);

// The lists the installer's readers must give for a file the reader accepted.
InstallerLists Expected(const dialplan::DialPlanFile& file);

// The first difference between what the installer must give and what it gave,
// said for a person; empty when there is none.
std::string Difference(const InstallerLists& expected, const InstallerLists& actual);

// Rewrites the accepted file's text with new digit-analysis IDs (the IDs its
// own instructions hold count as used, so that the new ones fill gaps) and
// reads the result again. The first difference from the accepted file beyond
// the digitAnalysisIDs, or a refusal of the rewritten text; empty when none.
std::string RewriteDifference(const dialplan::DialPlanFile& file, const std::string& text);

struct Verdict {
    bool accepted = false;
    // The reader's message when it refused the file.
    std::string refusal;
    // The first disagreement found on an accepted file; empty when none.
    std::string disagreement;
    // For an accepted file, a number below kShapeCount that tells files of
    // different build apart: the order of the three sections after DialPlan,
    // their row counts (none, one, a few, more than six), whether the
    // instructions run to the end of the file, and whether CheckInstallable
    // takes the file. The fuzzer keeps an input that shows a new one.
    unsigned shape = 0;
};
constexpr unsigned kShapeCount = 6 * 4 * 4 * 4 * 2 * 2;

// Reads text with the reader; when it accepts, writes it to scratch, reads it
// with the installer's readers and compares, checks the rewrite, and checks
// that CheckInstallable takes the dial plan under the DialPlan row's name
// exactly when the installer's instruction list begins with the predefined
// instructions, and refuses it under any other name.
Verdict Check(const std::string& text, ScratchFile& scratch);

}  // namespace reader_agreement
