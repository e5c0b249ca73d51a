// Start-up reading of korvath.ini and discardables.txt, with the fallback
// directory.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf8.h"
#include "session/startup_settings.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using korvath::testing::MemoryFileSystem;

std::optional<Text> Key(TextView line, bool* tooShortOut = nullptr) {
  bool tooShort = false;
  auto v = SettingsKeyValue(line, tooShort);
  if (tooShortOut != nullptr) *tooShortOut = tooShort;
  return v;
}

TEST(SettingsKeyValue, TheValueStartsAtPosition17AndLosesBlanksOnly) {
  EXPECT_EQ(Key(u"Matlab Pathdef = C:\\MATLAB\\toolbox\\local\\pathdef.m"),
            Text(u"C:\\MATLAB\\toolbox\\local\\pathdef.m"));
  EXPECT_EQ(Key(u"Matlab Pathdef=C:\\x\\pathdef.m"), Text(u":\\x\\pathdef.m"));
  EXPECT_EQ(Key(u"Matlab PathdefXY/a/b"), Text(u"/a/b"));
  EXPECT_EQ(Key(u"Matlab Pathdef =   C:\\x\\pathdef.m   "), Text(u"C:\\x\\pathdef.m"));
  EXPECT_EQ(Key(u"Matlab Pathdef = C:\\x\\pathdef.m\t"), Text(u"C:\\x\\pathdef.m\t"));
  bool tooShort = true;
  EXPECT_EQ(Key(u"Matlab Pathdef =", &tooShort), Text(u""));
  EXPECT_FALSE(tooShort);
}

TEST(SettingsKeyValue, OtherLinesAreIgnoredAndShortKeyLinesFail) {
  bool tooShort = true;
  for (const char16_t* line : {u"matlab pathdef = x", u" Matlab Pathdef = x", u"Matlab Pathde", u"",
                               u"[Settings]", u"MATLAB PATHDEF = x"}) {
    EXPECT_EQ(Key(line, &tooShort), std::nullopt) << ::testing::PrintToString(Text(line));
    EXPECT_FALSE(tooShort) << ::testing::PrintToString(Text(line));
  }
  for (const char16_t* line : {u"Matlab Pathdef", u"Matlab Pathdef=", u"Matlab Pathdef "}) {
    tooShort = false;
    EXPECT_EQ(Key(line, &tooShort), std::nullopt) << ::testing::PrintToString(Text(line));
    EXPECT_TRUE(tooShort) << ::testing::PrintToString(Text(line));
  }
}

TEST(ParseDiscardList, HeadingsGroupTheEntriesThatFollow) {
  const DiscardTable d = ParseDiscardList({u"a", u"%G1", u"b", u"", u"%", u"c"});
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[0], DiscardEntry{});
  EXPECT_EQ(d[1], (DiscardEntry{u"a", u"", false}));
  EXPECT_EQ(d[2], (DiscardEntry{u"b", u"G1", false}));
  EXPECT_EQ(d[3], (DiscardEntry{u"", u"G1", false}));
  EXPECT_EQ(d[4], (DiscardEntry{u"c", u"", false}));
}

TEST(ParseDiscardList, LinesAreTakenExactlyAsRead) {
  const DiscardTable d = ParseDiscardList({u"% Graphics", u"plot ", u" %x", u"\tfig", u"%%deep", u"x"});
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[1], (DiscardEntry{u"plot ", u" Graphics", false}));
  EXPECT_EQ(d[2], (DiscardEntry{u" %x", u" Graphics", false}));
  EXPECT_EQ(d[3], (DiscardEntry{u"\tfig", u" Graphics", false}));
  EXPECT_EQ(d[4], (DiscardEntry{u"x", u"%deep", false}));
  EXPECT_EQ(ParseDiscardList({}).size(), 1u);
}

class LoadStartupSettingsTest : public ::testing::Test {
 protected:
  static constexpr const char* kFallback = "/home/u/.config/korvath";
  void SetUp() override {
    fs.AddDirectory("/start");
    fs.SetCwd("/start");
  }
  StartupSettings Load() { return LoadStartupSettings(fs, Widen(kFallback)); }
  std::string Cwd() { return platform::ToUtf8(fs.CurrentDirectory()); }
  static std::string In(const std::string& dir, const std::string& file) { return dir + "/" + file; }

  MemoryFileSystem fs;
};

TEST_F(LoadStartupSettingsTest, BothFilesFromTheStartDirectory) {
  fs.AddDirectory(kFallback);
  fs.AddFile("/start/korvath.ini",
             "\xEF\xBB\xBF[ignored]\r\nMatlab Pathdef = /old/toolbox/pathdef.m\r\n"
             "Matlab Pathdef = /ml/toolbox/local/pathdef.m  \r\nanything else\r\n");
  fs.AddFile("/start/discardables.txt", "%Graphics\nplot\r\nfigure\n");
  fs.AddFile(In(kFallback, "discardables.txt"), "wrong\n");
  const StartupSettings s = Load();
  EXPECT_FALSE(s.SettingsAbandoned);
  EXPECT_FALSE(s.MovedToFallback);
  EXPECT_EQ(s.PathdefFile, u"/ml/toolbox/local/pathdef.m");
  EXPECT_EQ(s.PathBox, u"/ml/toolbox/local/pathdef.m");
  ASSERT_EQ(s.Discards.size(), 3u);
  EXPECT_EQ(s.Discards[1], (DiscardEntry{u"plot", u"Graphics", false}));
  EXPECT_EQ(s.Discards[2], (DiscardEntry{u"figure", u"Graphics", false}));
  EXPECT_EQ(Cwd(), "/start");
}

