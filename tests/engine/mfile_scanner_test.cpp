// Cleaning statements (declarations, strings, comments, assignments) and
// scanning whole files with continuation lines and physical line numbers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/mfile_scanner.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::Call;
using korvath::testing::CallLog;
using Calls = std::vector<Call>;

using korvath::testing::IsAscii;
using korvath::testing::Narrow;

// Takes the names of ASCII statements as bytes, as the function table does.
class ByteCallLog final : public CallRecorder {
 public:
  void AddCall(TextView name, std::int32_t line) override { all.push_back({Text(name), line}); }
  void AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line) override {
    for (std::size_t i = 0; i < count; ++i) {
      all.push_back({Widen(names[i]), line});
      ++asBytes;
    }
  }
  bool TakesAscii() const override { return true; }
  std::vector<Call> all;
  int asBytes = 0;
};

TEST(RemoveStringLiterals, LiteralsAfterAnOpenerGoTransposesStay) {
  Text many = u"c = {";
  Text manyLeft = many;
  for (int i = 0; i < 30000; ++i) {
    many += u"'ab' ";
    manyLeft += u" ";
  }
  const Text longName(3000, u'a');
  const std::pair<Text, Text> cases[] = {
      {u"x = 'abc'", u"x = "},
      {u"f('a%b', c)", u"f(, c)"},
      {u"x = ['a' 'b']", u"x = [ ]"},
      {u"{'a'}", u"{}"},
      {u"y = x' + 1", u"y = x' + 1"},
      {u"no quotes", u"no quotes"},
      {u"a(1)' * b.' + c]' + d}'", u"a(1)' * b.' + c]' + d}'"},
      {u"a = b'; c = 'd' + e", u"a = b'; c =  + e"},
      {u"x=1;'abc' + y", u"x=1;'abc' + y"},
      // A doubled quote inside a literal: two adjacent literals, both go.
      {u"s = 'it''s' + t", u"s =  + t"},
      // A quote at the start opens a string; the scan goes on at the second
      // character, so a quote that has become the first is not looked at.
      {u"'abc' x", u" x"},
      {u"'a''b' x", u"'b' x"},
      {u"'ab'", u""},
      // An unterminated literal drops the statement, also one opened by the
      // second of two transposes, or by a quote a removal put after an opener.
      {u"x = foo('abc", u""},
      {u"y = x'' + 1", u""},
      {u"f('a'') + g", u""},
      {u"x = 'a''' + g", u"x =  + g"},
      // The last character is never an opening quote, also once a removal
      // makes it the last.
      {u"x = '", u"x = '"},
      {u"y = x''", u"y = x''"},
      {u"x = 'a''", u"x = '"},
      {u"x = " + longName + u" + f('%s') + g", u"x = " + longName + u" + f() + g"},
      {many + u"}", manyLeft + u"}"},
  };
  for (const auto& [in, out] : cases) {
    Text text = in;
    RemoveStringLiterals(text);
    EXPECT_EQ(text, out) << ::testing::PrintToString(in.substr(0, 40));
    std::string bytes = Narrow(in);
    RemoveStringLiterals(bytes);
    EXPECT_EQ(bytes, Narrow(out)) << ::testing::PrintToString(in.substr(0, 40));
  }
}

struct CleanCase {
  Text statement;
  Text cleaned;
  bool forEntry;
};

TEST(CleanStatement, KeepsWhatCanHoldACallAndTellsForEntries) {
  const CleanCase cases[] = {
      {u"[m, n] = size(x); % dims", u" size(x)  ", false},
      // Declarations and comments leave nothing.
      {u"function y = format(x)", u"", false},
      {u"functional = 3", u"", false},
      {u"% a comment calling foo(x)", u"", false},
      {u"  % it's a comment", u"", false},
      {u"foo(x) % bar(y)", u"foo(x) ", false},
      {u"f('50%', g)", u"f(, g)", false},
      {u"fun(x)", u"fun(x)", false},
      // Assignments keep the right-hand side; == is no assignment, but <=,
      // >= and ~= are. Tabs become blanks.
      {u"a{1} = [b; c]", u"  b  c ", false},
      {u"if a == b", u"if a == b", false},
      {u"if a <= b", u" b", false},
      {u"if a ~= b", u" b", false},
      {u"while a >= g(b)", u" g(b)", false},
      {u"a\t=\tb(c)", u" b(c)", false},
      {u"x =", u"", false},
      {u"x ==", u"x ==", false},
      // A "for" anywhere in an assignment makes a For entry, but not without
      // one, nor from a literal or a comment, nor in a dropped statement.
      {u"for i = 1:n", u" 1:n", true},
      {u"format = 3", u" 3", true},
      {u"y = transform(x)", u" transform(x)", true},
      {u"x = 'a' + for", u"  + for", true},
      {u"for k", u"for k", false},
      {u"if a == before", u"if a == before", false},
      {u"for i = 'abc", u"", false},
      {u"x = 'for'", u" ", false},
      {u"x = y % for", u" y ", false},
      {u"x % = for", u"x ", false},
  };
  for (const CleanCase& c : cases) {
    Text text = c.statement;
    bool forEntry = !c.forEntry;
    CleanStatement(text, forEntry);
    EXPECT_EQ(text, c.cleaned) << ::testing::PrintToString(c.statement);
    EXPECT_EQ(forEntry, c.forEntry) << ::testing::PrintToString(c.statement);
    // ASCII statements are cleaned as bytes by the same rules.
    ASSERT_TRUE(IsAscii(c.statement));
    std::string bytes = Narrow(c.statement);
    bool bytesForEntry = !c.forEntry;
    CleanStatement(bytes, bytesForEntry);
    EXPECT_EQ(bytes, Narrow(c.cleaned)) << ::testing::PrintToString(c.statement);
    EXPECT_EQ(bytesForEntry, c.forEntry) << ::testing::PrintToString(c.statement);
  }
}

