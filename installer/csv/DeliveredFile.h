#pragma once

// The files of the digit-analysis ID rewrite, as both ReplaceDAId and the new
// installation in one transaction handle them: the delivered NAME.csv read
// whole, the IDs in use, the rewritten lines logged, the delivered file kept
// as NAME_new.csv, the rewritten one written as NAME.csv and copied into the
// dial plan's folder. A failure is told in the step's log (which is then
// closed) and in a message box.

#include <string>
#include <vector>

#include "installer/csv/IdRewrite.h"

namespace zentra_run {
class Session;
}  // namespace zentra_run

namespace zentra_csv {

// The delivered file, whole; false, told, when it cannot be read.
bool ReadDeliveredFile(zentra_run::Session& step, const std::string& csvPath, std::string& text);

// The digit-analysis IDs that instructions of every dial plan hold, ascending.
std::vector<long long> UsedDigitAnalysisIds(zentra_run::Session& step);

// Every line of the rewrite that the log lists, each after a line end.
void LogRewrite(zentra_run::Session& step, const RewrittenFile& rewrite);

// Moves the delivered csvPath to keptPath, replacing an older delivery there,
// unless csvPath is itself the rewrite of an earlier run, which must never take
// the delivery's place. False, told, when the move fails: the delivered file
// then stays where it is, untouched.
bool KeepDeliveredFile(zentra_run::Session& step, const std::string& csvPath, const std::string& keptPath);

// Writes the rewrite as csvPath (logging its lines too when logLines); false,
// told, when it could not be written whole (a partly written file is deleted).
bool WriteRewrittenFile(zentra_run::Session& step, const std::string& csvPath, const RewrittenFile& rewrite,
                        bool logLines);

// Copies the rewritten file into the dial plan's folder; a failed copy is told.
void CopyRewrittenFile(const std::string& csvPath, const std::string& destination);

}  // namespace zentra_csv
