// The callers tree: order, lines, functions shown once, discards and the
// budgets of the call tree.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/call_graph.h"
#include "engine/callers_tree.h"
#include "engine/messages.h"
#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_doubles.h"

namespace korvath::engine {
namespace {

using korvath::testing::RecordingMessages;
using Lines = std::vector<std::string>;

class CallersTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
    // leaf is called by b (twice) and by Alpha; b by Alpha, c and itself;
    // Alpha by c; c by nobody. Names order ignoring ASCII case.
    fs.AddFile("/p/leaf.m", "");
    fs.AddFile("/p/b.m", "leaf\nx = leaf(1);\nb\n");
    fs.AddFile("/p/Alpha.m", "b\nleaf\n");
    fs.AddFile("/p/c.m", "Alpha(b)\n");
    index.Refresh(fs, {u"", u"/p", u"/work"});
  }
  // Each node as its text, indented two blanks a level.
  Lines Render(const DiscardTable& discards, const TreeLimits& limits = {}) {
    const auto& programs = index.Programs();
    int leaf = 0;
    while (programs[static_cast<std::size_t>(leaf)].name != u"leaf") ++leaf;
    tree.Build(index, leaf, discards, messages, limits);
    Lines out;
    std::vector<std::size_t> depth(static_cast<std::size_t>(tree.Count()) + 1, 0);
    for (int n = 1; n <= tree.Count(); ++n) {
      const auto at = static_cast<std::size_t>(n);
      if (n > 1) depth[at] = depth[static_cast<std::size_t>(tree.Parent(n))] + 1;
      Text label;
      tree.AppendLabel(n, label);
      out.push_back(std::string(2 * depth[at], ' ') + platform::ToUtf8(label));
    }
    return out;
  }
  korvath::testing::MemoryFileSystem fs;
  ProgramIndex index;
  CallersTree tree;
  RecordingMessages messages;
};

TEST_F(CallersTreeTest, EachFunctionsCallersAreShownOnceAtItsFirstPlace) {
  EXPECT_EQ(
      Render(EmptyDiscardTable()),
      (Lines{"leaf", "  Alpha (2)", "    c (1)", "  b (1,2)", "    Alpha (1) - callers shown above",
             "    b (3) - callers shown above", "    c (1) - callers shown above"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CallersTreeTest, ADiscardedFunctionHidesTheCallersOnlyItLeadsTo) {
  DiscardTable discards = EmptyDiscardTable();
  discards.push_back({u"Alpha", u"", false});
  discards.push_back({u"b", u"shown", true});
  EXPECT_EQ(Render(discards),
            (Lines{"leaf", "  b (1,2)", "    b (3) - callers shown above", "    c (1)"}));
}

TEST_F(CallersTreeTest, TheCallTreesBudgetsApply) {
  EXPECT_EQ(Render(EmptyDiscardTable(), TreeLimits{1, 100}), (Lines{"leaf", "  Alpha (2)"}));
  EXPECT_EQ(messages.Texts(), (std::vector<Text>{messages::kOutOfStackSpace}));
  EXPECT_EQ(tree.NodeLimit(), 0);  // the depth is no budget of nodes
  messages.shown.clear();
  EXPECT_EQ(Render(EmptyDiscardTable(), TreeLimits{256, 3}),
            (Lines{"leaf", "  Alpha (2)", "    c (1)"}));
  EXPECT_EQ(messages.Texts(), (std::vector<Text>{messages::kTreeTooLarge}));
}

// The nodes the budget cut short say how many of their callers are missing,
// as the call tree's do; discarded callers are not missed.
TEST_F(CallersTreeTest, NodesCutByTheBudgetCountTheirCallersLeftOut) {
  const struct {
    TreeLimits limits;
    bool discardB;
    Lines shown;
    std::vector<int> cut;  // by node, from node 1
  } cases[] = {
      {{256, 100}, false, {}, {0, 0, 0, 0, 0, 0, 0}},
      {{256, 3}, false, {"leaf", "  Alpha (2)", "    c (1)"}, {1, 0, 0}},
      {{256, 2}, false, {"leaf", "  Alpha (2)"}, {1, 1}},
      {{256, 2}, true, {"leaf", "  Alpha (2)"}, {0, 1}},
  };
  for (const auto& c : cases) {
    DiscardTable discards = EmptyDiscardTable();
    if (c.discardB) discards.push_back({u"b", u"", false});
    const Lines shown = Render(discards, c.limits);
    if (!c.shown.empty()) {
      EXPECT_EQ(shown, c.shown);
    }
    ASSERT_EQ(tree.Count(), static_cast<int>(c.cut.size()));
    bool anyCut = false;
    for (int n = 1; n <= tree.Count(); ++n) {
      EXPECT_EQ(tree.Cut(n), c.cut[static_cast<std::size_t>(n - 1)]) << n;
      anyCut = anyCut || tree.Cut(n) > 0;
    }
    EXPECT_EQ(tree.NodeLimit(), anyCut ? c.limits.maxNodes : 0);
  }
}

// The picture of a cut callers tree takes the missing callers from the
// index: leaf's caller b, and nothing for Alpha's, which are shown.
TEST_F(CallersTreeTest, ThePictureOfACutTreeGetsTheMissingCallers) {
  Render(EmptyDiscardTable(), TreeLimits{256, 3});
  CallGraph graph = GraphOfTree(tree, TreeKind::Callers);
  AddCutCalls(graph, tree, index, TreeKind::Callers);
  std::vector<std::string> calls;
  for (const auto& call : graph.calls) {
    calls.push_back(platform::ToUtf8(graph.functions[static_cast<std::size_t>(call.from)].name) +
                    "->" +
                    platform::ToUtf8(graph.functions[static_cast<std::size_t>(call.to)].name));
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"Alpha->leaf", "c->Alpha", "b->leaf"}));
  // Only leaf, the root, lost callers to the budget; b, taken from the
  // index, stands for no node and is neither root nor cut.
  std::vector<std::string> functions;
  for (const auto& function : graph.functions) {
    functions.push_back(platform::ToUtf8(function.name) + (function.root ? " root" : "") +
                        (function.cut ? " cut" : "") + " node " +
                        std::to_string(function.treeNode));
  }
  EXPECT_EQ(functions, (std::vector<std::string>{"leaf root cut node 1", "Alpha node 2", "c node 3",
                                                 "b node 0"}));
}

// A node is marked repeated exactly when its function has a node before
// it: the front end then finds the first node, where the callers are shown.
TEST_F(CallersTreeTest, ANodeIsRepeatedExactlyWhenItsFunctionCameBefore) {
  for (int root = 0; root < static_cast<int>(index.Programs().size()); ++root) {
    SCOPED_TRACE(platform::ToUtf8(index.Programs()[static_cast<std::size_t>(root)].name));
    tree.Build(index, root, EmptyDiscardTable(), messages);
    std::vector<char> seen(index.Programs().size(), 0);
    int repeats = 0;
    for (int n = 1; n <= tree.Count(); ++n) {
      const auto program = static_cast<std::size_t>(tree.Program(n));
      EXPECT_EQ(tree.Repeated(n), seen[program] != 0) << n;
      repeats += tree.Repeated(n) ? 1 : 0;
      seen[program] = 1;
    }
    // b calls itself: in its own tree it comes back below the root.
    if (index.Programs()[static_cast<std::size_t>(root)].name == u"b") {
      EXPECT_GE(repeats, 1);
    }
  }
}

}  // namespace
}  // namespace korvath::engine
