// Installed digit discard instructions that the new file no longer holds:
// found, refused while a pattern or route list uses them, deleted with their
// members.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/run/Session.h"
#include "installer/run/MessageDeferral.h"
#include "installer/run/References.h"
#include "installer/Pkid.h"
#include "installer/Results.h"
#include "installer/SqlText.h"
#include "installer/upgrade/PkidLookup.h"
#include "installer/upgrade/Refusals.h"
#include "odbc/odbc.h"

void CZentraSetup::ObsoleteDigitDiscardInstruction()
{
    zentra_run::Session step(*this);
    step.log("Start - ObsoleteDigitDiscardInstruction\n");

    // For each installed instruction the log lists the bare pkids of the file
    // entries tried before its match, in file order: a prefix of one text.
    // firstIndex gives where the match lies; the walk cannot pass the first
    // entry without braces, which ends the step.
    const std::size_t count = m_csvDdiPkids.size();
    std::size_t firstInvalid = count;
    std::string tried;
    std::vector<std::size_t> triedEnd;  // length of tried up to and including entry k
    std::unordered_map<std::string, std::size_t> firstIndex;
    if (!m_dbDdiPkids.empty()) {
        triedEnd.reserve(count);
        firstIndex.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            std::string bare;
            try {
                bare = BarePkid(m_csvDdiPkids[k]);
            } catch (const std::out_of_range&) {
                firstInvalid = k;
                break;
            }
            firstIndex.emplace(zentra_upgrade::PkidKey(bare), k);
            tried += bare;
            tried += '\n';
            triedEnd.push_back(tried.size());
        }
    }
    const auto writeTried = [&step, &tried, &triedEnd](std::size_t entries) {
        if (entries > 0)
            step.log(std::string_view(tried.data(), triedEnd[entries - 1]));
    };

    for (std::size_t i = 0; i < m_dbDdiPkids.size(); ++i) {
        const auto match = firstIndex.find(zentra_upgrade::PkidKey(m_dbDdiPkids[i]));
        if (match != firstIndex.end()) {
            writeTried(match->second);
            continue;
        }
        writeTried(firstInvalid);
        if (firstInvalid < count)
            throw std::out_of_range("invalid string position");
        m_obsoleteDdiNames.push_back(m_dbDdiNames.at(i));
        m_obsoleteDdiPkids.push_back(m_dbDdiPkids[i]);
    }
    step.log("End - ObsoleteDigitDiscardInstruction\n");
}

void CZentraSetup::ObsoleteDDIInUse_RP_TP()
{
    zentra_run::Session step(*this);
    const std::vector<std::string> inUse = zentra_run::NamesInUse(
        step, "ObsoleteDDIInUse_RP_TP\n", zentra_run::kInstructionInPattern, m_obsoleteDdiPkids, m_obsoleteDdiNames);
    // A pattern reference chooses the wording of the refusal.
    if (!inUse.empty())
        m_ddiInUse = true;
    m_obsoleteDdisInUse.insert(m_obsoleteDdisInUse.end(), inUse.begin(), inUse.end());
}

void CZentraSetup::ObsoleteDDIInUse_RL()
{
    zentra_run::Session step(*this);
    const std::vector<std::string> inUse = zentra_run::NamesInUse(
        step, "ObsoleteDDIInUse_RL\n", zentra_run::kInstructionInRouteList, m_obsoleteDdiPkids, m_obsoleteDdiNames);
    m_obsoleteDdisInUse.insert(m_obsoleteDdisInUse.end(), inUse.begin(), inUse.end());
}

int CZentraSetup::CheckObsoleteDDIInUse()
{
    zentra_run::Session step(*this);
    step.log("CheckObsoleteDDIInUse\n");
    if (m_obsoleteDdisInUse.empty())
        return zentra::kNoInstructionInUse;
    zentra_run::ShowInstallerMessage(zentra_upgrade::InstructionsInUseMessage(m_obsoleteDdisInUse, m_ddiInUse),
                                     "Installation Failed");
    return zentra::kInstructionInUse;
}

void CZentraSetup::DeleteObsoleteDDI_NOT_IN_USE()
{
    zentra_run::Session step(*this);
    step.log("DeleteObsoleteDDI_NOT_IN_USE\n");
    for (const std::string& pkid : m_obsoleteDdiPkids) {
        const std::string members =
            "Delete from DigitDiscardInstructionMember where fkDigitDiscardInstruction = '" + SqlQuote(pkid) + "'";
        step.log("\n\n");
        step.log(members);
        step.execute(members);
        const std::string instruction = "Delete from DigitDiscardInstruction where pkid = '" + SqlQuote(pkid) + "'";
        step.log("\n\n");
        step.log(instruction);
        step.change(instruction, 1);
    }
}
