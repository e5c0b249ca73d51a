// The bit tree of record indexes against std::set: every answer the same
// through inserts and erases that empty whole words at every level.

#include "engine/index_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace korvath::engine {
namespace {

TEST(IndexSetTest, AnswersAsAnOrderedSetDoes) {
  std::mt19937 rng(7);
  IndexSet set;
  std::set<std::size_t> model;
  // Three levels of words (above 4,096), clustered so words fill and empty.
  std::uniform_int_distribution<std::size_t> cluster(0, 5), offset(0, 150);
  for (int step = 0; step < 20000; ++step) {
    const std::size_t i = cluster(rng) * 4000 + offset(rng);
    if (rng() % 2 == 0) {
      ASSERT_EQ(set.Insert(i), model.insert(i).second) << step;
    } else {
      ASSERT_EQ(set.Erase(i), model.erase(i) == 1) << step;
    }
    ASSERT_EQ(set.Empty(), model.empty()) << step;
    if (!model.empty()) {
      ASSERT_EQ(set.Min(), *model.begin()) << step;
      ASSERT_EQ(set.Max(), *model.rbegin()) << step;
    }
  }
  set.Clear();
  EXPECT_TRUE(set.Empty());
  EXPECT_TRUE(set.Insert(9000));
  EXPECT_EQ(set.Min(), 9000U);
}

// Emptying one word under a top word that still has others must not hide
// them: 70 goes, 5 stays the lowest.
TEST(IndexSetTest, EmptyingAWordKeepsItsNeighbours) {
  IndexSet set;
  for (const std::size_t i : {5U, 70U, 9000U}) set.Insert(i);
  EXPECT_TRUE(set.Erase(70));
  EXPECT_EQ(set.Min(), 5U);
  EXPECT_TRUE(set.Erase(9000));
  EXPECT_EQ(set.Max(), 5U);
  EXPECT_FALSE(set.Erase(9000));
}

}  // namespace
}  // namespace korvath::engine
