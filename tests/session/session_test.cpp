// The session layer: the start file's name, the discard list, the messages of
// a run, and start-up reading of korvath.ini and discardables.txt.

#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "session/discard_list.h"
#include "session/message_tally.h"
#include "session/start_name.h"
#include "session/startup_settings.h"
#include "tests/support/memory_file_system.h"

namespace korvath::session {
namespace {

using engine::DiscardEntry;
using engine::DiscardTable;

TEST(StartNameFromInput, AppendsDotMThenCutsAtTheLastSeparator) {
  const struct {
    const char16_t* input;
    bool slashIsSeparator;
    const char16_t* name;
  } cases[] = {
      {u"", false, u".m"},
      {u"foo", false, u"foo.m"},
      {u"foo.m", false, u"foo.m"},
      {u"m", false, u"m.m"},
      {u".m", false, u".m"},
      {u"C:\\a\\b\\foo", false, u"foo.m"},
      {u"foo.M", false, u"foo.M.m"},    // the ending is case-sensitive
      {u"foo.m ", false, u"foo.m .m"},  // and nothing is trimmed
      {u"foo.m\\", false, u".m"},       // the ending is added before the cut
      {u"a/b/foo.m", false, u"a/b/foo.m"},
      {u"a\\b/c", false, u"b/c.m"},
      {u"/home/u/main", true, u"main.m"},
      {u"a\\b/c", true, u"c.m"},
      {u"a/b\\c", true, u"c.m"},
      {u"dir/", true, u".m"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StartNameFromInput(c.input, c.slashIsSeparator), c.name)
        << ::testing::PrintToString(Text(c.input)) << " slash " << c.slashIsSeparator;
  }
}

TEST(ParseDiscardList, HeadingsGroupTheLinesThatFollowTakenAsRead) {
  EXPECT_EQ(ParseDiscardList({}), engine::EmptyDiscardTable());
  EXPECT_TRUE(DiscardGroups(engine::EmptyDiscardTable()).empty());
  const DiscardTable table =
      ParseDiscardList({u"%G1", u"b ", u"", u" %x", u"%", u"a", u"%g1", u"c", u"% Graphics",
                        u"plot", u"%%deep", u"\tfig", u"%G1 ", u"e", u"%G1", u"d"});
  const DiscardTable expected = {DiscardEntry{},
                                 {u"b ", u"G1", false},
                                 {u"", u"G1", false},
                                 {u" %x", u"G1", false},
                                 {u"a", u"", false},
                                 {u"c", u"g1", false},
                                 {u"plot", u" Graphics", false},
                                 {u"\tfig", u"%deep", false},
                                 {u"e", u"G1 ", false},
                                 {u"d", u"G1", false}};
  EXPECT_EQ(table, expected);
  // Each group once, in order of first appearance.
  EXPECT_EQ(DiscardGroups(table),
            (std::vector<Text>{u"G1", u"", u"g1", u" Graphics", u"%deep", u"G1 "}));
}

// ShownGroups is what a reopened options dialog lists: the groups none of
// whose entries is hidden, in order of first appearance.
TEST(ShowOnlyGroups, ShowsExactlyTheChosenGroupsWhichShownGroupsThenLists) {
  const struct {
    std::vector<Text> groups;
    std::vector<bool> shown;
    std::vector<Text> listed;
  } cases[] = {
      {{}, {false, false, false, false}, {}},
      {{u"G1"}, {false, true, false, true}, {u"G1"}},
      {{u""}, {true, false, false, false}, {u""}},
      {{u"g1", u"G1", u"none"}, {false, true, true, true}, {u"G1", u"g1"}},
  };
  DiscardTable table = ParseDiscardList({u"a", u"%G1", u"b", u"%g1", u"c", u"%G1", u"d"});
  for (const auto& c : cases) {
    for (DiscardEntry& entry : table) entry.show = true;  // an earlier choice
    ShowOnlyGroups(table, c.groups);
    std::vector<bool> shown;
    for (std::size_t d = 1; d < table.size(); ++d) shown.push_back(table[d].show);
    EXPECT_EQ(shown, c.shown) << ::testing::PrintToString(c.groups);
    EXPECT_EQ(ShownGroups(table), c.listed) << ::testing::PrintToString(c.groups);
  }
  table[4].show = false;  // one of G1's two entries hidden
  EXPECT_EQ(ShownGroups(table), (std::vector<Text>{u"g1"}));
}

TEST(MessageTally, OnlyTheFirstAddIsNewAndRepeatsAreCountedInOrder) {
  const std::pair<Text, bool> adds[] = {{u"a", true}, {u"b", true},  {u"a", false},
                                        {u"c", true}, {u"a", false}, {u"b", false}};
  MessageTally tally;
  for (const auto& [text, isNew] : adds) EXPECT_EQ(tally.Add(text), isNew) << tally.All().size();
  EXPECT_EQ(tally.All(), (std::vector<Text>{u"a", u"b", u"a", u"c", u"a", u"b"}));
  EXPECT_EQ(tally.Distinct(), (std::vector<std::pair<Text, int>>{{u"a", 3}, {u"b", 2}, {u"c", 1}}));
}

TEST(SettingsKeyValue, TheValueStartsAtPosition17AndAShortKeyLineIsInvalid) {
  using enum Status;
  const struct {
    const char16_t* line;
    Status status;
    std::optional<Text> value;
  } cases[] = {
      {u"Matlab Pathdef = C:\\x\\pathdef.m", Ok, u"C:\\x\\pathdef.m"},
      // Any two characters separate, so without blanks the drive letter goes.
      {u"Matlab Pathdef=C:\\x\\pathdef.m", Ok, u":\\x\\pathdef.m"},
      {u"Matlab PathdefXY/a/b", Ok, u"/a/b"},
      {u"Matlab Pathdef =   /p   ", Ok, u"/p"},
      {u"Matlab Pathdef = /p\t", Ok, u"/p\t"},
      {u"Matlab Pathdef =", Ok, u""},
      {u"Matlab Pathdef=", Invalid, std::nullopt},
      {u"Matlab Pathdef", Invalid, std::nullopt},
      {u"matlab pathdef = /p", Ok, std::nullopt},
      {u" Matlab Pathdef = /p", Ok, std::nullopt},
      {u"Matlab Pathde", Ok, std::nullopt},
      {u"", Ok, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(Text(c.line)));
    std::optional<Text> value = u"stale";
    EXPECT_EQ(SettingsKeyValue(c.line, value).status, c.status);
    EXPECT_EQ(value, c.value);
  }
}

constexpr char kFallback[] = "/home/u/.config/korvath";

// Each directory's discardables.txt names that directory, so the discard list
// shows where start-up ended; the pathdef.m location is used only when the
// settings were read.
TEST(LoadStartupSettings, ReadsFromTheStartOrOnceFromTheFallbackDirectory) {
  struct Case {
    const char *name, *startIni, *fallbackIni;  // korvath.ini in /start and the fallback, if any
    bool fallbackExists, startInFallback, discardsUnreadable;
    Status status;
    const char16_t* configuredPathdef;
    bool moved;
  };
  using enum Status;
  constexpr char kFb[] = "Matlab Pathdef = /fb\n";
  const Case cases[] = {
      {"last key line wins", "[x]\r\nMatlab Pathdef = /old\r\nMatlab Pathdef = /ml  \r\nz\r\n", kFb,
       true, false, false, Ok, u"/ml", false},
      {"no key line", "matlab pathdef = /ml\n", kFb, true, false, false, Ok, u"", false},
      {"only in the fallback", nullptr, kFb, true, false, false, Ok, u"/fb", true},
      // A relative location is fixed against the folder the file was read
      // in, so that another current folder later does not lose it.
      {"relative, in the start", "Matlab Pathdef = ./tb/local/pathdef.m\n", nullptr, true, false,
       false, Ok, u"/start/tb/local/pathdef.m", false},
      {"relative, in the fallback", nullptr, "Matlab Pathdef = tb/pathdef.m\n", true, false, false,
       Ok, u"/home/u/.config/korvath/tb/pathdef.m", true},
      {"nowhere", nullptr, nullptr, true, false, false, NotFound, u"", true},
      // Abandoned, and the fallback's file is not read: the path box keeps
      // what was read before the bad line.
      {"a short key line", "Matlab Pathdef = /ml\nMatlab Pathdef\n", kFb, true, false, false,
       Invalid, u"/ml", true},
      {"no fallback directory", nullptr, nullptr, false, false, false, NotFound, u"", false},
      {"started in the fallback", nullptr, nullptr, true, true, false, NotFound, u"", false},
      {"unreadable discard list", "Matlab Pathdef = /p\n", nullptr, true, false, true, Ok, u"/p",
       false},
  };
  // One Settings for all: every load starts afresh.
  Settings s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool inFallback = c.moved || c.startInFallback;
    testing::MemoryFileSystem fs;
    const std::string fallback = kFallback;
    fs.AddFile("/start/discardables.txt", "start\n");
    if (c.discardsUnreadable) fs.MakeUnreadable("/start/discardables.txt");
    if (c.startIni != nullptr) fs.AddFile("/start/korvath.ini", c.startIni);
    if (c.fallbackExists) fs.AddFile(fallback + "/discardables.txt", "fallback\n");
    if (c.fallbackIni != nullptr) fs.AddFile(fallback + "/korvath.ini", c.fallbackIni);
    fs.SetCwd(c.startInFallback ? fallback : "/start");
    EXPECT_EQ(LoadStartupSettings(fs, engine::Widen(kFallback), s).status, c.status);
    EXPECT_EQ(s.pathdefFile, c.status == Ok ? c.configuredPathdef : u"");
    EXPECT_EQ(s.configuredPathdef, c.configuredPathdef);
    EXPECT_EQ(s.movedToFallback, c.moved);
    EXPECT_EQ(platform::ToUtf8(fs.CurrentDirectory()), inFallback ? fallback : "/start");
    DiscardTable discards = engine::EmptyDiscardTable();
    const Text from = inFallback ? u"fallback" : u"start";
    if (!c.discardsUnreadable) discards.push_back({from, u"", false});
    EXPECT_EQ(s.discards, discards);
  }
}

// The settings file is read in the start directory, and once more in the
// fallback directory only when that is another directory and the first read
// failed; a bad line there is not retried.
TEST(LoadStartupSettings, TheSettingsFileIsReadOnceInEachDirectoryAtMost) {
  const std::string fallback = kFallback;
  const struct {
    const char *name, *startIni, *fallbackIni;
    bool startInFallback, fallbackExists;
    std::vector<std::string> readIn;  // the current directory at each read of korvath.ini
  } cases[] = {
      {"in the start", "Matlab Pathdef = /p\n", "Matlab Pathdef = /q\n", false, true, {"/start"}},
      {"in the fallback", nullptr, "Matlab Pathdef = /q\n", false, true, {"/start", fallback}},
      {"nowhere", nullptr, nullptr, false, true, {"/start", fallback}},
      {"bad in the start", "Matlab Pathdef\n", "Matlab Pathdef = /q\n", false, true, {"/start"}},
      {"bad in the fallback", nullptr, "Matlab Pathdef\n", false, true, {"/start", fallback}},
      {"started in the fallback, none", nullptr, nullptr, true, true, {fallback}},
      {"started in the fallback, bad", nullptr, "Matlab Pathdef\n", true, true, {fallback}},
      {"no fallback directory", nullptr, nullptr, false, false, {"/start"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    fs.AddDirectory("/start");
    if (c.fallbackExists) fs.AddDirectory(fallback);
    if (c.startIni != nullptr) fs.AddFile("/start/korvath.ini", c.startIni);
    if (c.fallbackIni != nullptr) fs.AddFile(fallback + "/korvath.ini", c.fallbackIni);
    fs.SetCwd(c.startInFallback ? fallback : "/start");
    std::vector<std::string> readIn;
    fs.beforeRead = [&fs, &readIn](const std::u16string& path) {
      if (path == kSettingsFileName) readIn.push_back(platform::ToUtf8(fs.CurrentDirectory()));
    };
    Settings s;
    static_cast<void>(
        LoadStartupSettings(fs, engine::Widen(kFallback), s));  // only the reads count
    EXPECT_EQ(readIn, c.readIn);
  }
}

// Files saved by Windows editors may start with a byte-order mark.
TEST(LoadStartupSettings, AByteOrderMarkStartsNoLine) {
  testing::MemoryFileSystem fs;
  fs.AddFile("/start/korvath.ini", "\xEF\xBB\xBFMatlab Pathdef = /p/pathdef.m\r\n");
  fs.AddFile("/start/discardables.txt", "\xEF\xBB\xBFplot\r\n%G\r\nsurf\r\n");
  fs.SetCwd("/start");
  Settings s;
  EXPECT_TRUE(LoadStartupSettings(fs, engine::Widen(kFallback), s).ok());
  EXPECT_EQ(s.configuredPathdef, u"/p/pathdef.m");
  EXPECT_FALSE(s.movedToFallback);
  EXPECT_EQ(s.discards,
            (DiscardTable{DiscardEntry{}, {u"plot", u"", false}, {u"surf", u"G", false}}));
}

}  // namespace
}  // namespace korvath::session
