// Member rows of the file that join the predefined instructions to the new
// tags, and those of the new instructions.

#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "dialplanfile/DialPlanFile.h"
#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/Pkid.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"

namespace {

std::string MemberInsert(const std::string& pkid, const std::string& instruction, const std::string& tag)
{
    return "Insert into DigitDiscardInstructionMember ( pkid, fkDigitDiscardInstruction, fkDialPlanTag) VALUES ( '" +
           SqlQuote(pkid) + "', '" + SqlQuote(instruction) + "', '" + SqlQuote(tag) + "')";
}

// Key of a (tag, instruction) pair of pkids, matched as identifiers. A line of
// the file never holds a line feed, so it cannot occur inside either part.
std::string PairKey(const std::string& tag, const std::string& instruction)
{
    return zentra_upgrade::PkidKey(tag) + '\n' + zentra_upgrade::PkidKey(instruction);
}

}  // namespace

void CZentraSetup::InsertDDIMPredefinedDDI()
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("InsertDDIMPredefinedDDI\n");

    // The first six installed instructions in digit-analysis order are the
    // predefined ones; a dial plan with fewer gets members for those it has.
    const std::size_t predefined = std::min(dialplan::kPredefinedCount, m_dbDdiPkids.size());
    if (predefined > 0 && !m_newTagPkids.empty()) {
        // The first file row for each (tag, instruction) pair. Rows are taken
        // in file order up to the first one whose keys lack braces: a pair
        // found nowhere before it would have to scan past it, which fails.
        const std::size_t rows = m_csvDdiMemberPkids.size();
        std::size_t firstInvalid = rows;
        std::unordered_map<std::string, std::size_t> firstRow;
        firstRow.reserve(rows);
        for (std::size_t r = 0; r < rows; ++r) {
            std::string tag;
            std::string instruction;
            try {
                tag = BarePkid(m_csvDdiMemberTags.at(r));
                instruction = BarePkid(m_csvDdiMemberDdis.at(r));
            } catch (const std::out_of_range&) {
                firstInvalid = r;
                break;
            }
            firstRow.emplace(PairKey(tag, instruction), r);
        }

        for (std::size_t d = 0; d < predefined; ++d) {
            const std::string& instruction = m_dbDdiPkids[d];
            for (const std::string& tag : m_newTagPkids) {
                const auto match = firstRow.find(PairKey(tag, instruction));
                if (match == firstRow.end()) {
                    if (firstInvalid < rows)
                        throw std::out_of_range("invalid string position");
                    continue;
                }
                const std::size_t r = match->second;
                const std::string insert = MemberInsert(m_csvDdiMemberPkids[r], instruction, m_csvDdiMemberTags[r]);
                step.log(insert);
                step.log("\n");
                step.change(insert, 1);
            }
        }
    }
}

void CZentraSetup::InsertDDIMNewDDI()
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("InsertDDIMNewDDI\n");
    const std::unordered_set<std::string> newInstructions = zentra_upgrade::PkidSet(m_newDdiPkids);
    for (std::size_t r = 0; r < m_csvDdiMemberPkids.size(); ++r) {
        const std::string& instruction = m_csvDdiMemberDdis.at(r);
        if (newInstructions.count(zentra_upgrade::PkidKey(BarePkid(instruction))) == 0)
            continue;
        const std::string insert = MemberInsert(m_csvDdiMemberPkids[r], instruction, m_csvDdiMemberTags.at(r));
        step.log(insert);
        step.log("\n");
        step.change(insert, 1);
    }
}
