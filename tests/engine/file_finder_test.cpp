// Finding a function's file in the search directories: each listed once, and
// case folded with the host's key. The search order, spellings, unreadable and
// missing directories are compared with a literal search by the differential
// test.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_finder.h"
#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::MemoryFileSystem;

using Paths = std::vector<std::string>;

class FileFinderTest : public ::testing::Test {
 protected:
  void Add(const Paths& files) {
    for (const std::string& file : files) fs.AddFile(file, "");
  }
  // The path found for each name, "-" for none.
  Paths Found(std::vector<Text> dirs, std::vector<TextView> names) {
    FileFinder cache(fs, std::move(dirs));
    Paths out;
    for (const TextView name : names) {
      const std::optional<Text> path = cache.Find(name);
      out.push_back(path ? platform::ToUtf8(*path) : "-");
    }
    return out;
  }
  MemoryFileSystem fs;
};

TEST_F(FileFinderTest, EarlierDirectoriesWinEachListedOnceAndTheCurrentDirectoryLast) {
  Add({"/a/foo.m", "/b/foo.m", "/b/bar.m", "/b/boom", "/work/bar.m", "/work/main.m"});
  EXPECT_EQ(Found({u"", u"/a", u"/b", u"/work"},
                  {u"foo.m", u"bar.m", u"main.m", u"none.m", u"foo", u".m", u"boom"}),
            (Paths{"/a/foo.m", "/b/bar.m", "/work/main.m", "-", "-", "-", "-"}));
  EXPECT_EQ(fs.listings, 3);
  EXPECT_EQ(Found({u""}, {u"foo.m"}), Paths{"-"});
}

// A folder that cannot be listed is passed over and told once, when a
// search first gets past it: a name found before it says nothing, and a
// folder on the path twice is told once.
TEST_F(FileFinderTest, FoldersThatCannotBeListedArePassedOverAndToldOnce) {
  Add({"/a/first.m", "/locked/hidden.m", "/b/later.m", "/work/main.m"});
  fs.MakeUnreadable("/locked");
  Paths told;
  FileFinder finder(fs, {u"", u"/a", u"/locked", u"/b", u"/locked", u"/work"},
                    [&told](const Text& dir, const platform::Result& why) {
                      told.push_back(platform::ToUtf8(dir) + ": " + why.description);
                    });
  const auto find = [&finder](TextView name) {
    const std::optional<Text> path = finder.Find(name);
    return path ? platform::ToUtf8(*path) : "-";
  };
  EXPECT_EQ(find(u"first.m"), "/a/first.m");
  EXPECT_EQ(told, Paths{});
  EXPECT_EQ(find(u"later.m"), "/b/later.m");
  EXPECT_EQ(told, Paths{"/locked: cannot list"});
  EXPECT_EQ((Paths{find(u"main.m"), find(u"hidden.m"), find(u"none.m")}),
            (Paths{"/work/main.m", "-", "-"}));
  EXPECT_EQ(told, Paths{"/locked: cannot list"});
  // The index's walk over every file gets past every folder.
  Paths walked;
  FileFinder(fs, {u"", u"/locked", u"/work"}, [&walked](const Text& dir, const platform::Result&) {
    walked.push_back(platform::ToUtf8(dir));
  }).ForEachFile([](std::size_t, std::string_view) {});
  EXPECT_EQ(walked, Paths{"/locked"});
}

// Names are matched by the host's case key (tested with the host); ASCII
// letters fold on every host, and names beyond ASCII are found as listed.
TEST_F(FileFinderTest, NamesMatchIgnoringAsciiCase) {
  Add({"/d/\xC3\x84nderung.m", "/d/\xC3\xA9t\xC3\xA9.m", "/d/\xC2\x80.m"});
  EXPECT_EQ(Found({u"", u"/d"}, {u"\u00c4nderung.m", u"\u00e9T\u00e9.m", u"\u0080.M"}),
            (Paths{"/d/\xC3\x84nderung.m", "/d/\xC3\xA9t\xC3\xA9.m", "/d/\xC2\x80.m"}));
}

// Only names ending in ".m" or ".M" are functions' files; ".m" alone is the
// file of the empty name.
TEST_F(FileFinderTest, FilesEndingInDotMOfEitherCaseAreFound) {
  Add({"/d/Upper.M", "/d/.m", "/d/lower.m", "/d/x.mm", "/d/M", "/d/zm", "/d/y.M.txt"});
  EXPECT_EQ(Found({u"", u"/d"}, {u"upper.m", u"Upper.M", u".m", u"lower.m", u"x.mm", u"M", u"zm",
                                 u"y.M.txt", u"y.m"}),
            (Paths{"/d/Upper.M", "/d/Upper.M", "/d/.m", "/d/lower.m", "-", "-", "-", "-", "-"}));
  std::vector<std::string> listed;
  FileFinder(fs, {u"", u"/d"}).ForEachFile([&listed](std::size_t dir, std::string_view name) {
    listed.push_back(std::to_string(dir) + std::string(name));
  });
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Paths{"1.m", "1Upper.M", "1lower.m"}));
}

// Thousands of names, so the index grows many times over: each found in the
// first folder holding its key, the exact spelling there, else the first of
// its spellings in byte order; the shadowed ones never walked.
TEST_F(FileFinderTest, ManyNamesAreFiledAsFew) {
  Paths first, second;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "f" + std::to_string(i) + ".m";
    first.push_back("/a/" + name);
    if (i % 3 == 0) second.push_back("/b/" + name);  // shadowed
    second.push_back("/b/g" + std::to_string(i) + ".m");
  }
  Add(first);
  Add(second);
  Add({"/a/Dup.m", "/a/dUP.m", "/a/dup.M", "/b/dup.m", "/b/DUP.m"});
  EXPECT_EQ(Found({u"", u"/a", u"/b"}, {u"f0.m", u"F2999.M", u"g1234.m", u"G0.m", u"dup.m",
                                        u"dUP.m", u"dup.M", u"DUP.m", u"f3000.m"}),
            (Paths{"/a/f0.m", "/a/f2999.m", "/b/g1234.m", "/b/g0.m", "/a/Dup.m", "/a/dUP.m",
                   "/a/dup.M", "/a/Dup.m", "-"}));
  Paths walked;
  FileFinder(fs, {u"", u"/a", u"/b"}).ForEachFile([&](std::size_t dir, std::string_view name) {
    walked.push_back(std::to_string(dir) + std::string(name));
  });
  std::sort(walked.begin(), walked.end());
  EXPECT_EQ(walked.size(), 6003U);
  EXPECT_TRUE(std::binary_search(walked.begin(), walked.end(), "1dup.M"));
  EXPECT_TRUE(std::binary_search(walked.begin(), walked.end(), "2g2999.m"));
  EXPECT_FALSE(std::binary_search(walked.begin(), walked.end(), "2f0.m"));
  EXPECT_FALSE(std::binary_search(walked.begin(), walked.end(), "2dup.m"));
  EXPECT_EQ(std::adjacent_find(walked.begin(), walked.end()), walked.end());
}

}  // namespace
}  // namespace korvath