TEST(ScanFile, CallsCarryThePhysicalLineOfTheStatementsFirstLine) {
  const std::pair<std::string, Calls> cases[] = {
      {"function r = main(x)\n% comment: ignore(me)\nr = foo(x, ...\n        Bar) + ...   \n"
       "    baz;\nqux\n",
       {{u"foo", 3}, {u"x", 3}, {u"Bar", 3}, {u"baz", 3}, {u"qux", 6}}},
      // CR-only and CRLF files count lines the same way.
      {"a\r\rb(c, ...\r\nd)\r\ne", {{u"a", 1}, {u"b", 3}, {u"c", 3}, {u"d", 3}, {u"e", 5}}},
      // Only the first line is trimmed and lower-cased, in any script.
      {"  X = Foo(A, ...\n  B\tC)\n", {{u"foo", 1}, {u"a", 1}, {u"B", 1}, {u"C", 1}}},
      {"\xC3\x84 = Gr\xC3\x96\xC3\x9F"
       "E(X)\n",
       {{u"gr\u00f6\u00dfe", 1}, {u"x", 1}}},
      {"  \xC4 = F\xC4(X)  \n", {{u"f\u00e4", 1}, {u"x", 1}}},
      {"\x80\n", {{u"\u20ac", 1}}},
      {"FUNCTION y = f(x)\nY = G(X);", {{u"g", 2}, {u"x", 2}}},
      {"\xEF\xBB\xBF"
       "function y = f(x)\r\ny = g(x);\r\n",
       {{u"g", 2}, {u"x", 2}}},
      // A For entry comes before the statement's names.
      {"s = 0;\nfor k = 1:numel(v)\n  s = s + v(k);\nend\n",
       {{u"For", 2}, {u"numel", 2}, {u"v", 2}, {u"s", 3}, {u"v", 3}, {u"k", 3}, {u"end", 4}}},
      // "..." on the last line has nothing to join and stays in the text.
      {"a = b ...", {{u"b", 1}, {u"...", 1}}},
      {"f(a, ...  \nb)", {{u"f", 1}, {u"a", 1}, {u"b", 1}}},
      {"f(a, ..\nb", {{u"f", 1}, {u"a", 1}, {u"..", 1}, {u"b", 2}}},
      // Statements emptied by a literal or a comment record nothing.
      {"x = foo('abc\n% foo(y)\n\n   \ny", {{u"y", 5}}},
      // A comment line that ends in "..." takes the next line with it; one
      // with "..." inside does not; blanks and tabs before "%" change nothing.
      {"% see f ...\ng(1)\nh\n", {{u"h", 3}}},
      {"% see f ... and\ng(1)\n", {{u"g", 2}}},
      {" \t % f(x)\n\t%\xC3\xBC g\ny", {{u"y", 3}}},
      {"x.y % z\n%\n", {{u"x.y", 1}}},
      {"x=1;'abc'", {{u"abc", 1}}},
      {"", {}},
      {"x = " + std::string(2000, 'a') + " + f('s') + ...\n g",
       {{Text(2000, u'a'), 1}, {u"f", 1}, {u"g", 1}}},
      // ASCII lines are scanned as bytes until a line of the statement is
      // not: from there on the statement is UTF-16, the continuation lines
      // still appended as read, whichever line comes first.
      {"X = F(A, ...\n  \xC3\x84"
       "b, ...\n  C)\nD\n",
       {{u"f", 1}, {u"a", 1}, {u"\u00c4b", 1}, {u"C", 1}, {u"d", 4}}},
      {"\xC3\x84 = G(A, ...\n B)\nH\n", {{u"g", 1}, {u"a", 1}, {u"B", 1}, {u"h", 3}}},
      {"F(A ...\n\xC4, b)\n", {{u"f", 1}, {u"a", 1}, {u"\u00c4", 1}, {u"b", 1}}},
      {"s = 'caf\xC3\xA9'; t = g(u)\nv\n", {{u"t", 1}, {u"g", 1}, {u"u", 1}, {u"v", 2}}},
  };
  int asBytes = 0;
  for (const auto& [file, calls] : cases) {
    TextLines lines(file);
    CallLog log;
    ScanFile(lines, log);
    EXPECT_EQ(log.Names(), calls) << ::testing::PrintToString(file.substr(0, 40));
    // A recorder that takes bytes gets the same calls.
    TextLines again(file);
    ByteCallLog bytes;
    ScanFile(again, bytes);
    EXPECT_EQ(bytes.all, log.all) << ::testing::PrintToString(file.substr(0, 40));
    asBytes += bytes.asBytes;
  }
  EXPECT_GT(asBytes, 0);
}

