#pragma once

// The digit-analysis IDs of the instructions that an upgrade adds. A dial
// plan's six predefined instructions are the first six of its instructions in
// digit-analysis order, and IDs are unique across the database: a new
// instruction keeps the ID its file gives when no instruction holds it and it
// lies above the plan's predefined ones; otherwise it gets the smallest free ID
// above them. A predefined instruction that the upgrade adds (the installed
// plan lacked it) comes before the others and raises that floor in turn.

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

namespace zentra_upgrade {

class NewInstructionIds {
public:
    // used: every digitAnalysisID of the database; floor: the highest one of
    // the dial plan's installed predefined instructions (0 without any).
    NewInstructionIds(const std::vector<long long>& used, long long floor)
        : m_taken(used.begin(), used.end()), m_floor(floor), m_next(floor + 1)
    {
    }

    // The IDs up to this one are the predefined instructions'.
    long long floor() const { return m_floor; }

    struct Given {
        long long id;
        // Why the file's ID was not kept; null when it was.
        const char* why;
    };

    // The ID for the next new instruction in file order, whose file gives
    // fileId (decimal text; the file check has made sure that it is a 32-bit
    // integer). The ID is taken from then on.
    Given give(const std::string& fileId, bool predefined)
    {
        Given given{0, nullptr};
        try {
            given.id = std::stoll(fileId);
        } catch (...) {
            given.id = m_floor;
        }
        if (given.id <= m_floor)
            given.why = "is not above the dial plan's predefined instructions";
        else if (m_taken.count(given.id) != 0)
            given.why = "is held by another instruction";
        if (given.why != nullptr) {
            // The smallest free ID above the floor only grows: the IDs from
            // the floor up to m_next are all taken.
            while (m_taken.count(m_next) != 0)
                ++m_next;
            given.id = m_next;
        }
        m_taken.insert(given.id);
        if (predefined && given.id > m_floor) {
            m_floor = given.id;
            m_next = std::max(m_next, m_floor + 1);
        }
        return given;
    }

private:
    std::unordered_set<long long> m_taken;
    long long m_floor;
    long long m_next;
};

}  // namespace zentra_upgrade
