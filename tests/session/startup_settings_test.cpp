// Start-up reading of korvath.ini and discardables.txt, with the fallback
// directory.

#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "session/startup_settings.h"
#include "tests/support/memory_file_system.h"

namespace korvath::session {
namespace {

TEST(SettingsKeyValue, TheValueStartsAtPosition17AndAShortKeyLineIsInvalid) {
  struct Case {
    const char16_t* line;
    Status status;
    std::optional<Text> value;
  };
  const Case cases[] = {
      {u"Matlab Pathdef = C:\\x\\pathdef.m", Status::Ok, u"C:\\x\\pathdef.m"},
      // Any two characters separate, so without blanks the drive letter goes.
      {u"Matlab Pathdef=C:\\x\\pathdef.m", Status::Ok, u":\\x\\pathdef.m"},
      {u"Matlab PathdefXY/a/b", Status::Ok, u"/a/b"},
      {u"Matlab Pathdef =   /p   ", Status::Ok, u"/p"},
      {u"Matlab Pathdef = /p\t", Status::Ok, u"/p\t"},
      {u"Matlab Pathdef =", Status::Ok, u""},
      {u"Matlab Pathdef=", Status::Invalid, std::nullopt},
      {u"Matlab Pathdef", Status::Invalid, std::nullopt},
      {u"matlab pathdef = /p", Status::Ok, std::nullopt},
      {u" Matlab Pathdef = /p", Status::Ok, std::nullopt},
      {u"Matlab Pathde", Status::Ok, std::nullopt},
      {u"", Status::Ok, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(Text(c.line)));
    std::optional<Text> value = u"stale";
    EXPECT_EQ(SettingsKeyValue(c.line, value).status, c.status);
    EXPECT_EQ(value, c.value);
  }
}

constexpr char kFallback[] = "/home/u/.config/korvath";

TEST(LoadStartupSettings, ReadsFromTheStartOrOnceFromTheFallbackDirectory) {
  struct Case {
    const char* name;
    const char* startIni;     // korvath.ini in /start, if any
    const char* fallbackIni;  // and in the fallback directory
    bool fallbackExists;
    bool startInFallback;
    Status status;
    const char16_t* pathdefFile;
    const char16_t* pathBox;
    bool moved;
    const char* cwd;
    const char16_t* discardsFrom;
  };
  using enum Status;
  const Case cases[] = {
      {"last key line wins", "[x]\r\nMatlab Pathdef = /old\r\nMatlab Pathdef = /ml  \r\nz\r\n",
       "Matlab Pathdef = /fb\n", true, false, Ok, u"/ml", u"/ml", false, "/start", u"start"},
      {"no key line", "matlab pathdef = /ml\n", "Matlab Pathdef = /fb\n", true, false, Ok,
       u"", u"", false, "/start", u"start"},
      {"only in the fallback", nullptr, "Matlab Pathdef = /fb\n", true, false, Ok, u"/fb",
       u"/fb", true, kFallback, u"fallback"},
      // A relative location is fixed against the folder the file was read
      // in, so that another current folder later does not lose it.
      {"relative, in the start", "Matlab Pathdef = ./tb/local/pathdef.m\n", nullptr, true,
       false, Ok, u"/start/tb/local/pathdef.m", u"/start/tb/local/pathdef.m", false, "/start",
       u"start"},
      {"relative, in the fallback", nullptr, "Matlab Pathdef = tb/pathdef.m\n", true, false, Ok,
       u"/home/u/.config/korvath/tb/pathdef.m", u"/home/u/.config/korvath/tb/pathdef.m", true,
       kFallback, u"fallback"},
      {"nowhere", nullptr, nullptr, true, false, NotFound, u"", u"", true, kFallback,
       u"fallback"},
      // Abandoned, and the fallback's file is not read: the path box keeps
      // what was read before the bad line.
      {"a short key line", "Matlab Pathdef = /ml\nMatlab Pathdef\n", "Matlab Pathdef = /fb\n",
       true, false, Invalid, u"", u"/ml", true, kFallback, u"fallback"},
      {"no fallback directory", nullptr, nullptr, false, false, NotFound, u"", u"", false,
       "/start", u"start"},
      {"started in the fallback", nullptr, nullptr, true, true, NotFound, u"", u"", false,
       kFallback, u"fallback"},
  };
  // One Settings for all: every load starts afresh.
  Settings s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    const std::string fallback = kFallback;
    fs.AddFile("/start/discardables.txt", "start\n");
    if (c.startIni != nullptr) fs.AddFile("/start/korvath.ini", c.startIni);
    if (c.fallbackExists) fs.AddFile(fallback + "/discardables.txt", "fallback\n");
    if (c.fallbackIni != nullptr) fs.AddFile(fallback + "/korvath.ini", c.fallbackIni);
    fs.SetCwd(c.startInFallback ? fallback : "/start");
    EXPECT_EQ(LoadStartupSettings(fs, engine::Widen(kFallback), s).status, c.status);
    EXPECT_EQ(s.pathdefFile, c.pathdefFile);
    EXPECT_EQ(s.pathBox, c.pathBox);
    EXPECT_EQ(s.movedToFallback, c.moved);
    EXPECT_EQ(platform::ToUtf8(fs.CurrentDirectory()), c.cwd);
    ASSERT_EQ(s.discards.size(), 2u);
    EXPECT_EQ(s.discards[1], (engine::DiscardEntry{c.discardsFrom, u"", false}));
  }
}

TEST(LoadStartupSettings, AnUnreadableDiscardListLeavesEntryZeroOnly) {
  testing::MemoryFileSystem fs;
  fs.AddFile("/start/korvath.ini", "Matlab Pathdef = /p\n");
  fs.AddFile("/start/discardables.txt", "plot\n");
  fs.MakeUnreadable("/start/discardables.txt");
  fs.SetCwd("/start");
  Settings s;
  EXPECT_TRUE(LoadStartupSettings(fs, u"/fb", s));
  EXPECT_EQ(s.pathdefFile, u"/p");
  EXPECT_EQ(s.discards, engine::EmptyDiscardTable());
}

}  // namespace
}  // namespace korvath::session
