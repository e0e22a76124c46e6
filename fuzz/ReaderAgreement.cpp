#include "fuzz/ReaderAgreement.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "dialplanfile/DialPlanFile.h"
#include "installer/csv/FreeIds.h"
#include "installer/csv/IdRewrite.h"
#include "support/InstallerProbe.h"

namespace reader_agreement {

namespace {

using dialplan::Table;

// Where each list of the installer comes from in the reader's rows: the
// reader's column, and whether the installer keeps the value in its braces.
struct Source {
    std::size_t column;
    bool braced;
};
struct SectionSource {
    Table table;
    std::vector<Source> columns;
};

const std::vector<SectionSource>& SectionSources()
{
    static const std::vector<SectionSource> sources = {
        {Table::DialPlanTag, {{0, true}, {1, false}, {3, false}, {4, false}}},
        {Table::DigitDiscardInstruction, {{0, true}, {1, false}, {3, false}, {4, false}}},
        {Table::DigitDiscardInstructionMember, {{0, true}, {1, true}, {2, true}}},
    };
    return sources;
}

constexpr std::size_t kInstructions = 1;     // index in Sections()
constexpr std::size_t kInstructionName = 1;  // column of the instruction's name
constexpr std::size_t kDigitAnalysisId = 3;  // reader column of digitAnalysisID

// A value as a message shows it: quoted, bytes that are not printable escaped,
// long values cut short.
std::string Shown(const std::string& value)
{
    constexpr std::size_t kLongest = 80;
    std::string shown = "\"";
    for (std::size_t i = 0; i < value.size() && i < kLongest; ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (value.size() > kLongest)
        shown += "...";
    return shown + "\"";
}

// Whether CheckInstallable takes the file under name; refusal gets its message
// when it does not.
bool Installable(const dialplan::DialPlanFile& file, const std::string& name, std::string& refusal)
{
    try {
        file.CheckInstallable(name);
        return true;
    } catch (const dialplan::FileError& error) {
        refusal = error.what();
        return false;
    }
}

std::string InstallableDifference(const dialplan::DialPlanFile& file, const InstallerLists& installer)
{
    const std::string name(file.section(Table::DialPlan).rows.front().values[1]);
    const std::vector<std::string>& names = installer.sections[kInstructions][kInstructionName];
    bool predefinedFirst = names.size() >= dialplan::kPredefinedInstructions.size();
    for (std::size_t k = 0; predefinedFirst && k < dialplan::kPredefinedInstructions.size(); ++k)
        predefinedFirst = names[k] == dialplan::kPredefinedInstructions[k];

    std::string refusal;
    const bool installable = Installable(file, name, refusal);
    if (installable != predefinedFirst)
        return installable ? "CheckInstallable takes the file, but the installer's instruction list does not "
                             "begin with the six predefined instructions"
                           : "CheckInstallable refuses a file whose instruction list begins with the six "
                             "predefined instructions: " +
                                 refusal;
    if (Installable(file, name + "-other", refusal))
        return "CheckInstallable takes the dial plan " + Shown(name) + " under the name " + Shown(name + "-other");
    return std::string();
}

unsigned Shape(const dialplan::DialPlanFile& file, bool installable)
{
    const Table tables[] = {Table::DialPlanTag, Table::DigitDiscardInstruction, Table::DigitDiscardInstructionMember};
    // The order of the three sections, from the rank of each one's marker
    // line: the first one's rank, and whether the other two are swapped.
    unsigned rank[3] = {0, 0, 0};
    for (std::size_t a = 0; a < 3; ++a)
        for (std::size_t b = 0; b < 3; ++b)
            rank[a] += file.section(tables[b]).markerLine < file.section(tables[a]).markerLine ? 1u : 0u;
    unsigned shape = rank[0] * 2 + (rank[1] > rank[2] ? 1u : 0u);
    for (Table table : tables) {
        const std::size_t rows = file.section(table).rows.size();
        shape = shape * 4 + (rows == 0 ? 0u : rows == 1 ? 1u : rows <= 6 ? 2u : 3u);
    }
    const dialplan::Section& instructions = file.section(Table::DigitDiscardInstruction);
    const long lastLine = instructions.rows.empty() ? instructions.typeRowLine : instructions.rows.back().line;
    shape = shape * 2 + (lastLine == file.lineCount() ? 1u : 0u);
    return shape * 2 + (installable ? 1u : 0u);
}

}  // namespace

ScratchFile::ScratchFile() : fd_(memfd_create("dialplan-input", MFD_CLOEXEC))
{
    if (fd_ < 0)
        throw std::runtime_error(std::string("cannot make a file in memory: ") + std::strerror(errno));
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ScratchFile::~ScratchFile() { close(fd_); }

void ScratchFile::write(const std::string& text)
{
    if (ftruncate(fd_, 0) != 0)
        throw std::runtime_error(std::string("cannot empty the file in memory: ") + std::strerror(errno));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw std::runtime_error(std::string("cannot write the file in memory: ") + std::strerror(errno));
        done += static_cast<std::size_t>(written);
    }
}

const std::vector<SectionColumns>& Sections()
{
    static const std::vector<SectionColumns> sections = {
        {"DialPlanTag", {"pkid", "tag", "suppressFromRouteFilter", "tkOperator_Max"}},
        {"DigitDiscardInstruction", {"pkid", "name", "digitAnalysisID", "clause"}},
        {"DigitDiscardInstructionMember", {"pkid", "fkDigitDiscardInstruction", "fkDialPlanTag"}},
    };
    return sections;
}

InstallerLists ReadWithInstaller(const std::string& path)
{
    CZentraSetup setup;
    CZentraSetupTestProbe probe(setup);
    probe.csvPath() = path;
    probe.CSVReadDialPlanDescription();
    probe.CSVReadDialPlanTagTable();
    probe.CSVReadDigitDiscardInstructionTable();
    probe.CSVReadDigitDiscardInstructionMemberTable();

    InstallerLists lists;
    lists.description = probe.csvDescription();
    lists.sections = {
        {probe.csvTagPkids(), probe.csvTags(), probe.csvTagSuppress(), probe.csvTagOperatorMax()},
        {probe.csvDdiPkids(), probe.csvDdiNames(), probe.csvDdiDaIds(), probe.csvDdiClauses()},
        {probe.csvDdiMemberPkids(), probe.csvDdiMemberDdis(), probe.csvDdiMemberTags()},
    };
    return lists;
}

InstallerLists Expected(const dialplan::DialPlanFile& file)
{
    InstallerLists lists;
    lists.description = std::string(file.section(Table::DialPlan).rows.front().values[2]);
    for (const SectionSource& source : SectionSources()) {
        std::vector<std::vector<std::string>> columns(source.columns.size());
        for (const dialplan::Row& row : file.section(source.table).rows) {
            for (std::size_t c = 0; c < source.columns.size(); ++c) {
                const std::string value(row.values[source.columns[c].column]);
                columns[c].push_back(source.columns[c].braced ? "{" + value + "}" : value);
            }
        }
        lists.sections.push_back(std::move(columns));
    }
    return lists;
}

std::string Difference(const InstallerLists& expected, const InstallerLists& actual)
{
    if (actual.description != expected.description)
        return "DialPlan description: the installer reads " + Shown(actual.description) + " where the reader found " +
               Shown(expected.description);
    const std::vector<SectionColumns>& sections = Sections();
    if (actual.sections.size() != sections.size() || expected.sections.size() != sections.size())
        return "the lists do not hold the " + std::to_string(sections.size()) + " sections of the installer";
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const SectionColumns& section = sections[s];
        const auto& want = expected.sections[s];
        const auto& got = actual.sections[s];
        if (want.size() != section.columns.size() || got.size() != section.columns.size())
            return std::string(section.section) + ": the lists do not hold its " +
                   std::to_string(section.columns.size()) + " columns";
        for (std::size_t c = 0; c < section.columns.size(); ++c) {
            if (got[c].size() != want[c].size())
                return std::string(section.section) + " " + section.columns[c] + ": the installer reads " +
                       std::to_string(got[c].size()) + " rows where the reader found " + std::to_string(want[c].size());
            for (std::size_t r = 0; r < want[c].size(); ++r) {
                if (got[c][r] != want[c][r])
                    return std::string(section.section) + " row " + std::to_string(r + 1) + ", " + section.columns[c] +
                           ": the installer reads " + Shown(got[c][r]) + " where the reader found " + Shown(want[c][r]);
            }
        }
    }
    return std::string();
}

std::string RewriteDifference(const dialplan::DialPlanFile& file, const std::string& text)
{
    // The database holds the IDs that the file's own instructions carry, so
    // that the new ones fill the gaps between them.
    std::vector<long long> used;
    for (const dialplan::Row& row : file.section(Table::DigitDiscardInstruction).rows) {
        int id = 0;
        if (dialplan::ParseInt32(row.values[kDigitAnalysisId], id) && id > 0)
            used.push_back(id);
    }
    zentra_csv::FreeIdSequence freeIds(used);
    const zentra_csv::RewrittenFile rewrite = zentra_csv::RewriteDigitAnalysisIds(text, freeIds);

    dialplan::DialPlanFile again;
    try {
        again.Parse(file.path(), rewrite.text());
    } catch (const dialplan::FileError& error) {
        return std::string("the rewritten file is refused: ") + error.what();
    }

    const std::size_t instructions = file.section(Table::DigitDiscardInstruction).rows.size();
    if (rewrite.ids.size() != instructions)
        return "the rewrite gave " + std::to_string(rewrite.ids.size()) + " IDs to " + std::to_string(instructions) +
               " instructions";
    for (std::size_t t = 0; t < dialplan::kTableCount; ++t) {
        const dialplan::TableLayout& layout = dialplan::Layout(static_cast<Table>(t));
        const std::vector<dialplan::Row>& before = file.section(layout.table).rows;
        const std::vector<dialplan::Row>& after = again.section(layout.table).rows;
        if (after.size() != before.size())
            return std::string("the rewritten file's ") + layout.name + " section holds " +
                   std::to_string(after.size()) + " rows; the delivered one " + std::to_string(before.size());
        for (std::size_t r = 0; r < before.size(); ++r) {
            for (std::size_t c = 0; c < layout.columnCount; ++c) {
                const bool newId = layout.table == Table::DigitDiscardInstruction && c == kDigitAnalysisId;
                const std::string want = newId ? std::to_string(rewrite.ids[r]) : std::string(before[r].values[c]);
                const std::string got(after[r].values[c]);
                if (got != want)
                    return std::string("the rewritten file's ") + layout.name + " row " + std::to_string(r + 1) + ", " +
                           layout.columns[c] + ": " + Shown(got) + " where " + Shown(want) +
                           (newId ? " was given" : " was delivered");
            }
        }
    }

    const std::string name(file.section(Table::DialPlan).rows.front().values[1]);
    std::string deliveredRefusal, rewrittenRefusal;
    const bool delivered = Installable(file, name, deliveredRefusal);
    if (Installable(again, name, rewrittenRefusal) != delivered)
        return delivered
                   ? "CheckInstallable refuses the rewritten file but takes the delivered one: " + rewrittenRefusal
                   : "CheckInstallable takes the rewritten file but refuses the delivered one: " + deliveredRefusal;
    return std::string();
}

Verdict Check(const std::string& text, ScratchFile& scratch)
{
    Verdict verdict;
    dialplan::DialPlanFile file;
    try {
        file.Parse("input.csv", text);
    } catch (const dialplan::FileError& error) {
        verdict.refusal = error.what();
        return verdict;
    }
    verdict.accepted = true;

    scratch.write(text);
    const InstallerLists installer = ReadWithInstaller(scratch.path());
    verdict.disagreement = Difference(Expected(file), installer);
    if (verdict.disagreement.empty())
        verdict.disagreement = RewriteDifference(file, text);
    if (verdict.disagreement.empty())
        verdict.disagreement = InstallableDifference(file, installer);
    std::string refusal;
    verdict.shape =
        Shape(file, Installable(file, std::string(file.section(Table::DialPlan).rows.front().values[1]), refusal));
    return verdict;
}

}  // namespace reader_agreement
