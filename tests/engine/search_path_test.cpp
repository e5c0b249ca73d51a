// Reading the search directories out of pathdef.m.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/search_path.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using korvath::testing::MemoryFileSystem;
using Dirs = std::vector<Text>;

TEST(SearchPathRoot, IsWhatComesBeforeTheLastToolboxLessOneCharacter) {
  EXPECT_EQ(SearchPathRoot(u"C:\\MATLAB\\toolbox\\local\\pathdef.m"), Text(u"C:\\MATLAB"));
  EXPECT_EQ(SearchPathRoot(u"C:\\toolbox\\x\\toolbox\\local\\pathdef.m"), Text(u"C:\\toolbox\\x"));
  EXPECT_EQ(SearchPathRoot(u"/opt/matlab/toolbox/local/pathdef.m"), Text(u"/opt/matlab"));
  EXPECT_EQ(SearchPathRoot(u"/m/toolbox"), Text(u"/m"));
  EXPECT_EQ(SearchPathRoot(u"xtoolbox\\pathdef.m"), Text(u""));
  // No usable "toolbox": missing, another case, or nothing before it.
  EXPECT_EQ(SearchPathRoot(u"C:\\MATLAB\\local\\pathdef.m"), std::nullopt);
  EXPECT_EQ(SearchPathRoot(u"C:\\MATLAB\\Toolbox\\local\\pathdef.m"), std::nullopt);
  EXPECT_EQ(SearchPathRoot(u"toolbox\\local\\pathdef.m"), std::nullopt);
  EXPECT_EQ(SearchPathRoot(u""), std::nullopt);
}

TEST(PathdefEntry, OldAndCurrentLineShapesGiveTheSameDirectories) {
  const Text root = u"C:\\MATLAB";
  auto entry = [&](TextView line) { return PathdefEntry(line, root, false); };
  // Tab-indented lines ending ;',...
  EXPECT_EQ(entry(u"\tmatlabroot,'\\toolbox\\matlab\\general;',..."),
            Text(u"C:\\MATLAB\\toolbox\\matlab\\general"));
  EXPECT_EQ(entry(u"\t'D:\\work\\tools;',..."), Text(u"D:\\work\\tools"));
  // Blank-indented lines ending ;', ...
  EXPECT_EQ(entry(u"     matlabroot,'\\toolbox\\matlab\\general;', ..."),
            Text(u"C:\\MATLAB\\toolbox\\matlab\\general"));
  EXPECT_EQ(entry(u"     'D:\\work\\tools;', ..."), Text(u"D:\\work\\tools"));
  // Blanks and tabs mixed at both ends.
  EXPECT_EQ(entry(u"  \t 'D:\\x;',... \t "), Text(u"D:\\x"));
  // The last entry of the list, without the comma.
  EXPECT_EQ(entry(u"     'D:\\x;' ..."), Text(u"D:\\x"));
  EXPECT_EQ(entry(u"'D:\\x:'"), Text(u"D:\\x"));
}

TEST(PathdefEntry, EachTailCharacterGoesAtMostOnce) {
  const Text root = u"R";
  auto entry = [&](TextView line) { return PathdefEntry(line, root, false); };
  EXPECT_EQ(entry(u"'D:\\x;;', ..."), Text(u"D:\\x;"));
  EXPECT_EQ(entry(u"'D:\\x'', ..."), Text(u"D:\\x'"));
  EXPECT_EQ(entry(u"'D:\\x;',, ..."), Text(u"D:\\x;',"));
  EXPECT_EQ(entry(u"D:\\x......"), Text(u"D:\\x..."));
  EXPECT_EQ(entry(u"''D:\\x;'"), Text(u"'D:\\x"));
}

TEST(PathdefEntry, MatlabrootIsReplacedOnlyWithItsCommaAndQuote) {
  auto entry = [](TextView line, TextView root) { return PathdefEntry(line, root, false); };
  EXPECT_EQ(entry(u"\tmatlabroot\\toolbox;',...", u"C:\\M"), Text(u"matlabroot\\toolbox"));
  EXPECT_EQ(entry(u"\tmatlabroot,'\\a;',matlabroot,'\\b;',...", u"C:\\M"),
            Text(u"C:\\M\\a;',C:\\M\\b"));
  EXPECT_EQ(entry(u"\tmatlabroot,'\\toolbox\\a;',...", u""), Text(u"\\toolbox\\a"));
}

TEST(PathdefEntry, LinesWithoutASeparatorAreNoEntries) {
  for (const char16_t* line : {u"", u"];", u"p = [...", u"%%% BEGIN ENTRIES %%%", u"     ...",
                               u"p = [userpath,p];", u"\tmatlabroot,'"}) {
    EXPECT_EQ(PathdefEntry(line, u"R", false), std::nullopt) << ::testing::PrintToString(Text(line));
  }
  // Lines the fixed cuts could not handle are entries now, never failures.
  EXPECT_EQ(PathdefEntry(u"\\", u"R", false), Text(u"\\"));
  EXPECT_EQ(PathdefEntry(u"   \\   ", u"R", false), Text(u"\\"));
  EXPECT_EQ(PathdefEntry(u"% see C:\\docs for details", u"R", false),
            Text(u"% see C:\\docs for details"));
}

