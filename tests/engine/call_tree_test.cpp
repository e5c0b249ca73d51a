// Laying a finished table out as the call tree: order, texts, linked leaves,
// the depth budget and the node budget.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/call_tree.h"
#include "engine/messages.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using korvath::testing::RecordingMessages;
using korvath::testing::RecordingTree;
using Texts = std::vector<Text>;

FunctionRecord R(Text caller, Text name, Text lines, Text also = u"") {
  return FunctionRecord{std::move(caller), std::move(name), std::move(also), std::move(lines), true};
}

std::vector<FunctionRecord> Table(std::vector<FunctionRecord> rows) {
  rows.insert(rows.begin(), FunctionRecord{});
  return rows;
}

const Text kStack = messages::kOutOfStackSpace;
const Text kTooLarge = messages::kTreeTooLarge;

TEST(NodeLabel, TextIsNameLinesAndTheLinkMark) {
  EXPECT_EQ((NodeLabel{2, u"foo", u"3,17", u""}).ToText(), u"foo (3,17)");
  EXPECT_EQ((NodeLabel{2, u"foo", u"3,17", u"bar"}).ToText(), u"foo (3,17) - Also called by bar");
  Text out = u">";
  NodeLabel{5, u"x", u"1", u""}.AppendTextTo(out);
  EXPECT_EQ(out, u">x (1)");
}

TEST(BuildCallTree, DepthFirstInRecordOrderWithLinkedRecordsAsLeaves) {
  const auto records = Table({
      R(u"", u"main", u"0"),
      R(u"main", u"foo", u"3,17"),
      R(u"main", u"bar", u"5"),
      R(u"foo", u"baz", u"2"),
      R(u"bar", u"foo", u"1", u"main"),  // linked: a leaf although foo calls
      R(u"", u"", u"9"),                 // blanked: never shown
      R(u"Main", u"x", u"1"),            // callers compare exactly
      R(u"foo", u"qux", u"4"),
  });
  RecordingTree tree;
  tree.Clear();
  tree.AddRoot(u"old", u"old");
  RecordingMessages messages;
  const TreeBuildResult result = BuildCallTree(records, tree, messages);
  EXPECT_TRUE(result.hasRoot);
  EXPECT_FALSE(result.depthExceeded);
  EXPECT_FALSE(result.budgetExceeded);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(tree.rootKey, u"main");
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"foo (3,17)", u"baz (2)", u"qux (4)", u"bar (5)",
                               u"foo (1) - Also called by main"}));
  EXPECT_EQ(tree.parents, (std::vector<int>{0, 0, 1, 2, 2, 1, 5}));

  // The compact tree gives the same shape and texts.
  CallTree compact;
  BuildCallTree(records, compact, messages);
  ASSERT_EQ(compact.Count(), 6);
  EXPECT_EQ(compact.RootText(), u"main");
  const std::vector<int> recordOf = {0, 1, 2, 4, 8, 3, 5};
  for (int n = 2; n <= 6; ++n) {
    EXPECT_EQ(compact.Parent(n), tree.parents[static_cast<std::size_t>(n)]) << n;
    EXPECT_EQ(compact.Record(n), recordOf[static_cast<std::size_t>(n)]) << n;
    EXPECT_EQ(compact.NodeText(n, records), tree.texts[static_cast<std::size_t>(n)]) << n;
  }
  EXPECT_EQ(compact.Parent(1), 0);
}

TEST(BuildCallTree, AStartFileWithoutCallsIsTheRootAlone) {
  RecordingTree tree;
  RecordingMessages messages;
  BuildCallTree(Table({R(u"", u"main", u"0"), R(u"other", u"x", u"1")}), tree, messages);
  EXPECT_EQ(tree.texts, (Texts{u"", u"main"}));
}

TEST(BuildCallTree, NoRootWhenTheStartRecordIsBlanked) {
  RecordingTree tree;
  tree.Clear();
  tree.AddRoot(u"old", u"old");
  RecordingMessages messages;
  // Blanked records have an empty Caller too; none may show.
  const auto result =
      BuildCallTree(Table({R(u"", u"", u"0"), R(u"", u"", u"1"), R(u"main", u"x", u"1")}), tree, messages);
  EXPECT_FALSE(result.hasRoot);
  EXPECT_EQ(tree.Count(), 0);
}

TEST(BuildCallTree, TheDepthBudgetAbandonsOneLevelAndTheLevelAboveGoesOn) {
  // main calls itself (line 1) and x (line 2). With three levels allowed the
  // fourth recursion is refused: the level that added the deepest node stops
  // before its x, the levels above still add theirs.
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"main", u"1"), R(u"main", u"x", u"2")});
  RecordingTree tree;
  RecordingMessages messages;
  const auto result = BuildCallTree(records, tree, messages, TreeLimits{3, 1000});
  EXPECT_TRUE(result.depthExceeded);
  EXPECT_FALSE(result.budgetExceeded);
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"main (1)", u"main (1)", u"main (1)", u"x (2)", u"x (2)"}));
  EXPECT_EQ(tree.parents, (std::vector<int>{0, 0, 1, 2, 3, 2, 1}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, MessageIcon::Critical);
  EXPECT_EQ(messages.shown[0].second, kStack);
}

