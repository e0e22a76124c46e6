#pragma once

// The rewrite of a delivered dial-plan file with new digit-analysis IDs, as a
// new installation makes it: the lines up to the DigitDiscardInstruction type
// row unchanged, the type row in its exact form, each instruction row with the
// next free ID in place of its digitAnalysisID field, one empty line ending the
// section, and the rest of the file unchanged. Every line written ends in
// CR LF; the log lists every line but that empty one.

#include <string>
#include <vector>

#include "installer/csv/FreeIds.h"

namespace zentra_csv {

struct RewrittenFile {
    struct Line {
        std::string text;
        bool logged;
    };
    std::vector<Line> lines;
    // The IDs given, in the order of the instruction rows.
    std::vector<long long> ids;

    // The file's bytes, every line ending in CR LF.
    std::string text() const;
};

// The rewrite of the delivered text; ids gives the IDs, one per row in order.
RewrittenFile RewriteDigitAnalysisIds(const std::string& delivered, FreeIdSequence& ids);

// Whether the file at rewrittenPath is a rewrite of the one at deliveredPath:
// both are dial-plan files with the same rows, but for the digit-analysis IDs
// of their instructions. Such a file must never take the delivered one's place.
bool IsRewriteOf(const std::string& rewrittenPath, const std::string& deliveredPath);

}  // namespace zentra_csv
