// The function table: filing calls, growing its index, the pick and the
// end-of-run clean-up. Blanked slots, numbers and linking are compared with
// the literal table by the differential test.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/function_table.h"
#include "engine/number_text.h"

namespace korvath {
namespace {

using namespace korvath::engine;    // NOLINT(google-build-using-namespace)
using Counts = std::array<int, 3>;  // parsed, total, candidate
using Records = std::vector<FunctionRecord>;

FunctionRecord Rec(Text caller, Text name, Text lines, Text also = u"", bool parsed = false) {
  return FunctionRecord{std::move(caller), std::move(name), std::move(also), std::move(lines),
                        parsed};
}

class FunctionTableTest : public ::testing::Test {
 protected:
  // The table once main.m has been picked and found.
  void Start() {
    t.Reset(u"main.m");
    ASSERT_EQ(Pass(), (Counts{0, 1, 1}));
    EXPECT_EQ(t.Pick(1), u"main.m");
    t.MarkFound(1);
  }
  void Add(TextView caller, TextView name, std::int32_t line) {
    t.AddCall(t.Intern(caller), name, line);
  }
  Counts Pass() {
    const FunctionTable::Pass p = t.RunPass();
    return {p.parsedCount, p.totalCount, p.candidate};
  }
  void Settle(int i, bool found) {
    t.Pick(i);
    found ? t.MarkFound(i) : t.Blank(i);
  }
  FunctionTable t;
};

TEST_F(FunctionTableTest, AddCallCollectsLinesPerCallerAndNameAndResetForgetsThem) {
  Start();
  Add(u"main.m", u"foo", 3);
  Add(u"main.m", u"bar", 4);
  Add(u"main.m", u"foo", 17);
  Add(u"main.m", u"foo", 17);      // no duplicate check
  Add(u"other.m", u"foo", 2);      // another caller, another record
  Add(u"main.m", u"Foo", 5);       // names compare exactly
  Add(u"main.m", u"", 9);          // empty names are ignored
  Add(u"main.m", u"foo", 123456);  // lines are not limited to 16 bits
  EXPECT_EQ(t.Records(), (Records{{},
                                  Rec(u"", u"main.m", u"0", u"", true),
                                  Rec(u"main.m", u"foo", u"3,17,17,123456"),
                                  Rec(u"main.m", u"bar", u"4"),
                                  Rec(u"other.m", u"foo", u"2"),
                                  Rec(u"main.m", u"Foo", u"5")}));
  t.Reset(u"main.m");
  EXPECT_EQ(t.Records(), (Records{{}, Rec(u"", u"main.m", u"0")}));
  EXPECT_EQ(Pass(), (Counts{0, 1, 1}));
}

TEST_F(FunctionTableTest, ManyNamesAndLinesAreAllKept) {
  // Enough names to grow the index, long ones sharing their first eight
  // units, one that needs a block of its own; enough lines to compact them.
  t.Reset(u"main.m");
  std::vector<Text> names = {Text(5000, u'q')};
  for (int i = 0; i < 3000; ++i) {
    names.push_back((i % 2 != 0 ? u"n" : u"name_tail_") + DecimalText(i));
  }
  Text lines;
  for (std::int32_t line = 1; line <= 350; ++line) {
    for (const Text& name : names) Add(u"main.m", name, line);
    lines += (line > 1 ? u"," : u"") + DecimalText(line);
  }
  const auto r = t.Records();
  ASSERT_EQ(r.size(), names.size() + 2);
  EXPECT_EQ(r[1].lines, u"0");
  for (std::size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(r[i + 2], Rec(u"main.m", names[i], lines)) << i;
  }
  // Every open record is picked in turn, the highest first.
  for (int i = static_cast<int>(names.size()) + 1; i >= 1; --i) {
    ASSERT_EQ(Pass()[2], i);
    Settle(i, false);
  }
  EXPECT_EQ(Pass(), (Counts{0, 0, 0}));
}

// A line met again straight after itself counts on its list's last entry:
// the lists still say every use, in order, before and after the pool is
// compacted (past a million entries).
TEST_F(FunctionTableTest, RepeatedLinesAreEachListed) {
  Start();
  const std::int32_t uses[] = {1, 1, 1, 2, 1, 1};
  for (const std::int32_t line : uses) {
    Add(u"main.m", u"a", line);
    Add(u"main.m", u"b", line);
    Add(u"main.m", u"b", line);
  }
  Text many;
  for (std::int32_t line = 1; line <= (1 << 20) + 8; ++line) {
    Add(u"main.m", u"c", line);
    many += (line > 1 ? u"," : u"") + DecimalText(line);
  }
  Add(u"main.m", u"a", 1);
  Add(u"main.m", u"a", 3);
  Add(u"main.m", u"a", 3);
  const auto r = t.Records();
  ASSERT_EQ(r.size(), 5U);
  EXPECT_EQ(r[2], Rec(u"main.m", u"a", u"1,1,1,2,1,1,1,3,3"));
  EXPECT_EQ(r[3], Rec(u"main.m", u"b", u"1,1,1,1,1,1,2,2,1,1,1,1"));
  EXPECT_EQ(r[4], Rec(u"main.m", u"c", many));
}

// Names of ASCII bytes are the names of their widened units: a name filed
// once as bytes and once as UTF-16 is one name, in every order. Long names
// share their first eight units and their capped length, so only the whole
// text tells them apart; numbers are dropped in either form.
TEST(FunctionTableBytes, NamesAsBytesAreTheSameNamesAsTheirUnits) {
  const std::string head(8, 'h');
  const std::vector<std::string> names = {
      "foo",       "x",         head,           head + "a", head + "b",
      "1e5",       "-.5",       "inf",          "Foo",      std::string(300, 'n'),
      head + "ab", head + "a",  "foo",          "1e5",      std::string(301, 'n'),
      "x.y",       head + "ba", "averylongname"};
  // Names 0..k-1 filed one name per call, in turn UTF-16 or bytes as the
  // bits of `pattern` say (bit i of the pattern for name i modulo 16).
  auto file = [&](unsigned pattern) {
    FunctionTable t;
    t.Reset(u"main.m");
    const FunctionTable::NameId caller = t.Intern(u"main.m");
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto line = static_cast<std::int32_t>(i + 1);
      if ((pattern >> (i % 16) & 1U) != 0) {
        const std::string_view bytes = names[i];
        t.AddAsciiCalls(caller, &bytes, 1, line);
      } else {
        const Text units = Widen(names[i]);
        const TextView view = units;
        t.AddCalls(caller, &view, 1, line);
      }
    }
    // Every name, in whichever form it was filed, is found by its UTF-16 text.
    const std::size_t count = t.NameCount();
    for (const std::string& name : names) {
      if (!ReadsAsNumber(name)) t.Intern(Widen(name));
    }
    EXPECT_EQ(t.NameCount(), count);
    return t.Records();
  };
  const auto expected = file(0);
  // main.m and 13 names: each number's empty slot goes to the name after it.
  ASSERT_EQ(expected.size(), 15U);
  for (const unsigned pattern : {0xFFFFU, 0x5555U, 0xAAAAU, 0x0F0FU, 0x1234U, 0xFEDCU}) {
    EXPECT_EQ(file(pattern), expected) << pattern;
  }
  // A whole statement at once, as the scanner hands it over.
  FunctionTable t;
  t.Reset(u"main.m");
  std::vector<std::string_view> views(names.begin(), names.end());
  std::vector<Text> units;
  for (const std::string& name : names) units.push_back(Widen(name));
  std::vector<TextView> unitViews(units.begin(), units.end());
  FunctionTable wide;
  wide.Reset(u"main.m");
  t.AddAsciiCalls(t.Intern(u"main.m"), views.data(), views.size(), 7);
  wide.AddCalls(wide.Intern(u"main.m"), unitViews.data(), unitViews.size(), 7);
  EXPECT_EQ(t.Records(), wide.Records());
}

// Bytes read as the units they widen to: unsigned, so a byte above 0x7F is
// its Latin-1 unit.
Text UnitsOf(std::string_view bytes) {
  Text units;
  for (const char c : bytes) units.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return units;
}

// Names a byte name's key could confuse: ones differing only in their last
// byte where the key's words and folded groups end (7/8/9, 15/16/17 bytes),
// a name that is another's first bytes, and bytes above 0x7F. Each name is
// filed three times, once in a whole statement of bytes, once as UTF-16 and
// once in either form: every name keeps its own record and all three lines,
// and is the same name as its UTF-16 units. Each byte name lies in an
// allocation of its own size, so a read past its end shows under
// AddressSanitizer.
TEST(FunctionTableBytes, NamesDifferingInOneByteOrInLengthStayApart) {
  const auto lastByteApart = [](std::size_t length) {
    std::string stem;
    for (std::size_t i = 0; i + 1 < length; ++i) stem.push_back(static_cast<char>('a' + i % 26));
    return std::vector<std::string>{stem + "x", stem + "y", stem + "z", stem + "\x7E"};
  };
  struct Row {
    const char* what;
    std::vector<std::string> names;
  };
  std::vector<Row> rows;
  for (const std::size_t length :
       {1U, 2U, 3U, 4U, 5U, 7U, 8U, 9U, 12U, 15U, 16U, 17U, 24U, 25U, 33U}) {
    rows.push_back({"last byte apart", lastByteApart(length)});
  }
  rows.push_back({"one name is another's first bytes",
                  {"abcdefg", "abcdefgh", "abcdefghi", "abc", "abcd", "abcdefghijklmnop",
                   "abcdefghijklmnopq", "abcdefghijklmno", "a", "ab"}});
  rows.push_back({"bytes above 0x7F",
                  {"\xE9", "\x69", "\xFF", "\x7F", "a\xE9", "ai", "caf\xE9", "cafi",
                   "\xE9t\xE9_long_name", "it\xE9_long_name", "ab\x80", "ab\x7F", "\xC3\xA9"}});
  rows.push_back({"eight bytes and the same with more", {"xxxxxxxx", "xxxxxxxxx", "xxxxxxxxxx"}});

  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::unique_ptr<char[]>> owned;
    std::vector<std::string_view> bytes;
    std::vector<Text> units;
    for (const std::string& name : row.names) {
      owned.push_back(std::make_unique<char[]>(name.size()));
      std::copy(name.begin(), name.end(), owned.back().get());
      bytes.emplace_back(owned.back().get(), name.size());
      units.push_back(UnitsOf(name));
    }
    FunctionTable t;
    t.Reset(u"main.m");
    const FunctionTable::NameId caller = t.Intern(u"main.m");
    t.AddAsciiCalls(caller, bytes.data(), bytes.size(), 1);
    for (const Text& name : units) t.AddCall(caller, name, 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i % 2 == 0) {
        t.AddAsciiCalls(caller, &bytes[i], 1, 3);
      } else {
        t.AddCall(caller, units[i], 3);
      }
    }
    const Records r = t.Records();
    ASSERT_EQ(r.size(), units.size() + 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
      EXPECT_EQ(r[i + 2], Rec(u"main.m", units[i], u"1,2,3")) << row.names[i];
    }
    const std::size_t count = t.NameCount();
    for (const Text& name : units) t.Intern(name);
    EXPECT_EQ(t.NameCount(), count);
  }
}

