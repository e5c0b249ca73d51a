// Reading the search directories out of pathdef.m.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/search_path.h"
#include "platform/host.h"
#include "tests/support/memory_file_system.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::MemoryFileSystem;
using Dirs = std::vector<Text>;
using Maybe = std::optional<Text>;

TEST(SearchPathRoot, IsWhatComesBeforeTheLastToolboxLessOneCharacter) {
  const std::pair<TextView, Maybe> cases[] = {
      {u"C:\\MATLAB\\toolbox\\local\\pathdef.m", u"C:\\MATLAB"},
      {u"C:\\toolbox\\x\\toolbox\\local\\pathdef.m", u"C:\\toolbox\\x"},
      {u"/m/toolbox", u"/m"},
      {u"xtoolbox\\pathdef.m", u""},
      // No usable "toolbox": missing, another case, or nothing before it.
      {u"C:\\MATLAB\\local\\pathdef.m", std::nullopt},
      {u"C:\\MATLAB\\Toolbox\\local\\pathdef.m", std::nullopt},
      {u"toolbox\\local\\pathdef.m", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& [path, root] : cases) {
    EXPECT_EQ(SearchPathRoot(path), root) << ::testing::PrintToString(Text(path));
  }
}

struct EntryCase {
  TextView line;
  Maybe entry;
  TextView root = u"C:\\M";
  bool slashIsSeparator = false;
};

TEST(PathdefEntry, CutsTheDirectoryOutOfEveryLineShape) {
  const Text longest(4092, u'r');  // with the root put in, 4,096 characters: the most allowed
  const Text tooLong(4093, u'r');
  const EntryCase cases[] = {
      // Tab-indented lines ending ;',... and blank-indented ones ending ;', ...
      {u"\tmatlabroot,'\\toolbox\\matlab\\general;',...", u"C:\\M\\toolbox\\matlab\\general"},
      {u"\t'D:\\work\\tools;',...", u"D:\\work\\tools"},
      {u"     matlabroot,'\\toolbox\\general;', ...", u"C:\\M\\toolbox\\general"},
      {u"     'D:\\work\\tools;', ...", u"D:\\work\\tools"},
      {u"  \t 'D:\\x;',... \t ", u"D:\\x"},
      // The last entry of the list, without the comma.
      {u"     'D:\\x;' ...", u"D:\\x"},
      {u"'D:\\x:'", u"D:\\x"},
      // Each tail character goes at most once.
      {u"'D:\\x;;', ...", u"D:\\x;"},
      {u"'D:\\x'', ...", u"D:\\x'"},
      {u"'D:\\x;',, ...", u"D:\\x;',"},
      {u"D:\\x......", u"D:\\x..."},
      {u"''D:\\x;'", u"'D:\\x"},
      // matlabroot is replaced only with its comma and quote, every time.
      {u"\tmatlabroot\\toolbox;',...", u"matlabroot\\toolbox"},
      {u"\tmatlabroot,'\\a;',matlabroot,'\\b;',...", u"C:\\M\\a;',C:\\M\\b"},
      {u"\tmatlabroot,'\\toolbox\\a;',...", u"\\toolbox\\a", u""},
      {u"matlabroot,'\\a;'", longest + u"\\a", longest},
      {u"matlabroot,'\\a;'", {}, tooLong},
      // Lines without a separator are no entries; others always are.
      {u"", std::nullopt},
      {u"];", std::nullopt},
      {u"%%% BEGIN ENTRIES %%%", std::nullopt},
      {u"     ...", std::nullopt},
      {u"p = [userpath,p];", std::nullopt},
      {u"\tmatlabroot,'", std::nullopt},
      {u"\\", u"\\"},
      {u"   \\   ", u"\\"},
      {u"% see C:\\docs for details", u"% see C:\\docs for details"},
      // "/" separates only where the host says so.
      {u"     matlabroot,'/toolbox/general:', ...", u"/opt/m/toolbox/general", u"/opt/m", true},
      {u"     matlabroot,'/toolbox/general:', ...", std::nullopt, u"/opt/m", false},
      {u"     '/home/u/lib:', ...", u"/home/u/lib", u"/opt/m", true},
  };
  for (const EntryCase& c : cases) {
    EXPECT_EQ(PathdefEntry(c.line, c.root, c.slashIsSeparator), c.entry)
        << ::testing::PrintToString(Text(c.line));
  }
}

class ReadSearchPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDirectory("/work");
    fs.SetCwd("/work");
  }
  Result Read(TextView pathdef) {
    dirs.assign(3, u"stale");
    return ReadSearchPath(pathdef, fs, dirs);
  }
  MemoryFileSystem fs;
  Dirs dirs;
};

