#include "installer/csv/IdRewrite.h"

#include <string_view>

#include "dialplanfile/DialPlanFile.h"
#include "dialplanfile/LineSplitter.h"
#include "installer/csv/CsvLines.h"

namespace zentra_csv {

namespace {

// Puts id in place of the digitAnalysisID field, the text between the third
// comma and the next one (or the end of the line). A row without a third comma
// has no such field and stays as it is.
void ReplaceDigitAnalysisId(std::string& line, long long id)
{
    const CommaPositions commas = FindCommas(line);
    if (commas.p[2] == std::string::npos)
        return;
    const std::string::size_type start = commas.p[2] + 1;
    const std::string::size_type end = commas.p[3] == std::string::npos ? line.size() : commas.p[3];
    line.replace(start, end - start, std::to_string(id));
}

bool SameRows(const dialplan::DialPlanFile& a, const dialplan::DialPlanFile& b)
{
    using dialplan::Table;
    for (Table table :
         {Table::DialPlan, Table::DialPlanTag, Table::DigitDiscardInstruction, Table::DigitDiscardInstructionMember}) {
        const auto& first = a.section(table).rows;
        const auto& second = b.section(table).rows;
        if (first.size() != second.size())
            return false;
        const std::size_t columns = dialplan::Layout(table).columnCount;
        for (std::size_t r = 0; r < first.size(); ++r)
            for (std::size_t c = 0; c < columns; ++c)
                if ((table != Table::DigitDiscardInstruction || c != 3) && first[r].values[c] != second[r].values[c])
                    return false;
    }
    return true;
}

}  // namespace

std::string RewrittenFile::text() const
{
    std::string out;
    for (const Line& line : lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

RewrittenFile RewriteDigitAnalysisIds(const std::string& delivered, FreeIdSequence& ids)
{
    RewrittenFile out;
    dialplan::LineSplitter lines(delivered);
    std::string_view line;

    // Everything ahead of the DigitDiscardInstruction type row, unchanged.
    bool typeRow = false;
    while (lines.next(line)) {
        if (line.find(dialplan::kInstructionTypeRow) != std::string_view::npos) {
            typeRow = true;
            break;
        }
        out.lines.push_back({std::string(line), true});
    }
    out.lines.push_back({dialplan::kInstructionTypeRow, true});

    // The instruction rows, with their new IDs, up to the empty line that
    // ends the section; that line is replaced by the one written after them.
    while (typeRow && lines.next(line) && !line.empty()) {
        std::string row(line);
        const long long id = ids.next();
        out.ids.push_back(id);
        ReplaceDigitAnalysisId(row, id);
        out.lines.push_back({std::move(row), true});
    }
    out.lines.push_back({std::string(), false});

    // The rest of the file, unchanged.
    while (lines.next(line))
        out.lines.push_back({std::string(line), true});
    return out;
}

bool IsRewriteOf(const std::string& rewrittenPath, const std::string& deliveredPath)
{
    dialplan::DialPlanFile rewritten;
    dialplan::DialPlanFile delivered;
    try {
        rewritten.Read(rewrittenPath);
        delivered.Read(deliveredPath);
    } catch (const dialplan::FileError&) {
        return false;
    }
    return SameRows(rewritten, delivered);
}

}  // namespace zentra_csv
