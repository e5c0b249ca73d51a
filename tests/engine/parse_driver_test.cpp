// Whole parse runs over in-memory projects: the passes and their captions,
// linking, the search order, discards, failures and the node budget.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "tests/support/test_doubles.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using korvath::testing::CountingTree;
using korvath::testing::MemoryFileSystem;
using korvath::testing::RecordingMessages;
using korvath::testing::RecordingProgress;
using korvath::testing::RecordingTree;
using Texts = std::vector<Text>;

const Text kBuilding = messages::kBuildingTree;
const Text kStack = messages::kOutOfStackSpace;
const Text kTooLarge = messages::kTreeTooLarge;

Text Caption(int parsed, int total) {
  return u"Parsed " + DecimalText(parsed) + u" files out of " + DecimalText(total) + u".";
}

class ParseDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
    fs.AddFile("/ml/toolbox/local/pathdef.m",
               "function p = pathdef\n"
               "p = [...\n"
               "     matlabroot,'\\toolbox\\local;', ...\n"
               "\t'\\proj\\a;',...\n"
               "\t'\\proj\\b;',...\n"
               "];\n");
    state.PathdefFile = u"/ml/toolbox/local/pathdef.m";
  }
  RunOutcome Run(TextView start, TreeLimits limits = {}) {
    RunServices services{fs, progress, messages, tree, limits};
    return ParseAndBuild(state, start, services);
  }
  const FunctionRecord& Final(std::size_t i) const { return state.FinalRecords.at(i); }

  MemoryFileSystem fs;
  EngineState state;
  RecordingProgress progress;
  RecordingMessages messages;
  RecordingTree tree;
};

TEST(ProgressCaption, CountsRecordsInPlainDecimal) {
  EXPECT_EQ(messages::ProgressCaption(0, 1), u"Parsed 0 files out of 1.");
  EXPECT_EQ(messages::ProgressCaption(1, 1), u"Parsed 1 files out of 1.");
  EXPECT_EQ(messages::ProgressCaption(1234, 40000), u"Parsed 1234 files out of 40000.");
}

TEST_F(ParseDriverTest, AStartFileThatCallsNothing) {
  fs.AddFile("/proj/a/main.m", "function main\n% nothing to call here\n");
  EXPECT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 1), kBuilding}));
  ASSERT_FALSE(progress.events.empty());
  EXPECT_EQ(progress.events.front(), u"<show>");
  EXPECT_EQ(progress.events.back(), u"<close>");
  EXPECT_EQ(tree.texts, (Texts{u"", u"main"}));
  EXPECT_EQ(tree.rootKey, u"main");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ParseDriverTest, PassesLinkingAndTheTree) {
  // main calls a, foo (twice), b and a function without a file; a and b
  // both call foo as well. foo is scanned once, through b's record (the
  // highest open one when no foo is settled yet); main's foo then links to
  // b's, and a's, coming last, to main's (the lowest settled foo).
  fs.AddFile("/proj/a/main.m", "function main\na\nfoo\nb\n\n% foo again\nfoo\nmissing\n");
  fs.AddFile("/proj/b/a.m", "function a\nfoo\n");
  fs.AddFile("/proj/b/b.m", "function b\nfoo\n");
  fs.AddFile("/proj/a/foo.m", "function foo\nleaf\n");
  fs.AddFile("/proj/a/leaf.m", "function leaf\n");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 5), Caption(1, 4), Caption(2, 5),
                                      Caption(3, 6), Caption(5, 6), Caption(6, 7), kBuilding}));
  ASSERT_EQ(state.FinalRecords.size(), 8u);
  EXPECT_EQ(Final(3), (FunctionRecord{u"main", u"foo", u"b", u"3,7", true}));
  EXPECT_EQ(Final(5), (FunctionRecord{u"b", u"foo", u"", u"2", true}));
  EXPECT_EQ(Final(6), (FunctionRecord{u"foo", u"leaf", u"", u"2", true}));
  EXPECT_EQ(Final(7), (FunctionRecord{u"a", u"foo", u"main", u"2", true}));
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"a (2)", u"foo (2) - Also called by main",
                               u"foo (3,7) - Also called by b", u"b (4)", u"foo (2)", u"leaf (2)"}));
  EXPECT_EQ(tree.parents, (std::vector<int>{0, 0, 1, 2, 1, 1, 5, 6}));
}

