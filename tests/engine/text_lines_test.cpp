// Text files as lines: encoding detection, byte-order mark, line ends; and the
// small text helpers everything else leans on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/number_text.h"
#include "engine/text.h"
#include "engine/text_lines.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using Lines = std::vector<Text>;

TEST(TextLines, SplitsAtEveryTerminatorAndDecodesTheWholeFileOneWay) {
  const std::pair<std::string, Lines> cases[] = {
      {"a\r\nb\rc\nd", {u"a", u"b", u"c", u"d"}},
      // A terminator at the end adds nothing; an empty line still counts.
      {"a\n", {u"a"}},
      {"a\r", {u"a"}},
      {"a\r\n", {u"a"}},
      {"", {}},
      {"\n", {u""}},
      {"\r\n\r\n", {u"", u""}},
      // LF CR is two terminators; CR CR LF is two as well.
      {"\n\r", {u"", u""}},
      {"x\r\r\ny", {u"x", u"", u"y"}},
      {"a\n\nb", {u"a", u"", u"b"}},
      // Tabs, blanks and NUL are part of the line.
      {std::string(" \ta\0b \n", 7), {Text(u" \ta\0b ", 6)}},
      // A byte-order mark is dropped at the very start only.
      {"\xEF\xBB\xBF"
       "function f\r\nx",
       {u"function f", u"x"}},
      {"\xEF\xBB\xBF", {}},
      {"a\n\xEF\xBB\xBF"
       "b",
       {u"a", u"\ufeffb"}},
      {"\xEF\xBB\xBF\xC3\xA4", {u"\u00e4"}},
      {"gr\xC3\xB6\xC3\x9F"
       "e \xE2\x82\xAC \xF0\x9F\x98\x80",
       {u"gr\u00f6\u00dfe \u20ac \U0001F600"}},
      // One invalid byte anywhere makes every line Windows-1252. Overlong
      // forms, encoded surrogates, code points beyond U+10FFFF, truncated and
      // stray continuation bytes are invalid.
      {"\xC3\xA4\n\xE4"
       "x",
       {u"\u00c3\u00a4", u"\u00e4x"}},
      {"\xC0\xAF", {u"\u00c0\u00af"}},
      {"\xED\xA0\x80", {u"\u00ed\u00a0\u20ac"}},
      {"a\xE2\x82", {u"a\u00e2\u201a"}},
      {"\x80", {u"\u20ac"}},
      {"\xF4\x90\x80\x80", {u"\u00f4\u0090\u20ac\u20ac"}},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(SplitLines(bytes), expected) << ::testing::PrintToString(bytes);
    TextLines lines(bytes);
    EXPECT_EQ(lines.AtEnd(), expected.empty());
    Lines got;
    for (Text line; lines.Next(line);) got.push_back(line);
    EXPECT_EQ(got, expected);
    Text line = u"stale";
    EXPECT_FALSE(lines.Next(line));
    EXPECT_EQ(line, u"");
  }
  EXPECT_TRUE(TextLines("\xEF\xBB\xBF\xC3\xA4").IsUtf8());
  EXPECT_FALSE(TextLines("a\n\xE4").IsUtf8());
}

TEST(ReadsAsNumber, ExactlyDecimalIntegersFractionsAndExponents) {
  for (const TextView t :
       {u"0", u"12", u"007", u"+5", u"-5", u"1.", u".5", u"2.5", u"-.5", u"+0.25", u"1e3", u"1E3",
        u"1E-3", u"1e+03", u"1.e5", u".5e-2", u"-2.5E+10", u"123456789012345678901234567890"}) {
    EXPECT_TRUE(ReadsAsNumber(t)) << ::testing::PrintToString(Text(t));
  }
  for (const TextView t :
       {u"",    u"inf", u"-inf",  u"nan", u"1i", u"2j",  u"0x1f",  u"1d3",    u".5e",   u"1e",
        u"1e+", u"e5",  u".",     u"+",   u"+.", u".e5", u"1.2.3", u"1e3.5",  u"++1",   u"+-1",
        u" 1",  u"1 ",  u"1_000", u"x1",  u"1x", u"/1",  u"1:",    u"\uff11", u"1e3e3", u"- 1"}) {
    EXPECT_FALSE(ReadsAsNumber(t)) << ::testing::PrintToString(Text(t));
  }
}

TEST(TextHelpers, LowerCasingMapsUnitsOneToOne) {
  Text t = u"@AZ[`az{ 09 \u00c0\u00c4\u00d6\u00d7 \u03a3 \u0414 \u0130 \u212a \uff3a";
  for (char16_t& c : t) c = LowerUnit(c);
  EXPECT_EQ(t, u"@az[`az{ 09 \u00e0\u00e4\u00f6\u00d7 \u03c3 \u0434 i k \uff5a");
  Text ascii = u"@AZ[`az{\u00c4";
  for (char16_t& c : ascii) c = AsciiLower(c);
  EXPECT_EQ(ascii, u"@az[`az{\u00c4");
  // Units without a simple mapping, and lone surrogates, stay.
  for (char16_t c : {u'\u00df', u'\xd83d', u'\uffff'}) EXPECT_EQ(LowerUnit(c), c);
}

// Only the three bytes EF BB BF are a byte-order mark: near misses are
// characters of their own (or, cut short, not UTF-8 at all).
TEST(TextLines, OnlyAWholeByteOrderMarkIsDropped) {
  const std::pair<std::string, Lines> cases[] = {
      {"\xEF\xBB", {u"\u00ef\u00bb"}},
      {"\xEF\xBB\xBE", {u"\ufefe"}},
      {"\xEF\xBF\xBF", {u"\uffff"}},
      {"\xEE\xBB\xBF", {u"\ueeff"}},
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "x",
       {u"\ufeffx"}},
      {"\xEF\xBB\xBF\n", {u""}},
      {"\xEF\xBB\xBF\xE4", {u"\u00e4"}},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(SplitLines(bytes), expected) << ::testing::PrintToString(bytes);
  }
  EXPECT_FALSE(TextLines("\xEF\xBB\xBF\xE4").IsUtf8());
  EXPECT_FALSE(TextLines("\xEF\xBB").IsUtf8());
  EXPECT_TRUE(TextLines("\xEF\xBB\xBF").IsUtf8());
}

}  // namespace
}  // namespace korvath
