// Whole parse runs over in-memory projects. The differential test compares
// every run with the literal loops; these pin down a few exact outcomes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::CountingTree;
using korvath::testing::MemoryFileSystem;
using korvath::testing::RecordingMessages;
using korvath::testing::RecordingProgress;
using korvath::testing::RecordingTree;
using Texts = std::vector<Text>;

const Text kBuilding = messages::kBuildingTree;
const Text kStack = messages::kOutOfStackSpace;

Text Caption(int parsed, int total) { return messages::ProgressCaption(parsed, total); }

class ParseDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
    fs.AddFile("/ml/toolbox/local/pathdef.m", "p = [...\n\t'\\proj\\a;',...\n\t'\\proj\\b;',...\n");
    input.pathdefFile = u" /ml/toolbox/local/pathdef.m ";
    input.startName = u"main.m";
  }
  void Files(std::initializer_list<std::pair<const char*, const char*>> files) {
    for (const auto& [path, bytes] : files) fs.AddFile(path, bytes);
  }
  Status Run(TreeLimits limits = {}, TreeModel* into = nullptr) {
    progress.events.clear();
    progress.refreshes = 0;
    messages.shown.clear();
    RunServices services{fs, progress, messages, into != nullptr ? *into : tree, limits};
    return ParseAndBuild(input, services, output).status;
  }

  MemoryFileSystem fs;
  RunInput input;
  RunOutput output;
  RecordingProgress progress;
  RecordingMessages messages;
  RecordingTree tree;
};

TEST_F(ParseDriverTest, EachPassShowsItsCountsAndAnUnreadableFileHasNoCalls) {
  EXPECT_EQ(Caption(1234, 40000), u"Parsed 1234 files out of 40000.");
  Files({{"/proj/a/main.m", "broken\nok\n"}, {"/proj/a/broken.m", "inner\n"},
         {"/proj/b/ok.m", "inner\n"}});
  fs.MakeUnreadable("/proj/a/broken.m");
  ASSERT_EQ(Run(), Status::Ok);
  EXPECT_EQ(progress.events, (Texts{u"<show>", Caption(0, 1), Caption(1, 3), Caption(2, 4),
                                    Caption(2, 3), Caption(3, 3), kBuilding, u"<close>"}));
  EXPECT_EQ(progress.refreshes, 7);
  EXPECT_EQ(tree.rootKey, u"main");
  EXPECT_EQ(tree.texts, (Texts{u"", u"main", u"broken (1)", u"ok (2)"}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(messages.unreadable, (Texts{u"/proj/a/broken.m"}));
  EXPECT_EQ(output.stats.scannedFiles, (Texts{u"/proj/a/main.m", u"/proj/b/ok.m"}));
  EXPECT_EQ(output.stats.passes, 5);
  EXPECT_EQ(output.stats.nodes, 3);
}

TEST_F(ParseDriverTest, TheDefaultNodeBudgetStopsAnExplodingTree) {
  // main calls itself and helper, once as helper and once as helper.m;
  // helper calls main: the tree doubles every two levels.
  Files({{"/proj/a/main.m", "main\nhelper\nhelper.m\n"}, {"/proj/a/helper.m", "main\n"}});
  CountingTree counting;
  ASSERT_EQ(Run(TreeLimits{}, &counting), Status::Ok);
  EXPECT_EQ(counting.Count(), 1000000);
  EXPECT_EQ(output.stats.nodes, 1000000);
  EXPECT_FALSE(counting.badParent);
  const Texts texts = messages.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), messages::kTreeTooLarge);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kStack) + 1, static_cast<long>(texts.size()));
}

}  // namespace
}  // namespace korvath