TEST_F(ParseDriverTest, SearchOrderCaseAndTheCurrentDirectory) {
  // The start file lies only in the current directory; pick.m is in every
  // directory, and the earliest pathdef.m entry wins; Util.m is found for util.
  fs.AddFile("/work/main.m", "\xEF\xBB\xBF" "function main\r\npick\r\nutil\r\n");
  fs.AddFile("/proj/a/pick.m", "alpha");
  fs.AddFile("/proj/b/pick.m", "beta");
  fs.AddFile("/work/pick.m", "gamma");
  fs.AddFile("/proj/b/Util.m", "delta");
  for (const char* f : {"alpha", "beta", "gamma", "delta"}) fs.AddFile(std::string("/work/") + f + ".m", "");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"pick (2)", u"alpha (1)", u"util (3)", u"delta (1)"}));
}

TEST_F(ParseDriverTest, AnUnreadablePathdefEndsTheRunBeforeAnythingElse) {
  fs.AddFile("/work/main.m", "foo\n");
  fs.AddFile("/ml/pathdef.m", "p = [...\n];\n");
  for (const char16_t* pathdef : {u"  /nowhere/toolbox/pathdef.m ", u" /ml/pathdef.m"}) {
    tree.Clear();
    tree.AddRoot(u"old", u"old");
    progress.events.clear();
    messages.shown.clear();
    state.PathdefFile = pathdef;
    EXPECT_EQ(Run(u"main.m"), RunOutcome::PathdefFailed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, MessageIcon::Critical);
    EXPECT_EQ(messages.shown[0].second, Text(messages::kPathdefNotFound));
    EXPECT_TRUE(progress.events.empty());
    EXPECT_EQ(tree.texts, (Texts{u"", u"old"}));
    EXPECT_EQ(state.PathdefFile, TrimBlanks(pathdef));
    EXPECT_EQ(state.Table.HighestIndex(), 1);
    EXPECT_EQ(state.Table.Name(1), u"main.m");
  }
}

TEST_F(ParseDriverTest, AStartFileThatCallsItselfIsScannedTwice) {
  fs.AddFile("/proj/a/main.m", "function main\n% calls itself\nmain\n");
  ASSERT_EQ(Run(u"main.m", TreeLimits{5, 1000}), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 2), Caption(2, 2), kBuilding}));
  EXPECT_EQ(Final(2), (FunctionRecord{u"main", u"main", u"", u"3,3", true}));
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"main (3,3)", u"main (3,3)", u"main (3,3)",
                               u"main (3,3)", u"main (3,3)"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, MessageIcon::Critical);
  EXPECT_EQ(messages.shown[0].second, kStack);
}

TEST_F(ParseDriverTest, NamesWithoutFilesAreBlankedAndLeaveTheCounts) {
  // "2" takes a slot and leaves it empty; the empty record is open, so it is
  // picked and looked for like any other.
  fs.AddFile("/proj/a/main.m", "x = 2\n");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 1), Caption(1, 1), kBuilding}));
  EXPECT_EQ(tree.texts, (Texts{u"", u"main"}));

  progress.captions.clear();
  fs.AddFile("/proj/a/main.m", "y = inf + nan\n");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions,
            (Texts{Caption(0, 1), Caption(1, 3), Caption(1, 2), Caption(1, 1), kBuilding}));
  EXPECT_EQ(tree.texts, (Texts{u"", u"main"}));
}

TEST_F(ParseDriverTest, DiscardedFunctionsAreScannedButNotShown) {
  // h is scanned through d's record; with d discarded, h's calls appear
  // nowhere and main's h is a leaf naming the discarded caller.
  fs.AddFile("/proj/a/main.m", "h\nd\n");
  fs.AddFile("/proj/a/d.m", "h\n");
  fs.AddFile("/proj/a/h.m", "w\n");
  fs.AddFile("/proj/a/w.m", "");
  const Texts captions = {Caption(0, 1), Caption(1, 3), Caption(2, 4), Caption(3, 5), Caption(5, 5), kBuilding};
  const Texts fullTree = {u"", u"main", u"h (1) - Also called by d", u"d (2)", u"h (1)", u"w (1)"};

  state.Discards.push_back({u"d", u"Mine", false});
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, captions);
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"h (1) - Also called by d"}));
  EXPECT_EQ(Final(3).Name, u"");

  state.Discards[1].Show = true;
  progress.captions.clear();
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, captions);
  EXPECT_EQ(tree.texts, fullTree);

  state.Discards[1] = {u"D", u"", false};
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(tree.texts, fullTree);
}