// A line without quote or continuation is lowered, blanked and searched for
// "%" and "=" in one pass over 16-byte blocks; these lines are where that
// pass could part from the cleaner's order or miss a byte at a block's edge.
TEST(ScanFile, OnePassOverALineKeepsTheCleanersOrder) {
  const std::string a15(15, 'a');
  const std::string a16(16, 'a');
  const Text w15(15, u'a');
  const Text w16(16, u'a');
  const std::pair<std::string, Calls> cases[] = {
      // Tabs become blanks also before "%" and around "=".
      {"x\t=\tF(a)\t% g(b)", {{u"f", 1}, {u"a", 1}}},
      // Brackets are blanked only after the strings are gone: "]" and ";"
      // open no string, and a string inside brackets goes.
      {"y = [a]' * b;", {{u"a", 1}, {u"b", 1}}},
      {"x = a;'b' + g", {{u"a", 1}, {u"b", 1}, {u"g", 1}}},
      {"c = ['a' f(x) 'b']", {{u"f", 1}, {u"x", 1}}},
      // "..." inside a string continues the line; one before ";" does not.
      {"s = ['abc ...\n 'def'] + g", {{u"def", 1}, {u"g", 1}}},
      {"f(a, ...;\nb)", {{u"f", 1}, {u"a", 1}, {u"...", 1}, {u"b)", 2}}},
      // "=" and "==" inside a string count for nothing; after it they do.
      {"f('=') == g", {{u"f", 1}, {u"g", 1}}},
      {"f('==') = g", {{u"g", 1}}},
      {"x = 'a' == b", {{u"b", 1}}},
      // The declaration test reads the trimmed, lower-cased line, before
      // any bracket or tab becomes a blank.
      {"  FUNCTION[a] = f(x)\ng", {{u"g", 2}}},
      {"[function] = f(x)", {{u"f", 1}, {u"x", 1}}},
      {"\tfunction y = f(x)", {{u"f", 1}, {u"x", 1}}},
      {"{F}", {{u"f", 1}}},
      // Lines around one block, with capitals, "=", "%" and ";" at its edges.
      {"x = Ab(Cd) + EF", {{u"ab", 1}, {u"cd", 1}, {u"ef", 1}}},
      {"x = Ab(Cd) + EFG", {{u"ab", 1}, {u"cd", 1}, {u"efg", 1}}},
      {"x = Ab(Cd) + EFGH", {{u"ab", 1}, {u"cd", 1}, {u"efgh", 1}}},
      {a15 + "=B", {{u"b", 1}}},
      {a16 + "=B", {{u"b", 1}}},
      {a15 + "==B", {{w15, 1}, {u"b", 1}}},
      {a16 + "==B", {{w16, 1}, {u"b", 1}}},
      {a15 + "%=B", {{w15, 1}}},
      {a16 + "%=B", {{w16, 1}}},
      {a15 + "Z;b", {{w15 + u"z", 1}, {u"b", 1}}},
      {a16 + "Z;b", {{w16 + u"z", 1}, {u"b", 1}}},
      {"fOr = " + a15 + "B", {{u"For", 1}, {w15 + u"b", 1}}},
      // A byte that is not ASCII at the block's edge sends the line to the
      // decoder (UTF-8 here, Windows-1252 when the file is not UTF-8).
      {"A" + a15.substr(1) + "\xC3\x84", {{w15 + u"\u00e4", 1}}},
      {"A" + a15 + "\xC3\x84", {{w16 + u"\u00e4", 1}}},
      {"A" + a15.substr(1) + "\xC4", {{w15 + u"\u00e4", 1}}},
      {"A" + a15 + "\xC4", {{w16 + u"\u00e4", 1}}},
      {"A" + a16 + "\xC4", {{w16 + u"a\u00e4", 1}}},
      // A short line at the file's end, which is not read past.
      {"a\nB(C)D", {{u"a", 1}, {u"b", 2}, {u"c", 2}, {u"d", 2}}},
      {"  \t", {}},
  };
  for (const auto& [file, calls] : cases) {
    TextLines lines(file);
    CallLog log;
    ScanFile(lines, log);
    EXPECT_EQ(log.Names(), calls) << ::testing::PrintToString(file);
    TextLines again(file);
    ByteCallLog bytes;
    ScanFile(again, bytes);
    EXPECT_EQ(bytes.all, log.all) << ::testing::PrintToString(file);
  }
}

}  // namespace
}  // namespace korvath
