// The function table: filing calls, reusing blanked slots, the resolution
// passes (counts, linking, the pick) and the end-of-run clean-up.

#include <gtest/gtest.h>

#include <vector>

#include "engine/function_table.h"

namespace korvath {
namespace {

FunctionRecord Rec(Text caller, Text name, Text lines, Text also = u"", bool parsed = false) {
  return FunctionRecord{std::move(caller), std::move(name), std::move(also), std::move(lines), parsed};
}

TEST(FunctionTable, ResetLeavesOnlyTheStartRecord) {
  FunctionTable t;
  t.AddCall(u"x.m", u"old", 1);
  t.Reset(u"main.m");
  EXPECT_EQ(t.HighestIndex(), 1);
  const auto r = t.Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], FunctionRecord{});
  EXPECT_EQ(r[1], Rec(u"", u"main.m", u"0"));
  EXPECT_EQ(t.Name(1), u"main.m");
}

TEST(FunctionTable, AddCallCollectsLinesPerCallerAndName) {
  FunctionTable t;
  t.Reset(u"main.m");
  t.AddCall(u"main.m", u"foo", 3);
  t.AddCall(u"main.m", u"bar", 4);
  t.AddCall(u"main.m", u"foo", 17);
  t.AddCall(u"main.m", u"foo", 17);  // no duplicate check
  t.AddCall(u"other.m", u"foo", 2);  // another caller, another record
  t.AddCall(u"main.m", u"Foo", 5);   // names compare exactly
  t.AddCall(u"main.m", u"", 9);      // empty names are ignored
  const auto r = t.Records();
  ASSERT_EQ(t.HighestIndex(), 5);
  EXPECT_EQ(r[2], Rec(u"main.m", u"foo", u"3,17,17"));
  EXPECT_EQ(r[3], Rec(u"main.m", u"bar", u"4"));
  EXPECT_EQ(r[4], Rec(u"other.m", u"foo", u"2"));
  EXPECT_EQ(r[5], Rec(u"main.m", u"Foo", u"5"));
}

TEST(FunctionTable, LineNumbersAreNotLimitedTo16Bits) {
  FunctionTable t;
  t.Reset(u"main.m");
  t.AddCall(u"main.m", u"f", 40000);
  t.AddCall(u"main.m", u"f", 123456);
  EXPECT_EQ(t.Records()[2].Lines, u"40000,123456");
}

TEST(FunctionTable, NumbersTakeASlotButFillNothing) {
  FunctionTable t;
  t.Reset(u"main.m");
  // With no blanked slot, a number grows the table by an empty record...
  t.AddCall(u"main.m", u"2", 1);
  ASSERT_EQ(t.HighestIndex(), 2);
  EXPECT_EQ(t.Records()[2], FunctionRecord{});
  // ...which the next new record fills.
  t.AddCall(u"main.m", u"inf", 1);
  ASSERT_EQ(t.HighestIndex(), 2);
  EXPECT_EQ(t.Records()[2], Rec(u"main.m", u"inf", u"1"));
  // Numbers in every spelling of the rule.
  t.AddCall(u"main.m", u"1e-3", 1);
  t.AddCall(u"main.m", u"-.5", 2);
  t.AddCall(u"main.m", u"x", 3);
  EXPECT_EQ(t.HighestIndex(), 3);
  EXPECT_EQ(t.Records()[3], Rec(u"main.m", u"x", u"3"));
}

TEST(FunctionTable, NewRecordsReuseTheFirstBlankedSlot) {
  FunctionTable t;
  t.Reset(u"main.m");
  auto pass = t.RunPass();
  ASSERT_EQ(pass.candidate, 1);
  t.Pick(1);
  t.MarkFound(1);
  t.AddCall(u"main.m", u"a", 1);  // 2
  t.AddCall(u"main.m", u"b", 2);  // 3
  t.AddCall(u"main.m", u"c", 3);  // 4
  // Blank 4 and then 3 (the pick takes the highest open record first).
  ASSERT_EQ(t.RunPass().candidate, 4);
  EXPECT_EQ(t.Pick(4), u"c");
  t.Blank(4);
  ASSERT_EQ(t.RunPass().candidate, 3);
  EXPECT_EQ(t.Pick(3), u"b");
  t.Blank(3);
  auto r = t.Records();
  EXPECT_EQ(r[3].Name, u"");
  EXPECT_EQ(r[3].Caller, u"");
  EXPECT_TRUE(r[3].Parsed);

  // A number chooses the blanked slot 3 and leaves it as it is.
  t.AddCall(u"a.m", u"42", 7);
  EXPECT_EQ(t.HighestIndex(), 4);
  t.AddCall(u"a.m", u"d", 7);  // slot 3
  t.AddCall(u"a.m", u"e", 8);  // slot 4
  t.AddCall(u"a.m", u"f", 9);  // grows
  r = t.Records();
  ASSERT_EQ(t.HighestIndex(), 5);
  EXPECT_EQ(r[3], Rec(u"a.m", u"d", u"7"));
  EXPECT_EQ(r[4], Rec(u"a.m", u"e", u"8"));
  EXPECT_EQ(r[5], Rec(u"a.m", u"f", u"9"));
}