TEST_F(ParseDriverTest, NoRootWhenTheStartFileIsMissingOrDiscarded) {
  tree.Clear();
  tree.AddRoot(u"old", u"old");
  EXPECT_EQ(Run(u"main.m"), RunOutcome::StartNotFound);
  EXPECT_EQ(tree.Count(), 0);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(0, 0), kBuilding}));
  EXPECT_EQ(progress.events.back(), u"<close>");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, MessageIcon::Information);
  EXPECT_NE(messages.shown[0].second.find(u"main"), Text::npos);

  fs.AddFile("/proj/a/main.m", "function main\nfoo\n");
  fs.AddFile("/proj/a/foo.m", "");
  state.Discards.push_back({u"main", u"", false});
  messages.shown.clear();
  progress.captions.clear();
  tree.AddRoot(u"old", u"old");
  EXPECT_EQ(Run(u"main.m"), RunOutcome::StartNotFound);
  EXPECT_EQ(tree.Count(), 0);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 2), Caption(2, 2), kBuilding}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, MessageIcon::Information);
}

TEST_F(ParseDriverTest, AFoundFileThatCannotBeReadCountsAsScannedWithoutCalls) {
  fs.AddFile("/proj/a/main.m", "broken\nok\n");
  fs.AddFile("/proj/a/broken.m", "inner\n");
  fs.MakeUnreadable("/proj/a/broken.m");
  fs.AddFile("/proj/b/ok.m", "inner\n");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(progress.captions, (Texts{Caption(0, 1), Caption(1, 3), Caption(2, 4), Caption(2, 3),
                                      Caption(3, 3), kBuilding}));
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"broken (1)", u"ok (2)"}));
  ASSERT_EQ(messages.unreadable.size(), 1u);
  EXPECT_NE(messages.unreadable[0].find(u"broken.m"), Text::npos);
}

TEST_F(ParseDriverTest, EachRunStartsFromAFreshTable) {
  fs.AddFile("/proj/a/main.m", "a\n");
  fs.AddFile("/proj/a/a.m", "b\n");
  fs.AddFile("/proj/a/b.m", "");
  ASSERT_EQ(Run(u"main.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"a (1)", u"b (1)"}));
  ASSERT_EQ(Run(u"a.m"), RunOutcome::TreeBuilt);
  EXPECT_EQ(tree.texts, (Texts{u"", u"a", u"b (1)"}));
  ASSERT_EQ(state.FinalRecords.size(), 3u);
  EXPECT_EQ(Final(1).Name, u"a");
}

TEST_F(ParseDriverTest, TheNodeBudgetStopsAnExplodingTree) {
  // main calls itself and helper, once as helper and once as helper.m;
  // helper calls main. After the ".m" endings go, main has two expandable
  // helper children, each leading back to main: the tree doubles every two
  // levels down to the depth budget.
  fs.AddFile("/proj/a/main.m", "function main\nmain\nhelper\nhelper.m\n");
  fs.AddFile("/proj/a/helper.m", "function helper\nmain\n");
  CountingTree counting;
  RunServices services{fs, progress, messages, counting, TreeLimits{}};
  ASSERT_EQ(ParseAndBuild(state, u"main.m", services), RunOutcome::TreeBuilt);
  EXPECT_EQ(counting.Count(), 1000000);
  EXPECT_FALSE(counting.badParent);
  const Texts texts = messages.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), kTooLarge);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kTooLarge), 1);
  EXPECT_GE(std::count(texts.begin(), texts.end(), kStack), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kStack) + 1, static_cast<long>(texts.size()));
  EXPECT_EQ(Final(2), (FunctionRecord{u"main", u"main", u"helper", u"2,2", true}));
  EXPECT_EQ(Final(3), (FunctionRecord{u"main", u"helper", u"", u"3,3", true}));
  EXPECT_EQ(Final(4), (FunctionRecord{u"main", u"helper", u"", u"4,4", true}));
  EXPECT_EQ(Final(5), (FunctionRecord{u"helper", u"main", u"", u"2,2", true}));
}

}  // namespace
}  // namespace korvath