TEST_F(LoadStartupSettingsTest, ASettingsFileWithoutKeyLineLeavesThePathEmpty) {
  fs.AddDirectory(kFallback);
  fs.AddFile("/start/korvath.ini", "matlab pathdef = /x/toolbox/pathdef.m\n");
  fs.AddFile(In(kFallback, "korvath.ini"), "Matlab Pathdef = /fallback/toolbox/pathdef.m\n");
  const StartupSettings s = Load();
  EXPECT_FALSE(s.SettingsAbandoned);
  EXPECT_FALSE(s.MovedToFallback);
  EXPECT_EQ(s.PathdefFile, u"");
  EXPECT_EQ(s.PathBox, u"");
  EXPECT_EQ(Cwd(), "/start");
}

TEST_F(LoadStartupSettingsTest, SettingsOnlyInTheFallbackDirectoryMoveStartUpThere) {
  fs.AddFile(In(kFallback, "korvath.ini"), "Matlab Pathdef = /ml/toolbox/local/pathdef.m\n");
  fs.AddFile(In(kFallback, "discardables.txt"), "fromFallback\n");
  fs.AddFile("/start/discardables.txt", "fromStart\n");
  const StartupSettings s = Load();
  EXPECT_FALSE(s.SettingsAbandoned);
  EXPECT_TRUE(s.MovedToFallback);
  EXPECT_EQ(s.PathdefFile, u"/ml/toolbox/local/pathdef.m");
  EXPECT_EQ(Cwd(), kFallback);
  ASSERT_EQ(s.Discards.size(), 2u);
  EXPECT_EQ(s.Discards[1].Name, u"fromFallback");
}

TEST_F(LoadStartupSettingsTest, NoSettingsAnywhereAbandonsThemInTheFallbackDirectory) {
  fs.AddDirectory(kFallback);
  fs.AddFile(In(kFallback, "discardables.txt"), "fromFallback\n");
  fs.AddFile("/start/discardables.txt", "fromStart\n");
  const StartupSettings s = Load();
  EXPECT_TRUE(s.SettingsAbandoned);
  EXPECT_TRUE(s.MovedToFallback);
  EXPECT_EQ(s.PathdefFile, u"");
  EXPECT_EQ(s.PathBox, u"");
  EXPECT_EQ(Cwd(), kFallback);
  ASSERT_EQ(s.Discards.size(), 2u);
  EXPECT_EQ(s.Discards[1].Name, u"fromFallback");
}

TEST_F(LoadStartupSettingsTest, AShortKeyLineIsAFailureEvenAfterAGoodOne) {
  fs.AddDirectory(kFallback);
  fs.AddFile("/start/korvath.ini", "Matlab Pathdef = /ml/toolbox/local/pathdef.m\nMatlab Pathdef\n");
  fs.AddFile(In(kFallback, "discardables.txt"), "fromFallback\n");
  const StartupSettings s = Load();
  EXPECT_TRUE(s.SettingsAbandoned);
  EXPECT_EQ(s.PathdefFile, u"");
  EXPECT_EQ(Cwd(), kFallback);
  ASSERT_EQ(s.Discards.size(), 2u);
  EXPECT_EQ(s.Discards[1].Name, u"fromFallback");
}

TEST_F(LoadStartupSettingsTest, AMissingFallbackDirectoryEndsStartUpWhereItIs) {
  fs.AddFile("/start/discardables.txt", "fromStart\n");
  const StartupSettings s = Load();
  EXPECT_TRUE(s.SettingsAbandoned);
  EXPECT_FALSE(s.MovedToFallback);
  EXPECT_EQ(s.PathdefFile, u"");
  EXPECT_EQ(Cwd(), "/start");
  ASSERT_EQ(s.Discards.size(), 2u);
  EXPECT_EQ(s.Discards[1].Name, u"fromStart");
}

TEST_F(LoadStartupSettingsTest, StartingInTheFallbackDirectoryTriesOnlyOnce) {
  fs.AddFile(In(kFallback, "discardables.txt"), "here\n");
  fs.SetCwd(kFallback);
  const StartupSettings s = Load();
  EXPECT_TRUE(s.SettingsAbandoned);
  EXPECT_EQ(s.PathdefFile, u"");
  EXPECT_EQ(Cwd(), kFallback);
  ASSERT_EQ(s.Discards.size(), 2u);
  EXPECT_EQ(s.Discards[1].Name, u"here");
}

TEST_F(LoadStartupSettingsTest, AMissingOrUnreadableDiscardListLeavesEntryZeroOnly) {
  fs.AddFile("/start/korvath.ini", "Matlab Pathdef = /p\n");
  EXPECT_EQ(Load().Discards, EmptyDiscardTable());
  fs.AddFile("/start/discardables.txt", "plot\n");
  fs.MakeUnreadable("/start/discardables.txt");
  const StartupSettings s = Load();
  EXPECT_EQ(s.Discards, EmptyDiscardTable());
  EXPECT_EQ(s.PathdefFile, u"/p");
}

}  // namespace
}  // namespace korvath
