// Finding a function's file in the search directories.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/probe_cache.h"
#include "platform/utf8.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::MemoryFileSystem;

using Paths = std::vector<std::string>;

class ProbeCacheTest : public ::testing::Test {
 protected:
  void Add(const Paths& files) {
    for (const std::string& file : files) fs.AddFile(file, "");
  }
  // The path found for each name, "-" for none.
  Paths Found(std::vector<Text> dirs, std::vector<TextView> names) {
    ProbeCache cache(fs, std::move(dirs));
    Paths out;
    for (const TextView name : names) {
      const std::optional<Text> path = cache.Find(name);
      out.push_back(path ? platform::ToUtf8(*path) : "-");
    }
    return out;
  }
  MemoryFileSystem fs;
};

TEST_F(ProbeCacheTest, EarlierDirectoriesWinEachListedOnceAndTheCurrentDirectoryLast) {
  Add({"/a/foo.m", "/b/foo.m", "/b/bar.m", "/b/boom", "/work/bar.m", "/work/main.m"});
  EXPECT_EQ(Found({u"", u"/a", u"/b", u"/work"},
                  {u"foo.m", u"bar.m", u"main.m", u"none.m", u"foo", u".m", u"boom"}),
            (Paths{"/a/foo.m", "/b/bar.m", "/work/main.m", "-", "-", "-", "-"}));
  EXPECT_EQ(fs.listings, 3);
  EXPECT_EQ(Found({u""}, {u"foo.m"}), Paths{"-"});
}

TEST_F(ProbeCacheTest, ExactNameFirstThenTheFirstCaseInsensitiveMatchInByteOrder) {
  Add({"/d/foo.m", "/d/fOO.m", "/d/Foo.m", "/d/FOO.M", "/e/Only.M", "/e/foo.m"});
  // No exact match: "FOO.M" < "Foo.m" < "fOO.m" < "foo.m" in byte order. An
  // inexact match in an earlier directory beats an exact one later.
  EXPECT_EQ(Found({u"", u"/d", u"/e"}, {u"foo.m", u"Foo.m", u"FoO.m", u"only.m"}),
            (Paths{"/d/foo.m", "/d/Foo.m", "/d/FOO.M", "/e/Only.M"}));
  EXPECT_EQ(Found({u"", u"/e", u"/d"}, {u"FOO.M"}), Paths{"/e/foo.m"});
}

TEST_F(ProbeCacheTest, CaseFoldingIsAsciiOnly) {
  Add({"/d/\xC3\x84nderung.m", "/d/\xC3\xA9t\xC3\xA9.m", "/d/\xC2\x80.m"});
  EXPECT_EQ(Found({u"", u"/d"},
                  {u"\u00e4nderung.m", u"\u00c4nderung.m", u"\u00e9T\u00e9.m", u"\u0080.M"}),
            (Paths{"-", "/d/\xC3\x84nderung.m", "/d/\xC3\xA9t\xC3\xA9.m", "/d/\xC2\x80.m"}));
}

TEST_F(ProbeCacheTest, DirectoriesAndMissingDirectoriesAreSkippedAnUnreadableOneEndsTheSearch) {
  fs.AddDirectory("/a/foo.m");
  Add({"/b/foo.m", "/b/early.m", "/locked/inside.m", "/c/late.m", "/c/early.m"});
  fs.MakeUnreadable("/locked");
  EXPECT_EQ(Found({u"", u"/missing", u"/a", u"\\b"}, {u"foo.m"}), Paths{"/b/foo.m"});
  const std::vector<Text> dirs = {u"", u"/b", u"/locked", u"/c"};
  EXPECT_EQ(Found(dirs, {u"early.m", u"late.m", u"inside.m"}), (Paths{"/b/early.m", "-", "-"}));
  EXPECT_EQ(Found(dirs, {u"late.m", u"early.m", u"late.m"}), (Paths{"-", "/b/early.m", "-"}));
}

}  // namespace
}  // namespace korvath