TEST(BuildCallTree, ByDefaultNoNodeLiesDeeperThan256Levels) {
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"main", u"1")});
  RecordingTree tree;
  RecordingMessages messages;
  const auto result = BuildCallTree(records, tree, messages);
  EXPECT_TRUE(result.depthExceeded);
  ASSERT_EQ(tree.Count(), 257);
  EXPECT_EQ(tree.Depth(257), 256);
  EXPECT_EQ(messages.Texts(), (Texts{kStack}));
}

TEST(BuildCallTree, EveryRefusedStepIsReported) {
  // Two separate self-calls, each running into the budget.
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"a", u"1"), R(u"a", u"a", u"2"),
                              R(u"main", u"b", u"3"), R(u"b", u"b", u"4")});
  RecordingTree tree;
  RecordingMessages messages;
  BuildCallTree(records, tree, messages, TreeLimits{2, 1000});
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"a (1)", u"a (2)", u"b (3)", u"b (4)"}));
  EXPECT_EQ(messages.Texts(), (Texts{kStack, kStack}));

  // A node at the deepest level is refused its step even when its function
  // calls nothing; a linked leaf there takes no step at all.
  RecordingTree chain;
  RecordingMessages chainMessages;
  BuildCallTree(Table({R(u"", u"main", u"0"), R(u"main", u"a", u"1"), R(u"a", u"b", u"2")}), chain,
                chainMessages, TreeLimits{2, 1000});
  EXPECT_EQ(chain.Count(), 3);
  EXPECT_EQ(chainMessages.Texts(), (Texts{kStack}));

  RecordingTree linked;
  RecordingMessages linkedMessages;
  BuildCallTree(Table({R(u"", u"main", u"0"), R(u"main", u"a", u"1"), R(u"a", u"b", u"2", u"c")}),
                linked, linkedMessages, TreeLimits{2, 1000});
  EXPECT_EQ(linked.Count(), 3);
  EXPECT_TRUE(linkedMessages.shown.empty());
}

TEST(BuildCallTree, TheNodeBudgetEndsTheWholeWalkOnce) {
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"a", u"1"), R(u"a", u"a", u"2"),
                              R(u"main", u"b", u"3"), R(u"b", u"b", u"4")});
  {
    RecordingTree tree;
    RecordingMessages messages;
    const auto result = BuildCallTree(records, tree, messages, TreeLimits{2, 4});
    EXPECT_TRUE(result.depthExceeded);
    EXPECT_TRUE(result.budgetExceeded);
    EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"a (1)", u"a (2)", u"b (3)"}));
    EXPECT_EQ(messages.Texts(), (Texts{kStack, kTooLarge}));
  }
  {
    // Exactly at the budget: nothing more was to be added.
    RecordingTree tree;
    RecordingMessages messages;
    const auto result = BuildCallTree(records, tree, messages, TreeLimits{2, 5});
    EXPECT_FALSE(result.budgetExceeded);
    EXPECT_EQ(tree.Count(), 5);
    EXPECT_EQ(messages.Texts(), (Texts{kStack, kStack}));
  }
  {
    RecordingTree tree;
    RecordingMessages messages;
    BuildCallTree(records, tree, messages, TreeLimits{2, 1});
    EXPECT_EQ(tree.texts, (Texts{u"", u"main"}));
    EXPECT_EQ(messages.Texts(), (Texts{kTooLarge}));
  }
}

TEST(BuildCallTree, ABudgetedTreeIsAPrefixOfTheLargerWalk) {
  // helper is listed twice under main (once spelled with ".m") and calls
  // main again: the unlimited tree doubles every two levels.
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"main", u"2", u"helper"),
                              R(u"main", u"helper", u"3"), R(u"main", u"helper", u"4"),
                              R(u"helper", u"main", u"1,1")});
  RecordingTree small;
  RecordingTree large;
  RecordingMessages smallMessages;
  RecordingMessages largeMessages;
  BuildCallTree(records, small, smallMessages, TreeLimits{40, 1000});
  BuildCallTree(records, large, largeMessages, TreeLimits{40, 5000});
  ASSERT_EQ(small.Count(), 1000);
  ASSERT_EQ(large.Count(), 5000);
  EXPECT_TRUE(std::equal(small.texts.begin(), small.texts.end(), large.texts.begin()));
  EXPECT_TRUE(std::equal(small.parents.begin(), small.parents.end(), large.parents.begin()));
  for (const auto* m : {&smallMessages, &largeMessages}) {
    const Texts texts = m->Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), kTooLarge);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), kTooLarge), 1);
    EXPECT_GE(std::count(texts.begin(), texts.end(), kStack), 1);
  }
  for (int n = 1; n <= large.Count(); ++n) ASSERT_LE(large.Depth(n), 40) << n;
}

TEST(BuildCallTree, MoreThan32767NodesAreFine) {
  std::vector<FunctionRecord> rows = {R(u"", u"main", u"0")};
  for (int i = 0; i < 40000; ++i) rows.push_back(R(u"main", u"f" + DecimalText(i), u"1"));
  rows.push_back(R(u"f39999", u"deep", u"7"));
  CallTree tree;
  RecordingMessages messages;
  const auto records = Table(rows);
  BuildCallTree(records, tree, messages);
  ASSERT_EQ(tree.Count(), 40002);
  EXPECT_EQ(tree.Parent(40002), 40001);
  EXPECT_EQ(tree.NodeText(40002, records), u"deep (7)");
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace korvath
