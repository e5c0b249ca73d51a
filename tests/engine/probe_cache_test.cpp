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

using korvath::testing::MemoryFileSystem;

class ProbeCacheTest : public ::testing::Test {
 protected:
  // The contents of the file found for `name`, or "<none>".
  std::string Found(ProbeCache& cache, TextView name) {
    const std::optional<Text> path = cache.Find(name);
    if (!path) return "<none>";
    const auto bytes = fs.ReadFile(*path, nullptr);
    return bytes ? *bytes : "<unreadable " + platform::ToUtf8(*path) + ">";
  }
  MemoryFileSystem fs;
};

TEST_F(ProbeCacheTest, EarlierDirectoriesWinAndTheCurrentDirectoryComesLast) {
  fs.AddFile("/a/foo.m", "a/foo");
  fs.AddFile("/b/foo.m", "b/foo");
  fs.AddFile("/b/bar.m", "b/bar");
  fs.AddFile("/work/bar.m", "work/bar");
  fs.AddFile("/work/main.m", "work/main");
  ProbeCache cache(fs, {u"", u"/a", u"/b", u"/work"});
  EXPECT_EQ(Found(cache, u"foo.m"), "a/foo");
  EXPECT_EQ(Found(cache, u"bar.m"), "b/bar");
  EXPECT_EQ(Found(cache, u"main.m"), "work/main");
  EXPECT_EQ(Found(cache, u"none.m"), "<none>");
  EXPECT_EQ(Found(cache, u"foo"), "<none>");
  EXPECT_EQ(Found(cache, u".m"), "<none>");
}

TEST_F(ProbeCacheTest, ExactNameFirstThenTheFirstCaseInsensitiveMatchInByteOrder) {
  fs.AddFile("/d/foo.m", "exact");
  fs.AddFile("/d/fOO.m", "fOO");
  fs.AddFile("/d/Foo.m", "Foo");
  fs.AddFile("/d/FOO.M", "FOO.M");
  fs.AddFile("/e/Only.M", "Only.M");
  ProbeCache cache(fs, {u"", u"/d", u"/e"});
  EXPECT_EQ(Found(cache, u"foo.m"), "exact");
  EXPECT_EQ(Found(cache, u"Foo.m"), "Foo");
  // No exact match: "FOO.M" < "Foo.m" < "fOO.m" < "foo.m" in byte order.
  EXPECT_EQ(Found(cache, u"FoO.m"), "FOO.M");
  EXPECT_EQ(Found(cache, u"only.m"), "Only.M");
  // An inexact match in an earlier directory beats an exact one later.
  fs.AddFile("/f/x.m", "f/x");
  fs.AddFile("/g/X.m", "g/X");
  ProbeCache later(fs, {u"", u"/g", u"/f"});
  EXPECT_EQ(Found(later, u"x.m"), "g/X");
}

TEST_F(ProbeCacheTest, CaseFoldingIsAsciiOnly) {
  fs.AddFile("/d/\xC3\x84nderung.m", "upper umlaut");
  fs.AddFile("/d/\xC3\xA9t\xC3\xA9.m", "lower");
  ProbeCache cache(fs, {u"", u"/d"});
  EXPECT_EQ(Found(cache, u"\u00e4nderung.m"), "<none>");
  EXPECT_EQ(Found(cache, u"\u00c4nderung.m"), "upper umlaut");
  EXPECT_EQ(Found(cache, u"\u00e9T\u00e9.m"), "lower");
}

TEST_F(ProbeCacheTest, OnlyRegularFilesAndMissingDirectoriesAreSkipped) {
  fs.AddDirectory("/a/foo.m");
  fs.AddFile("/b/foo.m", "b/foo");
  ProbeCache cache(fs, {u"", u"/missing", u"/a", u"\\b"});
  EXPECT_EQ(Found(cache, u"foo.m"), "b/foo");
}

TEST_F(ProbeCacheTest, AnUnreadableDirectoryEndsTheSearch) {
  fs.AddFile("/a/early.m", "a/early");
  fs.AddFile("/locked/inside.m", "locked");
  fs.AddFile("/c/late.m", "c/late");
  fs.AddFile("/c/early.m", "c/early");
  fs.MakeUnreadable("/locked");
  ProbeCache cache(fs, {u"", u"/a", u"/locked", u"/c"});
  EXPECT_EQ(Found(cache, u"early.m"), "a/early");
  EXPECT_EQ(Found(cache, u"late.m"), "<none>");
  EXPECT_EQ(Found(cache, u"inside.m"), "<none>");
  // Also on later look-ups, and in either order.
  ProbeCache cache2(fs, {u"", u"/a", u"/locked", u"/c"});
  EXPECT_EQ(Found(cache2, u"late.m"), "<none>");
  EXPECT_EQ(Found(cache2, u"early.m"), "a/early");
  EXPECT_EQ(Found(cache2, u"late.m"), "<none>");
}

TEST_F(ProbeCacheTest, EachDirectoryIsListedAtMostOnce) {
  for (int i = 0; i < 5; ++i) fs.AddFile("/d" + std::to_string(i) + "/f" + std::to_string(i) + ".m", "x");
  ProbeCache cache(fs, {u"", u"/d0", u"/d1", u"/d2", u"/d3", u"/d4", u"/nowhere"});
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(Found(cache, Widen("f" + std::to_string(i) + ".m")), "x");
    }
    EXPECT_EQ(Found(cache, u"absent.m"), "<none>");
  }
  EXPECT_LE(fs.listings, 6);
  EXPECT_LE(cache.DirectoriesListed(), 6u);
}

}  // namespace
}  // namespace korvath
