// The messages of a run, counted.

#include <gtest/gtest.h>

#include "session/message_tally.h"

namespace korvath::session {
namespace {

TEST(MessageTally, OnlyTheFirstAddIsNewAndRepeatsAreCountedInOrder) {
  const std::pair<Text, bool> adds[] = {{u"a", true},  {u"b", true},  {u"a", false},
                                        {u"c", true},  {u"a", false}, {u"b", false}};
  MessageTally tally;
  std::vector<Text> all;
  for (const auto& [text, isNew] : adds) {
    EXPECT_EQ(tally.Add(text), isNew) << all.size();
    all.push_back(text);
  }
  EXPECT_EQ(tally.All(), all);
  EXPECT_EQ(tally.Distinct(), (std::vector<std::pair<Text, int>>{{u"a", 3}, {u"b", 2}, {u"c", 1}}));
}

}  // namespace
}  // namespace korvath::session
