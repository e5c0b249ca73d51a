// The start file's name from what the user typed or picked.

#include <gtest/gtest.h>

#include "session/start_name.h"

namespace korvath::session {
namespace {

TEST(StartNameFromInput, AppendsDotMThenCutsAtTheLastSeparator) {
  struct Case {
    const char16_t* input;
    bool slashIsSeparator;
    const char16_t* name;
  };
  const Case cases[] = {
      {u"", false, u".m"},
      {u"foo", false, u"foo.m"},
      {u"foo.m", false, u"foo.m"},
      {u"foo.M", false, u"foo.M.m"},    // the ending is case-sensitive
      {u"foo.m ", false, u"foo.m .m"},  // and nothing is trimmed
      {u"m", false, u"m.m"},
      {u".m", false, u".m"},
      {u"C:\\a\\b\\foo", false, u"foo.m"},
      {u"a/b/foo.m", false, u"a/b/foo.m"},
      {u"a\\b/c", false, u"b/c.m"},
      {u"foo.m\\", false, u".m"},  // the ending is added before the cut
      {u"/home/u/main", true, u"main.m"},
      {u"a\\b/c", true, u"c.m"},
      {u"a/b\\c", true, u"c.m"},
      {u"dir/", true, u".m"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartNameFromInput(c.input, c.slashIsSeparator), c.name)
        << ::testing::PrintToString(Text(c.input)) << " slash " << c.slashIsSeparator;
  }
}

}  // namespace
}  // namespace korvath::session
