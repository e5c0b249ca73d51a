// The program index: which files are programs, who calls whom on which
// lines, and a refresh that rescans only what changed yet ends where a fresh
// index does.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/program_index.h"
#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"

namespace korvath::engine {
namespace {

using korvath::testing::MemoryFileSystem;
using Lines = std::vector<std::string>;

const std::vector<Text> kDirs = {u"", u"/a", u"/b", u"/work"};

// "caller -> callee lines" for every call, then "name path" for every
// program, callers listed as the index orders them.
Lines Describe(const ProgramIndex& index) {
  Lines out;
  const auto& programs = index.Programs();
  for (const auto& p : programs) {
    std::string line = platform::ToUtf8(p.name + u" " + p.path) + " <-";
    for (const auto& c : p.callers) {
      line += " " + platform::ToUtf8(programs[static_cast<std::size_t>(c.program)].name) + ":";
      for (const std::int32_t n : c.lines) line += std::to_string(n) + ",";
    }
    out.push_back(line);
  }
  return out;
}

class ProgramIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
    // main calls helper (also as helper.m), itself, zed and Zed (capitals
    // stay on a continuation line only); numbers, variables and names
    // without a file drop out.
    fs.AddFile("/work/main.m",
               "x = helper(1);\nhelper.m\n007\nmain\nZed + zed(y) + ...\n  Zed\ndisp(x)\n");
    fs.AddFile("/a/helper.m", "function h = helper\nh = alpha(2) + 3;\n");
    fs.AddFile("/b/HELPER.m", "% shadowed by /a/helper.m\n");
    fs.AddFile("/b/alpha.m", "helper % a cycle\nhelper\n");
    fs.AddFile("/b/Zed.m", "");  // two names in one folder, each found for itself
    fs.AddFile("/b/zed.m", "");
    fs.AddFile("/b/007.m", "");  // a number names no call
    fs.AddFile("/b/notes.txt", "helper\n");
  }
  MemoryFileSystem fs;
};

TEST_F(ProgramIndexTest, ProgramsAreTheFilesASearchFindsAndCallsResolveAsARunResolves) {
  ProgramIndex index;
  const auto stats = index.Refresh(fs, kDirs);
  EXPECT_EQ(stats.programs, 6);
  EXPECT_EQ(stats.scanned, 6);
  EXPECT_EQ(Describe(index), (Lines{"helper /a/helper.m <- alpha:1,2, main:1,2,",
                                    "007 /b/007.m <-", "Zed /b/Zed.m <- main:5,",
                                    "alpha /b/alpha.m <- helper:2,", "zed /b/zed.m <- main:5,",
                                    "main /work/main.m <- main:4,"}));
  EXPECT_EQ(index.ProgramAt(u"/b/alpha.m"), 3);
  EXPECT_EQ(index.ProgramAt(u"/b/HELPER.m"), -1);
}

TEST_F(ProgramIndexTest, ARefreshRescansOnlyChangedFilesAndMatchesAFreshIndex) {
  ProgramIndex index;
  index.Refresh(fs, kDirs);
  EXPECT_EQ(index.Refresh(fs, kDirs).scanned, 0);
  fs.AddFile("/b/alpha.m", "beta\n");     // changed: calls a new file
  fs.AddFile("/work/beta.m", "alpha\n");  // added, unreadable: no calls, tried again
  fs.MakeUnreadable("/work/beta.m");
  fs.RemoveFile("/a/helper.m");  // removed: /b/HELPER.m takes its place
  EXPECT_EQ(index.Refresh(fs, kDirs).scanned, 3);
  ProgramIndex fresh;
  fresh.Refresh(fs, kDirs);
  EXPECT_EQ(Describe(index), Describe(fresh));
  EXPECT_EQ(Describe(index)[1], "HELPER /b/HELPER.m <- main:1,2,");
  EXPECT_EQ(index.Refresh(fs, kDirs).scanned, 1);
  // Other directories start afresh.
  EXPECT_EQ(index.Refresh(fs, {u"", u"/b"}).scanned, 5);
}

TEST_F(ProgramIndexTest, ACancelledRefreshLeavesNothingAndTheNextStartsAfresh) {
  ProgramIndex index;
  index.Refresh(fs, kDirs);
  const Lines before = Describe(index);
  fs.AddFile("/b/alpha.m", "zed\n");  // changed: a refresh has work to do
  ProgramIndex::Control control;
  control.cancel = true;
  const auto stopped = index.Refresh(fs, kDirs, &control);
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_TRUE(index.Programs().empty());
  EXPECT_EQ(index.ProgramAt(u"/work/main.m"), -1);

  ProgramIndex::Control followed;
  const auto stats = index.Refresh(fs, kDirs, &followed);
  EXPECT_FALSE(stats.cancelled);
  EXPECT_EQ(stats.scanned, stats.programs);
  EXPECT_EQ(followed.done.load(), followed.total.load());
  EXPECT_EQ(followed.total.load(), 3 * stats.programs);
  EXPECT_NE(Describe(index), before);
  ProgramIndex fresh;
  fresh.Refresh(fs, kDirs);
  EXPECT_EQ(Describe(index), Describe(fresh));
}

// As the explorer does: the refresh on a thread of its own, its progress read
// and its cancel set from another while the workers scan.
TEST_F(ProgramIndexTest, ARefreshOnAnotherThreadIsFollowedAndCancelledFromThisOne) {
  for (int i = 0; i < 400; ++i) {
    const std::string name = "f" + std::to_string(i);
    fs.AddFile("/work/" + name + ".m", "helper(1)\nf" + std::to_string((i + 1) % 400) + "\n");
  }
  ProgramIndex index;
  ProgramIndex::Control control;
  ProgramIndex::RefreshStats stats;
  std::thread refresh([&] { stats = index.Refresh(fs, kDirs, &control); });
  while (control.done.load() == 0) std::this_thread::yield();
  EXPECT_LE(control.done.load(), control.total.load());
  control.cancel = true;
  refresh.join();
  if (stats.cancelled) {
    EXPECT_TRUE(index.Programs().empty());
  }

  ProgramIndex::Control followed;
  std::thread again([&] { stats = index.Refresh(fs, kDirs, &followed); });
  again.join();
  EXPECT_FALSE(stats.cancelled);
  EXPECT_EQ(followed.done.load(), followed.total.load());
  ProgramIndex fresh;
  fresh.Refresh(fs, kDirs);
  EXPECT_EQ(Describe(index), Describe(fresh));
  EXPECT_EQ(Describe(index).size(), 406u);
}

}  // namespace
}  // namespace korvath::engine
