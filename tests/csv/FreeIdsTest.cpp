// The choice of free digit-analysis IDs: smallest first, gaps filled first.

#include <gtest/gtest.h>

#include <vector>

#include "installer/csv/FreeIds.h"

using zentra_csv::FreeIdSequence;

namespace {

std::vector<long long> Take(FreeIdSequence& ids, int count)
{
    std::vector<long long> taken;
    for (int i = 0; i < count; ++i)
        taken.push_back(ids.next());
    return taken;
}

TEST(FreeIds, GapsAreFilledFirst)
{
    FreeIdSequence ids({1, 2, 4});
    EXPECT_EQ(Take(ids, 3), (std::vector<long long>{3, 5, 6}));
}

TEST(FreeIds, NothingUsedGivesOneToN)
{
    FreeIdSequence ids({});
    EXPECT_EQ(Take(ids, 5), (std::vector<long long>{1, 2, 3, 4, 5}));
}

TEST(FreeIds, RepeatsZeroAndNegativeIdsAreHandled)
{
    FreeIdSequence ids({-7, 0, 0, 2, 2, 2, 3, 6, 6});
    EXPECT_EQ(Take(ids, 4), (std::vector<long long>{1, 4, 5, 7}));
}

TEST(FreeIds, UnsortedUsedIdsAreSortedFirst)
{
    FreeIdSequence ids({9, 1, 3, 2});
    EXPECT_EQ(Take(ids, 4), (std::vector<long long>{4, 5, 6, 7}));
}

TEST(FreeIds, ManyRowsOverManyUsedIdsStayLinear)
{
    // 200,000 used IDs with every third one free, and 150,000 rows: a search of
    // the used list per candidate would take billions of steps here.
    std::vector<long long> used;
    for (long long id = 1; id <= 300000; ++id)
        if (id % 3 != 0)
            used.push_back(id);
    FreeIdSequence ids(used);
    long long previous = 0;
    for (int k = 0; k < 150000; ++k) {
        const long long id = ids.next();
        ASSERT_GT(id, previous);
        if (id <= 300000) {
            ASSERT_EQ(id % 3, 0) << id;
        }
        previous = id;
    }
    // 100,000 free IDs below 300,001, then 300,001 onwards.
    EXPECT_EQ(previous, 300000 + 50000);
}

}  // namespace