TEST_F(FunctionTableTest, FinishStripsOneDotMAndBlanksDiscardedNames) {
  Start();
  for (const TextView name :
       {u"helper.m", u"x.m.m", u"plot", u"Plot", u"disp", u"hidden.m", u"fooM"}) {
    Add(u"main.m", name, 1);  // 2..8
  }
  DiscardTable d = EmptyDiscardTable();
  d.push_back({u"plot", u"Graphics", false});
  d.push_back({u"disp", u"", true});      // shown: stays
  d.push_back({u"hidden", u"G", false});  // matches after the strip
  const auto r = t.Finish(d);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[1], Rec(u"", u"main", u"0", u"", true));
  const std::vector<std::pair<Text, Text>> callerAndName = {
      {u"main", u"helper"}, {u"main", u"x.m"}, {u"", u""},        {u"main", u"Plot"},
      {u"main", u"disp"},   {u"", u""},        {u"main", u"fooM"}};
  for (std::size_t i = 2; i < r.size(); ++i) {
    EXPECT_EQ(std::make_pair(r[i].caller, r[i].name), callerAndName[i - 2]) << i;
  }
  // Finishing leaves the table itself as it was.
  EXPECT_EQ(t.Records()[4].name, u"plot");
  // The start alone: the same first two records, also when discarded.
  EXPECT_EQ(t.Finish(d, true), Records(r.begin(), r.begin() + 2));
  d.push_back({u"main", u"G", false});
  const auto startDiscarded = t.Finish(d, true);
  ASSERT_EQ(startDiscarded.size(), 2U);
  EXPECT_EQ(startDiscarded[1], Rec(u"", u"", u"0", u"", true));
  EXPECT_EQ(startDiscarded[1], t.Finish(d)[1]);
}

}  // namespace
}  // namespace korvath
