// Cleaning statements (declarations, strings, comments, assignments) and
// scanning whole files with continuation lines and physical line numbers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/mfile_scanner.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using korvath::testing::Call;
using korvath::testing::CallLog;
using Calls = std::vector<Call>;

Text Strip(Text text) {
  RemoveStringLiterals(text);
  return text;
}

Text Clean(TextView text, bool* forEntry = nullptr) {
  bool f = false;
  Text out = CleanStatement(Text(text), f);
  if (forEntry != nullptr) *forEntry = f;
  return out;
}

Calls Scan(std::string bytes) {
  TextLines lines(std::move(bytes));
  CallLog log;
  ScanFile(lines, log);
  return log.Names();
}

TEST(QuoteOpeners, AreTheDelimitersAndOpeningBrackets) {
  for (char16_t c : Text(u"=+-*^~&/<>\\|':, ([{")) EXPECT_TRUE(IsQuoteOpener(c)) << char(c);
  for (char16_t c : Text(u"a0)]}.;\"%\t_")) EXPECT_FALSE(IsQuoteOpener(c)) << char(c);
}

TEST(RemoveStringLiterals, LiteralsAfterAnOpenerGoTransposesStay) {
  EXPECT_EQ(Strip(u"x = 'abc'"), u"x = ");
  EXPECT_EQ(Strip(u"f('a%b', c)"), u"f(, c)");
  EXPECT_EQ(Strip(u"x = ['a' 'b']"), u"x = [ ]");
  EXPECT_EQ(Strip(u"{'a'}"), u"{}");
  EXPECT_EQ(Strip(u"y = x' + 1"), u"y = x' + 1");
  EXPECT_EQ(Strip(u"a(1)' * b.' + c]'"), u"a(1)' * b.' + c]'");
  EXPECT_EQ(Strip(u"a = b'; c = 'd' + e"), u"a = b'; c =  + e");
  // A doubled quote inside a literal: two adjacent literals, both go.
  EXPECT_EQ(Strip(u"s = 'it''s' + t"), u"s =  + t");
  // After ";" a quote is not an opener.
  EXPECT_EQ(Strip(u"x=1;'abc' + y"), u"x=1;'abc' + y");
  // A quote at the start opens a string. The scan then goes on at the second
  // character, so a quote that has become the first is not looked at again.
  EXPECT_EQ(Strip(u"'abc' x"), u" x");
  EXPECT_EQ(Strip(u"'a''b' x"), u"'b' x");
  EXPECT_EQ(Strip(u"no quotes here"), u"no quotes here");
}

TEST(RemoveStringLiterals, UnterminatedLiteralsDropTheStatement) {
  EXPECT_EQ(Strip(u"x = foo('abc"), u"");
  // The second of two transposes opens a string that never closes.
  EXPECT_EQ(Strip(u"y = x'' + 1"), u"");
  // Once a literal is gone, the quote after it follows the character that
  // stood before the literal.
  EXPECT_EQ(Strip(u"f('a'') + g"), u"");
  EXPECT_EQ(Strip(u"x = 'a''' + g"), u"x =  + g");
}

TEST(RemoveStringLiterals, TheLastCharacterIsNeverAnOpeningQuote) {
  EXPECT_EQ(Strip(u"x = '"), u"x = '");
  EXPECT_EQ(Strip(u"y = x''"), u"y = x''");
  // Also when it becomes the last character through a removal.
  EXPECT_EQ(Strip(u"x = 'a''"), u"x = '");
}

TEST(RemoveStringLiterals, LongStatementsAreScannedWhole) {
  // Literals far beyond position 1024 are still removed.
  Text text = u"x = " + Text(3000, u'a') + u" + f('%s') + g";
  EXPECT_EQ(Strip(text), u"x = " + Text(3000, u'a') + u" + f() + g");
  // Many literals in one long statement.
  Text many = u"c = {";
  Text expected = u"c = {";
  for (int i = 0; i < 30000; ++i) {
    many += u"'ab' ";
    expected += u" ";
  }
  many += u"}";
  expected += u"}";
  EXPECT_EQ(Strip(many), expected);
}

TEST(CleanStatement, TheWorkedExample) {
  bool forEntry = true;
  EXPECT_EQ(Clean(u"[m, n] = size(x); % dims", &forEntry), u" size(x)  ");
  EXPECT_FALSE(forEntry);
}

TEST(CleanStatement, DeclarationsAndCommentsLeaveNothing) {
  bool forEntry = true;
  EXPECT_EQ(Clean(u"function y = format(x)", &forEntry), u"");
  EXPECT_FALSE(forEntry);
  EXPECT_EQ(Clean(u"function"), u"");
  EXPECT_EQ(Clean(u"functional = 3"), u"");
  EXPECT_EQ(Clean(u"% a comment calling foo(x)"), u"");
  EXPECT_EQ(Clean(u"% it's a comment calling foo(x)"), u"");
  EXPECT_EQ(Clean(u"foo(x) % bar(y)"), u"foo(x) ");
  // A "%" inside a literal does not start a comment.
  EXPECT_EQ(Clean(u"f('50%', g)"), u"f(, g)");
  EXPECT_EQ(Clean(u"fun(x)"), u"fun(x)");
}

