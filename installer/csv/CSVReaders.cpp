// The readers of the dial-plan file: the DialPlan description and the rows of
// the DialPlanTag, DigitDiscardInstruction and DigitDiscardInstructionMember
// sections, into the installer's column lists. Each reader opens the file anew,
// finds its section from the first line on, and closes the file again. They
// write no log and show nothing: a missing file or section leaves the lists as
// they were.

#include "installer/CZentraSetup.h"

#include "dialplanfile/DialPlanFile.h"
#include "installer/csv/CsvLines.h"

using zentra_csv::CommaPositions;
using zentra_csv::FieldBetween;
using zentra_csv::FindCommas;
using zentra_csv::LineFile;

namespace {

// Calls row(line, commas) for every data row of the section with the given
// marker: the lines after its type row, up to an empty line or the end of the
// file.
template <typename RowFunction>
void ReadSection(const std::string& csvPath, const char* marker, RowFunction row)
{
    LineFile file(csvPath);
    if (!file.skipPast(marker) || !file.skipPast(dialplan::kTypeRowMark))
        return;
    std::string line;
    while (file.readLine(line) && !line.empty())
        row(line, FindCommas(line));
}

}  // namespace

void CZentraSetup::CSVReadDialPlanDescription()
{
    // The DialPlan section comes first: the first type row of the file is its
    // own, and its one data row follows directly.
    LineFile file(m_csvPath);
    std::string line;
    if (file.skipPast(dialplan::kTypeRowMark))
        file.readLine(line);  // a failed read leaves the line empty
    const CommaPositions commas = FindCommas(line);
    m_csvDescription = FieldBetween(line, commas.p[1], std::string::npos);
}

void CZentraSetup::CSVReadDialPlanTagTable()
{
    ReadSection(m_csvPath, dialplan::Layout(dialplan::Table::DialPlanTag).marker,
                [this](const std::string& line, const CommaPositions& commas) {
                    m_csvTagPkids.push_back(line.substr(0, commas.p[0]));
                    m_csvTags.push_back(FieldBetween(line, commas.p[0], commas.p[1]));
                    m_csvTagSuppress.push_back(FieldBetween(line, commas.p[2], commas.p[3]));
                    // tkOperator_Max is one character: the first after the fourth comma.
                    m_csvTagOperatorMax.push_back(FieldBetween(line, commas.p[3], std::string::npos).substr(0, 1));
                });
}

void CZentraSetup::CSVReadDigitDiscardInstructionTable()
{
    ReadSection(m_csvPath, dialplan::Layout(dialplan::Table::DigitDiscardInstruction).marker,
                [this](const std::string& line, const CommaPositions& commas) {
                    m_csvDdiPkids.push_back(line.substr(0, commas.p[0]));
                    m_csvDdiNames.push_back(FieldBetween(line, commas.p[0], commas.p[1]));
                    m_csvDdiDaIds.push_back(FieldBetween(line, commas.p[2], commas.p[3]));
                    // The clause is the rest of the line, commas included.
                    m_csvDdiClauses.push_back(FieldBetween(line, commas.p[3], std::string::npos));
                });
}

void CZentraSetup::CSVReadDigitDiscardInstructionMemberTable()
{
    ReadSection(m_csvPath, dialplan::Layout(dialplan::Table::DigitDiscardInstructionMember).marker,
                [this](const std::string& line, const CommaPositions& commas) {
                    m_csvDdiMemberPkids.push_back(line.substr(0, commas.p[0]));
                    m_csvDdiMemberDdis.push_back(FieldBetween(line, commas.p[0], commas.p[1]));
                    // fkDialPlanTag is the rest of the line, commas included.
                    m_csvDdiMemberTags.push_back(FieldBetween(line, commas.p[1], std::string::npos));
                });
}
