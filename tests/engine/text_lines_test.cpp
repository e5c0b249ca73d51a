// Text files as lines: encoding detection, byte-order mark, line ends; and the
// small text helpers everything else leans on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/text.h"
#include "engine/text_lines.h"

namespace korvath {
namespace {

using Lines = std::vector<Text>;

Lines ReadAll(std::string bytes) {
  TextLines lines(std::move(bytes));
  Lines out;
  Text line;
  while (lines.Next(line)) out.push_back(line);
  return out;
}

TEST(TextLines, EveryTerminatorEndsALineAndAFinalOneAddsNothing) {
  EXPECT_EQ(ReadAll("a\r\nb\rc\nd"), (Lines{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(ReadAll("a\n"), (Lines{u"a"}));
  EXPECT_EQ(ReadAll("a\r"), (Lines{u"a"}));
  EXPECT_EQ(ReadAll("a\r\n"), (Lines{u"a"}));
  EXPECT_EQ(ReadAll(""), Lines{});
  // An empty line still counts when it is terminated.
  EXPECT_EQ(ReadAll("\n"), (Lines{u""}));
  EXPECT_EQ(ReadAll("\r\n\r\n"), (Lines{u"", u""}));
  // LF CR is two terminators; CR CR LF is two as well.
  EXPECT_EQ(ReadAll("\n\r"), (Lines{u"", u""}));
  EXPECT_EQ(ReadAll("x\r\r\ny"), (Lines{u"x", u"", u"y"}));
  EXPECT_EQ(ReadAll("a\n\nb"), (Lines{u"a", u"", u"b"}));
  // Tabs, blanks and NUL are part of the line.
  EXPECT_EQ(ReadAll(std::string(" \ta\0b \n", 7)), (Lines{Text(u" \ta\0b ", 6)}));
}

TEST(TextLines, NextAndAtEndAgree) {
  TextLines lines("one\ntwo\n");
  Text line;
  EXPECT_FALSE(lines.AtEnd());
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, u"one");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, u"two");
  EXPECT_TRUE(lines.AtEnd());
  EXPECT_FALSE(lines.Next(line));
  EXPECT_FALSE(lines.Next(line));
  EXPECT_TRUE(TextLines("").AtEnd());
  EXPECT_EQ(SplitLines("p\r\nq"), (Lines{u"p", u"q"}));
}

TEST(TextLines, ValidUtf8IsDecodedAsUtf8) {
  TextLines lines("gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_TRUE(lines.IsUtf8());
  Text line;
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, u"gr\u00f6\u00dfe \u20ac \U0001F600");
  EXPECT_EQ(ReadAll("plain ascii"), (Lines{u"plain ascii"}));
}

TEST(TextLines, AnyInvalidByteMakesTheWholeFileWindows1252) {
  // The first line alone is valid UTF-8; the second is not, so both lines are
  // read byte by byte.
  TextLines lines("\xC3\xA4\n\xE4" "x");
  EXPECT_FALSE(lines.IsUtf8());
  Text line;
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, u"\u00c3\u00a4");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, u"\u00e4x");

  // Overlong forms, encoded surrogates, truncated and stray continuation
  // bytes are all invalid UTF-8.
  EXPECT_EQ(ReadAll("\xC0\xAF"), (Lines{u"\u00c0\u00af"}));
  EXPECT_EQ(ReadAll("\xED\xA0\x80"), (Lines{u"\u00ed\u00a0\u20ac"}));
  EXPECT_EQ(ReadAll("a\xE2\x82"), (Lines{u"a\u00e2\u201a"}));
  EXPECT_EQ(ReadAll("\x80"), (Lines{u"\u20ac"}));
  EXPECT_EQ(ReadAll("\xF4\x90\x80\x80"), (Lines{u"\u00f4\u0090\u20ac\u20ac"}));
}

TEST(TextLines, Windows1252Table) {
  EXPECT_EQ(Windows1252ToUnit(0x41), u'A');
  EXPECT_EQ(Windows1252ToUnit(0x80), u'\u20ac');
  EXPECT_EQ(Windows1252ToUnit(0x8A), u'\u0160');
  EXPECT_EQ(Windows1252ToUnit(0x93), u'\u201c');
  EXPECT_EQ(Windows1252ToUnit(0x9F), u'\u0178');
  EXPECT_EQ(Windows1252ToUnit(0xA0), u'\u00a0');
  EXPECT_EQ(Windows1252ToUnit(0xFF), u'\u00ff');
  // The five unassigned bytes stay C1 controls.
  for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_EQ(Windows1252ToUnit(b), static_cast<char16_t>(b)) << int(b);
  }
}

TEST(TextLines, LeadingByteOrderMarkIsDropped) {
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF" "function f\r\nx"), (Lines{u"function f", u"x"}));
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF"), Lines{});
  // Only at the very start of the file.
  EXPECT_EQ(ReadAll("a\n\xEF\xBB\xBF" "b"), (Lines{u"a", u"\ufeffb"}));
}

TEST(TextHelpers, TrimRemovesBlanksOnly) {
  EXPECT_EQ(TrimBlanks(u"  a b  "), u"a b");
  EXPECT_EQ(TrimBlanks(u"\ta\t"), u"\ta\t");
  EXPECT_EQ(TrimBlanks(u" \t "), u"\t");
  EXPECT_EQ(TrimBlanks(u"   "), u"");
  EXPECT_EQ(TrimBlanks(u""), u"");
  EXPECT_EQ(TrimBlanks(u"\u00a0x\u00a0"), u"\u00a0x\u00a0");
  EXPECT_EQ(TrimBlanksRight(u"  a  "), u"  a");
}

TEST(TextHelpers, LowerCasingMapsUnitsOneToOne) {
  Text t = u"ABC xyz 09 \u00c4\u00d6 \u03a3 \u0414 \u0130 \u212a";
  const std::size_t before = t.size();
  LowerInPlace(t);
  EXPECT_EQ(t.size(), before);
  EXPECT_EQ(t, u"abc xyz 09 \u00e4\u00f6 \u03c3 \u0434 i k");
  // Units without a simple mapping, and lone surrogates, stay.
  EXPECT_EQ(LowerUnit(u'\u00df'), u'\u00df');
  EXPECT_EQ(LowerUnit(u'\xd83d'), u'\xd83d');
  EXPECT_EQ(LowerUnit(u'%'), u'%');
}

}  // namespace
}  // namespace korvath
