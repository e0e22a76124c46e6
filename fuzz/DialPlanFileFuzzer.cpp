// libFuzzer entry: every input is a dial-plan file. When the reader accepts
// it, the installer's line readers and its digit-analysis ID rewrite must
// agree with the reader (fuzz/ReaderAgreement.h); a disagreement stops the run
// like a crash, so that libFuzzer keeps the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fuzz/ReaderAgreement.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

// Text that gives a line another meaning: markers, type rows and their parts,
// the predefined instructions' names, line ends.
const char* const kTokens[] = {
    "Table:DialPlan,,",
    "Table:DialPlan",
    "Table:DialPlanTag,,,,",
    "Table:DigitDiscardInstruction,,,,",
    "Table:DigitDiscardInstructionMember,,",
    "UNIQUEIDENTIFIER",
    "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)",
    "UNIQUEIDENTIFIER,VARCHAR(50),UNIQUEIDENTIFIER,VARCHAR(1),VARCHAR(1)",
    "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText",
    "UNIQUEIDENTIFIER,UNIQUEIDENTIFIER,UNIQUEIDENTIFIER",
    ",",
    ",,",
    "\r",
    "\n",
    "\r\n",
    "\"",
    " ",
    "",
    "NoDigits",
    "PreDot",
    "PreAt",
    "Trailing-#",
    "PreDot Trailing-#",
    "PreAt Trailing-#",
    "-1",
    "0",
    "2147483647",
    "{0123ABCD-4567-89EF-0123-456789ABCDEF}",
};

// A line of the input with its line end ("\r\n", "\n" or none).
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> SplitLines(const std::string& input)
{
    std::vector<Line> lines;
    std::size_t position = 0;
    while (position < input.size()) {
        const std::size_t newline = input.find('\n', position);
        const std::size_t end = newline == std::string::npos ? input.size() : newline;
        Line line{input.substr(position, end - position), newline == std::string::npos ? "" : "\n"};
        if (!line.end.empty() && !line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end = "\r\n";
        }
        lines.push_back(std::move(line));
        position = newline == std::string::npos ? input.size() : newline + 1;
    }
    return lines;
}

// Where a field of a line begins: 0 or just after a comma; and where it ends.
std::vector<std::size_t> FieldStarts(const std::string& text)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ',')
            starts.push_back(i + 1);
    return starts;
}
std::size_t FieldEnd(const std::string& text, std::size_t start)
{
    const std::size_t comma = text.find(',', start);
    return comma == std::string::npos ? text.size() : comma;
}

// One change to the file's lines, of the kind that a hand or a tool makes to a
// dial-plan file: a token put at a field's edge, a field taken from another
// line, a line removed, repeated, moved or added, a line end changed.
bool MutateLines(std::string& input, std::minstd_rand& random)
{
    std::vector<Line> lines = SplitLines(input);
    if (lines.empty())
        lines.push_back({"", ""});
    auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const std::string token = kTokens[pick(sizeof(kTokens) / sizeof(kTokens[0]))];
    Line& line = lines[pick(lines.size())];
    switch (pick(7)) {
    case 0: {  // a token at the start or the end of a field
        const std::vector<std::size_t> starts = FieldStarts(line.text);
        const std::size_t start = starts[pick(starts.size())];
        line.text.insert(pick(2) == 0 ? start : FieldEnd(line.text, start), token);
        break;
    }
    case 1: {  // a field replaced by a token or by a field of another line
        const std::vector<std::size_t> starts = FieldStarts(line.text);
        const std::size_t start = starts[pick(starts.size())];
        std::string value = token;
        const Line& other = lines[pick(lines.size())];
        if (pick(2) == 0) {
            const std::vector<std::size_t> otherStarts = FieldStarts(other.text);
            const std::size_t from = otherStarts[pick(otherStarts.size())];
            value = other.text.substr(from, FieldEnd(other.text, from) - from);
        }
        line.text.replace(start, FieldEnd(line.text, start) - start, value);
        break;
    }
    case 2:  // a line removed
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(&line - lines.data()));
        break;
    case 3: {  // a line repeated elsewhere
        const Line copy = line;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size() + 1)), copy);
        break;
    }
    case 4: {  // a line moved
        const Line moved = line;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(&line - lines.data()));
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size() + 1)), moved);
        break;
    }
    case 5:  // a new line: a token, or empty
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size() + 1)),
                     Line{pick(2) == 0 ? token : std::string(), "\r\n"});
        break;
    default: {  // a line end changed
        const char* const ends[] = {"\r\n", "\n", "\r", "", "\r\r\n"};
        line.end = ends[pick(5)];
        break;
    }
    }
    std::string output;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        output += lines[i].text;
        // Only the last line may go without an end; elsewhere the lines would merge.
        output += lines[i].end.empty() && i + 1 < lines.size() ? std::string("\n") : lines[i].end;
    }
    if (output == input)
        return false;
    input.swap(output);
    return true;
}

// Most mutations of an accepted file are refused, and the installer's readers
// add little code coverage of their own. One counter per shape of accepted
// file (libFuzzer reads this section as extra coverage) keeps an input that
// reaches a new shape, so that the corpus holds accepted files of every build.
__attribute__((used, section("__libfuzzer_extra_counters"))) std::uint8_t acceptedShapes[reader_agreement::kShapeCount];

}  // namespace

// Half of the changes are libFuzzer's own, on bytes; half are changes to lines
// (MutateLines), which reach accepted files of new build far more often.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed)
{
    std::minstd_rand random(seed);
    if (random() % 2 == 0) {
        std::string input(reinterpret_cast<const char*>(data), size);
        if (MutateLines(input, random) && input.size() <= maxSize) {
            std::memcpy(data, input.data(), input.size());
            return input.size();
        }
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static reader_agreement::ScratchFile scratch;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const reader_agreement::Verdict verdict = reader_agreement::Check(text, scratch);
    if (!verdict.disagreement.empty()) {
        std::fprintf(stderr, "\nthe installer's readers disagree with the dial-plan file reader: %s\n",
                     verdict.disagreement.c_str());
        std::abort();
    }
    if (verdict.accepted && verdict.shape < reader_agreement::kShapeCount)
        acceptedShapes[verdict.shape] = 1;
    return 0;
}