// Entries in the host's form ("\\" a separator only in them); the
// expectations below are written as pathdef.m writes them.
TEST_F(ReadSearchPathTest, EntriesAfterTheMarkerThenTheCurrentDirectory) {
  const std::pair<std::string, Dirs> cases[] = {
      {"function p = pathdef\n%   C:\\before\\the\\marker is no entry\n\np = [...\n"
       "%%% BEGIN ENTRIES %%%\n     matlabroot,'\\toolbox\\matlab\\general;', ...\n"
       "\t'\\proj\\lib;',...\n%%% END ENTRIES %%%\n     ...\n];\n\np = [userpath,p];\n"
       "% see \\docs\\readme\n",
       // A relative entry is the current directory's.
       {u"", u"/ml\\toolbox\\matlab\\general", u"\\proj\\lib", u"/work/% see \\docs\\readme",
        u"/work"}},
      // The marker must start its line.
      {"function p = pathdef\n p = [...\n'\\proj\\a;',...\n];\n", {u"", u"/work"}},
      {"", {u"", u"/work"}},
      {"\xEF\xBB\xBFp = [...\r\n\t'\\proj\\a;',...\r\n\t'\\proj\\b;',...\r];\r\n",
       {u"", u"\\proj\\a", u"\\proj\\b", u"/work"}},
      // Odd entry lines are no failure.
      {"p = [...\n\\\n   \\  \n", {u"", u"\\", u"\\", u"/work"}},
      // "/" separates only where the host says so.
      {"p = [...\n     matlabroot,'/toolbox/local:', ...\n     '/work:', ...\n];\n",
       platform::SlashIsSeparator() ? Dirs{u"", u"/ml/toolbox/local", u"/work", u"/work"}
                                    : Dirs{u"", u"/work"}},
  };
  for (const auto& [bytes, written] : cases) {
    Dirs expected;
    for (const Text& dir : written) expected.push_back(platform::ToHostSeparators(dir));
    fs.AddFile("/ml/toolbox/local/pathdef.m", bytes);
    ASSERT_TRUE(Read(u"  /ml/toolbox/local/pathdef.m  ").ok());
    EXPECT_EQ(dirs, expected) << bytes;
  }
}

TEST_F(ReadSearchPathTest, FailsOnlyForAnUnreadableFileOrNoUsableToolbox) {
  fs.AddFile("/ml/local/pathdef.m", "p = [...\n");
  fs.AddFile("/work/toolbox/pathdef.m", "p = [...\n");
  fs.AddFile("/locked/toolbox/pathdef.m", "p = [...\n");
  fs.MakeUnreadable("/locked/toolbox/pathdef.m");
  const std::pair<TextView, Status> cases[] = {
      {u"/ml/toolbox/nothing/pathdef.m", Status::NotFound},
      {u"/ml/local/pathdef.m", Status::Invalid},
      {u"toolbox/pathdef.m", Status::Invalid},
      {u"/locked/toolbox/pathdef.m", Status::Unreadable},
      {u"", Status::NotFound},
      // Only blanks are trimmed: a tab stays and names no file.
      {u"\t/work/toolbox/pathdef.m", Status::NotFound},
  };
  for (const auto& [pathdef, status] : cases) {
    EXPECT_EQ(Read(pathdef).status, status) << ::testing::PrintToString(Text(pathdef));
  }
}

}  // namespace
}  // namespace korvath
