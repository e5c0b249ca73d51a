// The start file's name from what the user typed or picked.

#include <gtest/gtest.h>

#include "session/start_name.h"

namespace korvath {
namespace {

TEST(StartName, DotMIsAppendedUnlessPresentExactly) {
  EXPECT_EQ(StartNameFromInput(u"", false), u".m");
  EXPECT_EQ(StartNameFromInput(u"foo", false), u"foo.m");
  EXPECT_EQ(StartNameFromInput(u"foo.m", false), u"foo.m");
  EXPECT_EQ(StartNameFromInput(u"foo.M", false), u"foo.M.m");
  EXPECT_EQ(StartNameFromInput(u"foo.m ", false), u"foo.m .m");
  EXPECT_EQ(StartNameFromInput(u" foo", false), u" foo.m");
  EXPECT_EQ(StartNameFromInput(u"m", false), u"m.m");
  EXPECT_EQ(StartNameFromInput(u".m", false), u".m");
}

TEST(StartName, OnlyBackslashCutsWithoutSlashSeparator) {
  EXPECT_EQ(StartNameFromInput(u"C:\\a\\b\\foo.m", false), u"foo.m");
  EXPECT_EQ(StartNameFromInput(u"C:\\a\\b\\foo", false), u"foo.m");
  EXPECT_EQ(StartNameFromInput(u"C:\\a\\b\\", false), u".m");
  EXPECT_EQ(StartNameFromInput(u"a/b/foo.m", false), u"a/b/foo.m");
  EXPECT_EQ(StartNameFromInput(u"a\\b/c", false), u"b/c.m");
  // The ending is added before the cut.
  EXPECT_EQ(StartNameFromInput(u"foo.m\\", false), u".m");
}

TEST(StartName, SlashCutsToo) {
  EXPECT_EQ(StartNameFromInput(u"a/b/foo.m", true), u"foo.m");
  EXPECT_EQ(StartNameFromInput(u"/home/u/proj/main", true), u"main.m");
  EXPECT_EQ(StartNameFromInput(u"a\\b/c", true), u"c.m");
  EXPECT_EQ(StartNameFromInput(u"a/b\\c", true), u"c.m");
  EXPECT_EQ(StartNameFromInput(u"dir/", true), u".m");
  EXPECT_EQ(StartNameFromInput(u"C:\\a\\b\\foo.m", true), u"foo.m");
}

}  // namespace
}  // namespace korvath
