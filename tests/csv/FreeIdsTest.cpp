// The choice of free digit-analysis IDs: smallest first, gaps filled first.

#include <gtest/gtest.h>

#include <vector>

#include "installer/csv/FreeIds.h"

using zentra_csv::FreeIdSequence;
using Ids = std::vector<long long>;

namespace {

TEST(FreeIds, SmallestUnusedIdsComeFirst)
{
    const struct {
        Ids used;
        Ids expected;
    } cases[] = {
        {{1, 2, 4}, {3, 5, 6}},
        {{}, {1, 2, 3, 4, 5}},
        {{-7, 0, 0, 2, 2, 2, 3, 6, 6}, {1, 4, 5, 7}},  // repeats, zero and negative IDs
        {{9, 1, 3, 2}, {4, 5, 6, 7}},                  // not sorted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.used));
        FreeIdSequence ids(c.used);
        Ids taken;
        while (taken.size() < c.expected.size())
            taken.push_back(ids.next());
        EXPECT_EQ(taken, c.expected);
    }
}

TEST(FreeIds, ManyRowsOverManyUsedIdsStayLinear)
{
    // 200,000 used IDs with every third one free, and 150,000 rows: a search of
    // the used list per candidate would take billions of steps here.
    Ids used;
    for (long long id = 1; id <= 300000; ++id)
        if (id % 3 != 0)
            used.push_back(id);
    FreeIdSequence ids(used);
    // The 100,000 free IDs below 300,001, then 300,001 onwards.
    for (long long k = 1; k <= 150000; ++k)
        ASSERT_EQ(ids.next(), k <= 100000 ? 3 * k : 200000 + k) << "row " << k;
}

}  // namespace
