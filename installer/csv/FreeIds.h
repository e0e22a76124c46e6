#pragma once

// The digit-analysis IDs that a new dial plan may take: the positive integers
// that no DigitDiscardInstruction of the database uses, smallest first, so that
// gaps in the database's numbering are filled first.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace zentra_csv {

class FreeIdSequence {
public:
    // used: the IDs in use, in any order, repeats allowed (the database query
    // gives them sorted; they are sorted here only when they are not).
    explicit FreeIdSequence(std::vector<long long> used) : m_used(std::move(used))
    {
        if (!std::is_sorted(m_used.begin(), m_used.end()))
            std::sort(m_used.begin(), m_used.end());
    }

    // The next free ID. One walk over the used IDs serves every call, so that
    // N calls over U used IDs take O(N + U).
    long long next()
    {
        for (;;) {
            while (m_position < m_used.size() && m_used[m_position] < m_candidate)
                ++m_position;
            if (m_position < m_used.size() && m_used[m_position] == m_candidate) {
                ++m_candidate;
                continue;
            }
            return m_candidate++;
        }
    }

private:
    std::vector<long long> m_used;
    std::size_t m_position = 0;
    long long m_candidate = 1;
};

}  // namespace zentra_csv