TEST(CleanStatement, AssignmentsKeepOnlyTheRightHandSide) {
  bool forEntry = true;
  EXPECT_EQ(Clean(u"a{1} = [b; c]", &forEntry), u"  b  c ");
  EXPECT_FALSE(forEntry);
  // An equality test is no assignment...
  EXPECT_EQ(Clean(u"if a == b", &forEntry), u"if a == b");
  EXPECT_FALSE(forEntry);
  // ...but <=, >= and ~= are.
  EXPECT_EQ(Clean(u"if a <= b"), u" b");
  EXPECT_EQ(Clean(u"if a ~= b"), u" b");
  EXPECT_EQ(Clean(u"while a >= g(b)"), u" g(b)");
  // Tabs become blanks.
  EXPECT_EQ(Clean(u"a\t=\tb(c)"), u" b(c)");
}

TEST(CleanStatement, ForEntriesNeedForAndAnAssignment) {
  bool forEntry = false;
  EXPECT_EQ(Clean(u"for i = 1:n", &forEntry), u" 1:n");
  EXPECT_TRUE(forEntry);
  EXPECT_EQ(Clean(u"format = 3", &forEntry), u" 3");
  EXPECT_TRUE(forEntry);
  EXPECT_EQ(Clean(u"y = transform(x)", &forEntry), u" transform(x)");
  EXPECT_TRUE(forEntry);
  EXPECT_EQ(Clean(u"for k", &forEntry), u"for k");
  EXPECT_FALSE(forEntry);
  EXPECT_EQ(Clean(u"if a == before", &forEntry), u"if a == before");
  EXPECT_FALSE(forEntry);
  // The statement is dropped before the assignment is looked at.
  EXPECT_EQ(Clean(u"for i = 'abc", &forEntry), u"");
  EXPECT_FALSE(forEntry);
  // A "for" that was only in a literal or a comment does not count.
  EXPECT_EQ(Clean(u"x = 'for'", &forEntry), u" ");
  EXPECT_FALSE(forEntry);
  EXPECT_EQ(Clean(u"x = y % for", &forEntry), u" y ");
  EXPECT_FALSE(forEntry);
}

TEST(ScanFile, CallsCarryThePhysicalLineOfTheStatementsFirstLine) {
  EXPECT_EQ(Scan("function r = main(x)\n"
                 "% comment: ignore(me)\n"
                 "r = foo(x, ...\n"
                 "        Bar) + ...   \n"
                 "    baz;\n"
                 "qux\n"),
            (Calls{{u"foo", 3}, {u"x", 3}, {u"Bar", 3}, {u"baz", 3}, {u"qux", 6}}));
  // CR-only and CRLF files count lines the same way.
  EXPECT_EQ(Scan("a\r\rb(c, ...\r\nd)\r\ne"),
            (Calls{{u"a", 1}, {u"b", 3}, {u"c", 3}, {u"d", 3}, {u"e", 5}}));
}

TEST(ScanFile, OnlyTheFirstLineIsTrimmedAndLowerCased) {
  EXPECT_EQ(Scan("  X = Foo(A, ...\n  B\tC)\n"),
            (Calls{{u"foo", 1}, {u"a", 1}, {u"B", 1}, {u"C", 1}}));
  EXPECT_EQ(Scan("\xC3\x84 = Gr\xC3\x96\xC3\x9F" "E(X)\n"), (Calls{{u"gr\u00f6\u00dfe", 1}, {u"x", 1}}));
  EXPECT_EQ(Scan("FUNCTION y = f(x)\nY = G(X);"), (Calls{{u"g", 2}, {u"x", 2}}));
}

TEST(ScanFile, ForEntriesComeBeforeTheStatementsNames) {
  EXPECT_EQ(Scan("s = 0;\nfor k = 1:numel(v)\n  s = s + v(k);\nend\n"),
            (Calls{{u"For", 2}, {u"numel", 2}, {u"v", 2}, {u"s", 3}, {u"v", 3}, {u"k", 3},
                   {u"end", 4}}));
}

TEST(ScanFile, ContinuationAndEdgeLines) {
  // "..." on the last line has nothing to join and stays in the text.
  EXPECT_EQ(Scan("a = b ..."), (Calls{{u"b", 1}, {u"...", 1}}));
  // Blanks after the continuation mark do not matter.
  EXPECT_EQ(Scan("f(a, ...  \nb)"), (Calls{{u"f", 1}, {u"a", 1}, {u"b", 1}}));
  // Statements emptied by a literal or a comment record nothing.
  EXPECT_EQ(Scan("x = foo('abc\n% foo(y)\n\n   \ny"), (Calls{{u"y", 5}}));
  // A literal right after ";" is no literal.
  EXPECT_EQ(Scan("x=1;'abc'"), (Calls{{u"abc", 1}}));
  EXPECT_EQ(Scan(""), Calls{});
}

TEST(ScanFile, AByteOrderMarkDoesNotHideADeclaration) {
  EXPECT_EQ(Scan("\xEF\xBB\xBF" "function y = f(x)\r\ny = g(x);\r\n"), (Calls{{u"g", 2}, {u"x", 2}}));
}

TEST(ScanFile, LongStatementsKeepTheirCalls) {
  const std::string longName(2000, 'a');
  EXPECT_EQ(Scan("x = " + longName + " + f('s') + ...\n g"),
            (Calls{{Text(2000, u'a'), 1}, {u"f", 1}, {u"g", 1}}));
}

}  // namespace
}  // namespace korvath
