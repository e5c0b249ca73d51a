// Laying a finished table out as the call tree: order, texts, linked leaves,
// the compact tree and the default depth budget. The budgets' finer points
// and refused nodes are compared with the literal walk by the differential
// test.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/call_tree.h"
#include "engine/messages.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::RecordingMessages;
using korvath::testing::RecordingTree;
using Texts = std::vector<Text>;
using Records = std::vector<FunctionRecord>;

FunctionRecord R(Text caller, Text name, Text lines, Text also = u"") {
  return FunctionRecord{std::move(caller), std::move(name), std::move(also), std::move(lines),
                        true};
}

Records Table(Records rows) {
  rows.insert(rows.begin(), FunctionRecord{});
  return rows;
}

const Text kStack = messages::kOutOfStackSpace;

TEST(NodeLabel, TextIsNameLinesAndTheLinkMark) {
  EXPECT_EQ((NodeLabel{2, u"foo", u"3,17", u""}).ToText(), u"foo (3,17)");
  EXPECT_EQ((NodeLabel{2, u"foo", u"3,17", u"bar"}).ToText(), u"foo (3,17) - Also called by bar");
  Text out = u">";
  NodeLabel::Of(Table({R(u"", u"main", u"0"), R(u"a", u"x", u"1", u"b")}), 2).AppendTextTo(out);
  EXPECT_EQ(out, u">x (1) - Also called by b");
}

TEST(BuildCallTree, DepthFirstInRecordOrderWithLinkedRecordsAsLeaves) {
  // A linked record is a leaf although its function calls; blanked records
  // never show; callers compare exactly.
  const auto records =
      Table({R(u"", u"main", u"0"), R(u"main", u"foo", u"3,17"), R(u"main", u"bar", u"5"),
             R(u"foo", u"baz", u"2"), R(u"bar", u"foo", u"1", u"main"), R(u"", u"", u"9"),
             R(u"Main", u"x", u"1"), R(u"foo", u"qux", u"4")});
  RecordingTree tree;
  tree.AddRoot(u"old", u"old");
  RecordingMessages messages;
  EXPECT_TRUE(BuildCallTree(records, tree, messages).ok());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(tree.rootKey, u"main");
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"foo (3,17)", u"baz (2)", u"qux (4)", u"bar (5)",
                               u"foo (1) - Also called by main"}));
  EXPECT_EQ(tree.parents, (std::vector<int>{0, 0, 1, 2, 2, 1, 5}));

  // The compact tree gives the same shape and texts, also when built again.
  CallTree compact;
  ASSERT_TRUE(
      BuildCallTree(Table({R(u"", u"other", u"0"), R(u"other", u"y", u"1")}), compact, messages)
          .ok());
  ASSERT_TRUE(BuildCallTree(records, compact, messages).ok());
  ASSERT_EQ(compact.Count(), 6);
  const std::vector<int> recordOf = {0, 1, 2, 4, 8, 3, 5};
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(compact.Parent(n), tree.parents[static_cast<std::size_t>(n)]) << n;
    EXPECT_EQ(compact.Record(n), recordOf[static_cast<std::size_t>(n)]) << n;
    EXPECT_EQ(compact.NodeText(n, records), tree.texts[static_cast<std::size_t>(n)]) << n;
  }
  EXPECT_EQ(compact.Depths(), (std::vector<int>{0, 0, 1, 2, 2, 1, 2}));
}

TEST(BuildCallTree, NoStartFileWithoutANamedFirstRecord) {
  // Blanked records have an empty caller too; none may show.
  for (const Records& records :
       {Table({R(u"", u"", u"0"), R(u"", u"", u"1"), R(u"main", u"x", u"1")}), Records{}}) {
    RecordingTree tree;
    tree.AddRoot(u"old", u"old");
    RecordingMessages messages;
    EXPECT_EQ(BuildCallTree(records, tree, messages).status, Status::NoStartFile);
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST(BuildCallTree, ByDefaultNoNodeLiesDeeperThan256LevelsAndAMillionNodesEndTheWalk) {
  CallTree tree;
  RecordingMessages messages;
  ASSERT_TRUE(
      BuildCallTree(Table({R(u"", u"main", u"0"), R(u"main", u"main", u"1")}), tree, messages)
          .ok());
  ASSERT_EQ(tree.Count(), 257);
  EXPECT_EQ(tree.Depths().back(), 256);
  EXPECT_EQ(messages.Texts(), (Texts{kStack}));

  // main calls itself and helper, helper calls main: the tree grows like the
  // Fibonacci numbers with its depth.
  RecordingTree big;
  RecordingMessages bigMessages;
  ASSERT_TRUE(BuildCallTree(Table({R(u"", u"main", u"0"), R(u"main", u"main", u"1"),
                                   R(u"main", u"helper", u"2"), R(u"helper", u"main", u"1")}),
                            big, bigMessages)
                  .ok());
  EXPECT_EQ(big.Count(), 1000000);
  const Texts texts = bigMessages.Texts();
  ASSERT_GT(texts.size(), 1u);
  EXPECT_EQ(texts.back(), messages::kTreeTooLarge);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kStack) + 1, static_cast<long>(texts.size()));
}