TEST(FunctionTable, PassesCountPickAndLinkToTheLowestSettledRecord) {
  // main.m calls a, c, b and x; x has no file; b.m calls y (no file) and foo;
  // c.m and a.m call foo. foo is scanned through b.m's record; c.m's record
  // reuses a blanked slot below it and is linked first, so a.m's record,
  // coming later, is linked to c.m's (the lowest settled foo), not to b.m's.
  FunctionTable t;
  t.Reset(u"main.m");

  auto p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 0);
  EXPECT_EQ(p.totalCount, 1);
  ASSERT_EQ(p.candidate, 1);
  EXPECT_EQ(t.Pick(1), u"main.m");
  t.MarkFound(1);
  t.AddCall(u"main.m", u"a", 1);  // 2
  t.AddCall(u"main.m", u"c", 2);  // 3
  t.AddCall(u"main.m", u"b", 3);  // 4
  t.AddCall(u"main.m", u"x", 4);  // 5

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 1);
  EXPECT_EQ(p.totalCount, 5);
  ASSERT_EQ(p.candidate, 5);
  t.Pick(5);
  t.Blank(5);

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 1);
  EXPECT_EQ(p.totalCount, 4);
  ASSERT_EQ(p.candidate, 4);
  t.Pick(4);
  t.MarkFound(4);
  t.AddCall(u"b.m", u"y", 1);    // reuses 5
  t.AddCall(u"b.m", u"foo", 2);  // 6

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 2);
  EXPECT_EQ(p.totalCount, 6);
  ASSERT_EQ(p.candidate, 6);
  EXPECT_EQ(t.Pick(6), u"foo");
  t.MarkFound(6);

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 3);
  EXPECT_EQ(p.totalCount, 6);
  ASSERT_EQ(p.candidate, 5);
  EXPECT_EQ(t.Pick(5), u"y");
  t.Blank(5);

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 3);
  EXPECT_EQ(p.totalCount, 5);
  ASSERT_EQ(p.candidate, 3);
  t.Pick(3);
  t.MarkFound(3);
  t.AddCall(u"c.m", u"foo", 1);  // reuses 5

  // Record 5 is linked in this pass: counted in the total, not yet parsed.
  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 4);
  EXPECT_EQ(p.totalCount, 6);
  ASSERT_EQ(p.candidate, 2);
  t.Pick(2);
  t.MarkFound(2);
  t.AddCall(u"a.m", u"foo", 1);  // 7

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 6);
  EXPECT_EQ(p.totalCount, 7);
  EXPECT_EQ(p.candidate, 0);

  const auto r = t.Records();
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[5], Rec(u"c.m", u"foo", u"1", u"b.m", true));
  EXPECT_EQ(r[6], Rec(u"b.m", u"foo", u"2", u"", true));
  EXPECT_EQ(r[7], Rec(u"a.m", u"foo", u"1", u"c.m", true));
  // Exactly one foo record is unlinked: the scanned one.
  int unlinked = 0;
  for (const auto& rec : r) unlinked += rec.Name == u"foo" && rec.AlsoCalledBy.empty();
  EXPECT_EQ(unlinked, 1);

  p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 7);
  EXPECT_EQ(p.totalCount, 7);
  EXPECT_EQ(p.candidate, 0);
}

TEST(FunctionTable, TheStartFilesOwnNameLinksToRecordOne) {
  // Record 1 is named with its ".m": a bare self-call is a different name and
  // is picked, a call spelled "main.m" links to record 1, whose Caller is empty.
  FunctionTable t;
  t.Reset(u"main.m");
  ASSERT_EQ(t.RunPass().candidate, 1);
  t.Pick(1);
  t.MarkFound(1);
  t.AddCall(u"main.m", u"main.m", 5);  // 2
  t.AddCall(u"main.m", u"main", 6);    // 3
  const auto p = t.RunPass();
  EXPECT_EQ(p.candidate, 3);
  EXPECT_EQ(p.parsedCount, 1);
  EXPECT_EQ(p.totalCount, 3);
  const auto r = t.Records();
  EXPECT_EQ(r[2], Rec(u"main.m", u"main.m", u"5", u"", true));
  EXPECT_EQ(r[3], Rec(u"main.m", u"main", u"6", u"", false));
}

