// Cutting cleaned statements into names, and filing them in the table.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/call_extraction.h"
#include "engine/function_table.h"
#include "engine/table_recorder.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::Call;
using korvath::testing::CallLog;
using Names = std::vector<Text>;

using korvath::testing::IsAscii;
using korvath::testing::Narrow;

// The names of `text` as the UTF-16 form cuts them; ASCII text is cut as
// bytes as well, and the two must agree, lines included.
Names Cut(TextView text, std::int32_t line = 1) {
  CallLog wide;
  FindCalls(text, line, wide);
  if (IsAscii(text)) {
    CallLog narrow;
    FindCalls(std::string_view(Narrow(text)), line, narrow);
    EXPECT_EQ(narrow.all, wide.all) << ::testing::PrintToString(Text(text.substr(0, 40)));
  }
  return wide.NameTexts();
}

TEST(FindCalls, CutsAtDelimitersAndParenthesesEachNameAheadOfItsArguments) {
  const Text longName(1500, u'n');
  const Text longArg(1200, u'a');
  const std::pair<Text, Names> cases[] = {
      {u"a(b(c), d) e", {u"a", u"b", u"c", u"d", u"e"}},
      {u"a(b)c", {u"a", u"b", u"c"}},
      {u"f(f(x))", {u"f", u"f", u"x"}},
      {u"(a+b)*c", {u"a", u"b", u"c"}},
      {u"", {}},
      {u"   ", {}},
      {u" = , + ' : ", {}},
      {u"((", {}},
      {u"a==b", {u"a", u"b"}},
      {u"foo( )", {u"foo"}},
      {u"s.data(3)", {u"s.data"}},
      {u"averyveryverylongname = foo(x)", {u"averyveryverylongname", u"foo", u"x"}},
      // Only blanks are trimmed.
      {u"\tfoo\t", {u"\tfoo\t"}},
      {u"  padded  ", {u"padded"}},
      // A ")" that closes nothing is part of the name.
      {u"a)b", {u"a)b"}},
      {u"x) + y", {u"x)", u"y"}},
      {u"longer)name(arg) z", {u"longer)name", u"arg", u"z"}},
      // A "(" without its ")" takes the rest as its argument list.
      {u"foo(a, (b", {u"foo", u"a", u"b"}},
      {u"f(g(x) + y", {u"f", u"g", u"x", u"y"}},
      {u"a + (b", {u"a", u"b"}},
      {longName + u"+b", {longName, u"b"}},
      {longName + u"(x) " + longName, {longName, u"x", longName}},
      {u"f(" + longArg + u", b)", {u"f", longArg, u"b"}},
  };
  for (const auto& [text, names] : cases) {
    EXPECT_EQ(Cut(text), names) << ::testing::PrintToString(text.substr(0, 40));
  }
  CallLog log;
  FindCalls(u"x = foo(2)", 12, log);
  EXPECT_EQ(log.all, (std::vector<Call>{{u"x", 12}, {u"foo", 12}, {u"2", 12}}));
  CallLog bytes;
  FindCalls(std::string_view("x = foo(2)"), 12, bytes);
  EXPECT_EQ(bytes.all, log.all);
}

TEST(FindCalls, DeepNestingNeedsNoRecursion) {
  struct Counter final : CallRecorder {
    void AddCall(TextView name, std::int32_t) override {
      fs += name == u"f";
      last = Text(name);
    }
    long fs = 0;
    Text last;
  };
  constexpr int kDepth = 100000;
  Text open;
  for (int i = 0; i < kDepth; ++i) open += u"f(";
  open += u"x";
  for (const Text& text : {open, open + Text(kDepth, u')')}) {
    Counter counter;
    FindCalls(text, 1, counter);
    EXPECT_EQ(counter.fs, kDepth);
    EXPECT_EQ(counter.last, u"x");
  }
}

// Each statement filed either as UTF-16 or as bytes (every way of mixing
// the two), which must make the same table.
TEST(FindCallsIntoTable, AStatementsNamesAreFiledInOrderWhateverTheirNumber) {
  const std::pair<const char*, TextView> statements[] = {
      {"main.m", u"v1+v2+v3+v4+v5+v6+v7+v8+v9+v10+v11+v12+v13+v14+v15+2+v16+v1+v17+v16"},
      {"other.m", u"v17"}};
  std::vector<std::vector<FunctionRecord>> tables;
  for (unsigned asBytes = 0; asBytes < 4; ++asBytes) {
    FunctionTable t;
    t.Reset(u"main.m");
    std::int32_t line = 30;
    for (std::size_t k = 0; k < 2; ++k) {
      TableRecorder recorder(t, t.Intern(Widen(statements[k].first)));
      if ((asBytes >> k & 1U) != 0) {
        FindCalls(std::string_view(Narrow(statements[k].second)), line++, recorder);
      } else {
        FindCalls(statements[k].second, line++, recorder);
      }
    }
    tables.push_back(t.Records());
  }
  for (const auto& table : tables) EXPECT_EQ(table, tables.front());
  const auto& r = tables.front();
  ASSERT_EQ(r.size(), 20u);
  for (int i = 1; i <= 15; ++i)
    EXPECT_EQ(r[static_cast<std::size_t>(i) + 1].name, u"v" + DecimalText(i));
  EXPECT_EQ(r[2].lines, u"30,30");
  // The number's empty record is taken by the next name.
  EXPECT_EQ(r[17], (FunctionRecord{u"main.m", u"v16", u"", u"30,30"}));
  EXPECT_EQ(r[18], (FunctionRecord{u"main.m", u"v17", u"", u"30"}));
  EXPECT_EQ(r[19], (FunctionRecord{u"other.m", u"v17", u"", u"31"}));
}

// Long statements are cut several characters at a time: every character,
// wherever it falls in such a run, ends a name exactly when it is one of
// the delimiters or an opening parenthesis (a ")" closing nothing is kept).
TEST(FindCalls, EveryCharacterAtEveryPlaceOfALongStatement) {
  const Text delimiters = u"=+-*^~&/<>\\|':, ";
  std::vector<char16_t> units;
  for (char16_t c = 1; c < 128; ++c) units.push_back(c);
  for (const char16_t c :
       {u'\u0080', u'\u00a0', u'\u0100', u'\u2028', u'\u7fff', u'\u8000', u'\uff0b', u'\uffff'}) {
    units.push_back(c);
  }
  // Longer than a step of either form's mask (16 bytes, 8 units).
  const Text base = u"abcdefghijklmnopqrst";
  for (const char16_t c : units) {
    const bool cuts = c == u'(' || delimiters.find(c) != Text::npos;
    for (std::size_t at = 0; at < base.size(); ++at) {
      Text text = base;
      text[at] = c;
      Names expected;
      if (!cuts) {
        expected = {text};
      } else {
        if (at > 0) expected.push_back(text.substr(0, at));
        if (at + 1 < text.size()) expected.push_back(text.substr(at + 1));
      }
      ASSERT_EQ(Cut(text), expected) << "unit " << static_cast<int>(c) << " at " << at;
    }
  }
}

}  // namespace
}  // namespace korvath