TEST(BuildCallTree, TheNodeBudgetRecordsEveryNodeWhoseCallsItLeftOut) {
  // main calls a, b and c; a calls d and e; b calls f; c is linked. Depth
  // first: main 1, a 2, d 3, e 4, b 5, f 6, c 7. Only the walk's open path
  // can be cut short, each node by the direct calls it did not get.
  const auto records = Table({R(u"", u"main", u"0"), R(u"main", u"a", u"1"), R(u"main", u"b", u"2"),
                              R(u"main", u"c", u"3", u"x"), R(u"a", u"d", u"4"),
                              R(u"a", u"e", u"5"), R(u"b", u"f", u"6"), R(u"c", u"g", u"7")});
  using Cuts = std::vector<std::pair<int, int>>;  // node, calls left out
  struct Case {
    TreeLimits limits;
    int count;
    Cuts cut;
  };
  const std::vector<Case> cases = {
      {{256, 7}, 7, {}},
      {{256, 1000}, 7, {}},
      {{2, 1000}, 6, {}},  // the depth budget cuts no node short
      {{256, 6}, 6, {{1, 1}}},
      {{256, 5}, 5, {{1, 1}, {5, 1}}},
      {{256, 4}, 4, {{1, 2}}},
      {{256, 3}, 3, {{1, 2}, {2, 1}}},
      {{256, 2}, 2, {{1, 2}, {2, 2}}},
      {{256, 1}, 1, {{1, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "depth " << c.limits.maxDepth << ", nodes " << c.limits.maxNodes);
    CallTree tree;
    RecordingMessages messages;
    ASSERT_TRUE(BuildCallTree(records, tree, messages, c.limits).ok());
    EXPECT_EQ(tree.Count(), c.count);
    Cuts cut;
    for (const auto& n : tree.CutNodes()) cut.emplace_back(n.node, n.calls);
    EXPECT_EQ(cut, c.cut);
    for (int node = 1; node <= tree.Count(); ++node) {
      const auto it = std::find_if(c.cut.begin(), c.cut.end(),
                                   [node](const auto& p) { return p.first == node; });
      EXPECT_EQ(tree.Cut(node), it == c.cut.end() ? 0 : it->second) << node;
    }
    EXPECT_EQ(tree.NodeLimit(), c.cut.empty() ? 0 : c.limits.maxNodes);
    // The walk's own sinks hear of the same cuts.
    RecordingTree recorded;
    ASSERT_TRUE(BuildCallTree(records, recorded, messages, c.limits).ok());
    EXPECT_EQ(recorded.cut, c.cut);
  }
  // Built again without a budget problem, nothing is left of the cuts.
  CallTree tree;
  RecordingMessages messages;
  ASSERT_TRUE(BuildCallTree(records, tree, messages, {256, 2}).ok());
  ASSERT_TRUE(BuildCallTree(records, tree, messages).ok());
  EXPECT_TRUE(tree.CutNodes().empty());
  EXPECT_EQ(tree.Cut(1), 0);
}

TEST(CallsNotShown, CountsTheCallsAndGroupsTheBudgetsDigits) {
  const std::vector<std::pair<std::pair<int, int>, Text>> cases = {
      {{1, 1000000}, u"\u2026 1 call not shown: the tree reached its limit of 1,000,000 nodes"},
      {{12345, 999}, u"\u2026 12,345 calls not shown: the tree reached its limit of 999 nodes"},
      {{0, 100000}, u"\u2026 0 calls not shown: the tree reached its limit of 100,000 nodes"},
  };
  for (const auto& [numbers, text] : cases) {
    EXPECT_EQ(messages::CallsNotShown(numbers.first, numbers.second), text);
  }
  EXPECT_EQ(messages::CallersNotShown(1, 4),
            u"\u2026 1 caller not shown: the tree reached its limit of 4 nodes");
  EXPECT_EQ(messages::CallersNotShown(2, 1000),
            u"\u2026 2 callers not shown: the tree reached its limit of 1,000 nodes");
  EXPECT_EQ(messages::GroupedNumber(-1234), u"-1,234");
  EXPECT_EQ(messages::GroupedNumber(123), u"123");
}

}  // namespace
}  // namespace korvath