TEST(FunctionTable, AnEmptySlotLeftByANumberIsPickedLikeAnyOpenRecord) {
  FunctionTable t;
  t.Reset(u"main.m");
  ASSERT_EQ(t.RunPass().candidate, 1);
  t.Pick(1);
  t.MarkFound(1);
  t.AddCall(u"main.m", u"2", 1);
  auto p = t.RunPass();
  EXPECT_EQ(p.parsedCount, 1);
  EXPECT_EQ(p.totalCount, 1);
  ASSERT_EQ(p.candidate, 2);
  EXPECT_EQ(t.Pick(2), u"");
  t.Blank(2);
  p = t.RunPass();
  EXPECT_EQ(p.candidate, 0);
  EXPECT_EQ(p.parsedCount, 1);
  EXPECT_EQ(p.totalCount, 1);
}

TEST(FunctionTable, FinishStripsOneDotMAndAppliesTheDiscardList) {
  FunctionTable t;
  t.Reset(u"main.m");
  ASSERT_EQ(t.RunPass().candidate, 1);
  t.Pick(1);
  t.MarkFound(1);
  t.AddCall(u"main.m", u"helper.m", 1);  // 2
  t.AddCall(u"main.m", u"x.m.m", 2);     // 3
  t.AddCall(u"main.m", u"plot", 3);      // 4
  t.AddCall(u"main.m", u"Plot", 4);      // 5
  t.AddCall(u"main.m", u"disp", 5);      // 6
  t.AddCall(u"main.m", u"hidden.m", 6);  // 7
  t.AddCall(u"main.m", u"fooM", 7);      // 8

  DiscardTable d = EmptyDiscardTable();
  d.push_back({u"plot", u"Graphics", false});
  d.push_back({u"disp", u"", true});        // shown: stays
  d.push_back({u"hidden", u"G", false});    // matches after the strip
  d.push_back({u"disp", u"Other", true});
  const auto r = t.Finish(d);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[1].Name, u"main");
  EXPECT_EQ(r[1].Caller, u"");
  EXPECT_EQ(r[1].Lines, u"0");
  EXPECT_EQ(r[2].Name, u"helper");
  EXPECT_EQ(r[2].Caller, u"main");
  EXPECT_EQ(r[3].Name, u"x.m");
  EXPECT_EQ(r[4].Name, u"");
  EXPECT_EQ(r[4].Caller, u"");
  EXPECT_EQ(r[5].Name, u"Plot");
  EXPECT_EQ(r[6].Name, u"disp");
  EXPECT_EQ(r[7].Name, u"");
  EXPECT_EQ(r[7].Caller, u"");
  EXPECT_EQ(r[8].Name, u"fooM");

  // The start function itself can be discarded.
  DiscardTable mainOut = EmptyDiscardTable();
  mainOut.push_back({u"main", u"", false});
  const auto r2 = t.Finish(mainOut);
  EXPECT_EQ(r2[1].Name, u"");
  EXPECT_EQ(r2[2].Caller, u"main");
}

TEST(FunctionTable, FinishStripsAlsoCalledBy) {
  FunctionTable t;
  t.Reset(u"main.m");
  ASSERT_EQ(t.RunPass().candidate, 1);
  t.Pick(1);
  t.MarkFound(1);
  t.AddCall(u"main.m", u"a", 1);  // 2
  t.AddCall(u"main.m", u"b", 2);  // 3
  ASSERT_EQ(t.RunPass().candidate, 3);
  t.Pick(3);
  t.MarkFound(3);
  t.AddCall(u"b.m", u"a", 1);  // 4
  // Neither record of "a" is settled yet, so the higher one is scanned...
  auto p = t.RunPass();
  ASSERT_EQ(p.candidate, 4);
  t.Pick(4);
  t.MarkFound(4);
  // ...and the older one is linked to it.
  p = t.RunPass();
  EXPECT_EQ(p.candidate, 0);
  const auto r = t.Finish(EmptyDiscardTable());
  EXPECT_EQ(r[2], Rec(u"main", u"a", u"1", u"b", true));
  EXPECT_EQ(r[4], Rec(u"b", u"a", u"1", u"", true));
}

}  // namespace
}  // namespace korvath
