// The discard list file, its groups, and choosing the groups to show.

#include <gtest/gtest.h>

#include "session/discard_list.h"

namespace korvath::session {
namespace {

using engine::DiscardEntry;
using engine::DiscardTable;

TEST(ParseDiscardList, HeadingsGroupTheLinesThatFollowTakenAsRead) {
  EXPECT_EQ(ParseDiscardList({}), engine::EmptyDiscardTable());
  const DiscardTable expected = {DiscardEntry{},
                                 {u"a", u"", false},
                                 {u"b ", u"G1", false},
                                 {u"", u"G1", false},
                                 {u" %x", u"G1", false},
                                 {u"c", u"", false},
                                 {u"plot", u" Graphics", false},
                                 {u"\tfig", u"%deep", false}};
  EXPECT_EQ(ParseDiscardList({u"a", u"%G1", u"b ", u"", u" %x", u"%", u"c", u"% Graphics", u"plot",
                              u"%%deep", u"\tfig"}),
            expected);
}

TEST(DiscardGroups, EachGroupOnceInOrderOfFirstAppearance) {
  EXPECT_TRUE(DiscardGroups(engine::EmptyDiscardTable()).empty());
  const DiscardTable table = ParseDiscardList(
      {u"%G1", u"a", u"%", u"b", u"%g1", u"c", u"%G1", u"d", u"%G1 ", u"e", u"%", u"f"});
  EXPECT_EQ(DiscardGroups(table), (std::vector<Text>{u"G1", u"", u"g1", u"G1 "}));
}

TEST(ShowOnlyGroups, ShowsExactlyTheChosenGroupsAndHidesTheRest) {
  struct Case {
    std::vector<Text> groups;
    std::vector<bool> shown;
  };
  const Case cases[] = {
      {{}, {false, false, false, false}},
      {{u"G1"}, {false, true, false, true}},
      {{u""}, {true, false, false, false}},
      {{u"g1", u"G1", u"none"}, {false, true, true, true}},
  };
  for (const Case& c : cases) {
    DiscardTable table = ParseDiscardList({u"a", u"%G1", u"b", u"%g1", u"c", u"%G1", u"d"});
    for (DiscardEntry& entry : table) entry.show = true;  // an earlier choice
    ShowOnlyGroups(table, c.groups);
    std::vector<bool> shown;
    for (std::size_t d = 1; d < table.size(); ++d) shown.push_back(table[d].show);
    EXPECT_EQ(shown, c.shown) << ::testing::PrintToString(c.groups);
  }
}

// What a reopened options dialog lists: groups none of whose entries is
// hidden, in order of first appearance.
TEST(ShownGroups, AreTheGroupsWhollyShown) {
  DiscardTable table = ParseDiscardList({u"a", u"%G1", u"b", u"%g1", u"c", u"%G1", u"d"});
  EXPECT_EQ(ShownGroups(table), std::vector<Text>{});
  ShowOnlyGroups(table, {u"g1", u"G1"});
  EXPECT_EQ(ShownGroups(table), (std::vector<Text>{u"G1", u"g1"}));
  table[4].show = false;  // one of G1's two entries hidden
  EXPECT_EQ(ShownGroups(table), (std::vector<Text>{u"g1"}));
}

}  // namespace
}  // namespace korvath::session
