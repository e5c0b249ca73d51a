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
  FileFinder(fs, {u"", u"/d"}).ForEachFile([&listed](std::size_t dir, const std::string& name) {
    listed.push_back(std::to_string(dir) + name);
  });
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Paths{"1.m", "1Upper.M", "1lower.m"}));
}

}  // namespace
}  // namespace korvath