TEST(PathdefEntry, SlashCountsOnlyWhereItSeparates) {
  const TextView line = u"     matlabroot,'/toolbox/matlab/general:', ...";
  EXPECT_EQ(PathdefEntry(line, u"/opt/m", true), Text(u"/opt/m/toolbox/matlab/general"));
  EXPECT_EQ(PathdefEntry(line, u"/opt/m", false), std::nullopt);
  EXPECT_EQ(PathdefEntry(u"     '/home/u/lib:', ...", u"/opt/m", true), Text(u"/home/u/lib"));
}

class ReadSearchPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
  }
  bool Read(Text pathdef) {
    pathdefFile = std::move(pathdef);
    dirs.assign(3, u"stale");
    return ReadSearchPath(pathdefFile, fs, dirs);
  }
  MemoryFileSystem fs;
  Text pathdefFile;
  Dirs dirs;
};

TEST_F(ReadSearchPathTest, EntriesAfterTheMarkerThenTheCurrentDirectory) {
  fs.AddFile("/ml/toolbox/local/pathdef.m",
             "function p = pathdef\n"
             "%PATHDEF Search path defaults.\n"
             "%   C:\\before\\the\\marker is no entry\n"
             "\n"
             "p = [...\n"
             "%%% BEGIN ENTRIES %%%\n"
             "     matlabroot,'\\toolbox\\matlab\\general;', ...\n"
             "\t'\\proj\\lib;',...\n"
             "     '\\proj\\app;', ...\n"
             "%%% END ENTRIES %%%\n"
             "     ...\n"
             "];\n"
             "\n"
             "p = [userpath,p];\n"
             "% see \\docs\\readme\n");
  ASSERT_TRUE(Read(u"  /ml/toolbox/local/pathdef.m  "));
  EXPECT_EQ(pathdefFile, u"/ml/toolbox/local/pathdef.m");
  EXPECT_EQ(dirs, (Dirs{u"", u"/ml\\toolbox\\matlab\\general", u"\\proj\\lib", u"\\proj\\app",
                        u"% see \\docs\\readme", u"/work"}));
}

TEST_F(ReadSearchPathTest, WithoutAMarkerAtTheStartOfALineOnlyTheCurrentDirectory) {
  fs.AddFile("/ml/toolbox/local/pathdef.m", "function p = pathdef\n p = [...\n'\\proj\\a;',...\n];\n");
  ASSERT_TRUE(Read(u"/ml/toolbox/local/pathdef.m"));
  EXPECT_EQ(dirs, (Dirs{u"", u"/work"}));
  fs.AddFile("/ml/toolbox/local/pathdef.m", "");
  ASSERT_TRUE(Read(u"/ml/toolbox/local/pathdef.m"));
  EXPECT_EQ(dirs, (Dirs{u"", u"/work"}));
}

TEST_F(ReadSearchPathTest, ByteOrderMarkAndLineEndsDoNotHideTheMarker) {
  fs.AddFile("/ml/toolbox/local/pathdef.m",
             "\xEF\xBB\xBFp = [...\r\n\t'\\proj\\a;',...\r\n\t'\\proj\\b;',...\r];\r\n");
  ASSERT_TRUE(Read(u"/ml/toolbox/local/pathdef.m"));
  EXPECT_EQ(dirs, (Dirs{u"", u"\\proj\\a", u"\\proj\\b", u"/work"}));
}

TEST_F(ReadSearchPathTest, FailsOnlyForAnUnreadableFileOrNoUsableToolbox) {
  fs.AddFile("/ml/toolbox/local/pathdef.m", "p = [...\n\\\n   \\  \n");
  fs.AddFile("/ml/local/pathdef.m", "p = [...\n");
  fs.AddFile("/work/toolbox/pathdef.m", "p = [...\n");
  fs.AddFile("/locked/toolbox/pathdef.m", "p = [...\n");
  fs.MakeUnreadable("/locked/toolbox/pathdef.m");

  EXPECT_TRUE(Read(u"/ml/toolbox/local/pathdef.m"));  // odd entry lines are no failure
  EXPECT_EQ(dirs, (Dirs{u"", u"\\", u"\\", u"/work"}));
  EXPECT_FALSE(Read(u"/ml/toolbox/nothing/pathdef.m"));
  EXPECT_FALSE(Read(u"/ml/local/pathdef.m"));
  EXPECT_FALSE(Read(u"toolbox/pathdef.m"));
  EXPECT_FALSE(Read(u"/locked/toolbox/pathdef.m"));
  EXPECT_FALSE(Read(u""));
  // Only blanks are trimmed: a tab stays and names no file.
  EXPECT_FALSE(Read(u"\t/ml/toolbox/local/pathdef.m"));
  EXPECT_EQ(pathdefFile, u"\t/ml/toolbox/local/pathdef.m");
  // The trimmed value stays even when the reader fails.
  EXPECT_FALSE(Read(u"  /ml/local/pathdef.m "));
  EXPECT_EQ(pathdefFile, u"/ml/local/pathdef.m");
}

#ifndef _WIN32
TEST_F(ReadSearchPathTest, SlashEntriesOnPosixAndTheCurrentDirectoryAlwaysLast) {
  fs.AddFile("/ml/toolbox/local/pathdef.m",
             "p = [...\n"
             "     matlabroot,'/toolbox/local:', ...\n"
             "     '/work:', ...\n"
             "];\n");
  ASSERT_TRUE(Read(u"/ml/toolbox/local/pathdef.m"));
  EXPECT_EQ(dirs, (Dirs{u"", u"/ml/toolbox/local", u"/work", u"/work"}));
}
#endif

}  // namespace
}  // namespace korvath
