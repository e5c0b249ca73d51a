// The workspace in the MATLAB resolution mode: runs whose nodes are
// functions in MATLAB's notation, the index's callers and uncalled lists,
// and names that several functions have.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf8.h"
#include "session/discard_list.h"
#include "session/workspace.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_doubles.h"

namespace korvath::session {
namespace {

using platform::FromUtf8;
using platform::Status;
using platform::ToUtf8;

// main (current folder) makes a Shape and calls its local helper, which
// calls util on the path; util calls a private function. Shape's area calls
// its own method scale (likely) and Square, another class, has an area too.
class MatlabModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddFile("/m/toolbox/local/pathdef.m", "p = [...\n     matlabroot,'/lib:', ...\n];\n");
    fs.AddFile("/work/korvath.ini", "Matlab Pathdef = /m/toolbox/local/pathdef.m\n");
    fs.AddFile("/work/main.m",
               "function main\nx = Shape(2);\nr = helper(x);\nh = @util;\nend\n"
               "function y = helper(x)\ny = util(x);\nend\n");
    fs.AddFile("/m/lib/util.m", "function u = util(x)\nu = pt(x);\n");
    fs.AddFile("/m/lib/private/pt.m", "function v = pt(x)\nv = x;\n");
    fs.AddFile("/m/lib/Shape.m",
               "classdef Shape\n properties\n  Size\n end\n methods\n"
               "  function obj = Shape(s)\n   obj.Size = util(s);\n  end\n"
               "  function a = area(obj)\n   a = scale(obj) * 2;\n  end\n"
               "  function k = scale(obj)\n   k = 1;\n  end\n"
               "  function disp(obj)\n  end\n end\nend\n");
    fs.AddFile("/m/lib/@Square/Square.m",
               "function obj = Square\nobj = class(struct(), 'Square');\n");
    fs.AddFile("/m/lib/@Square/area.m", "function a = area(obj)\na = 4;\n");
    fs.SetCwd("/work");
    ASSERT_TRUE(ws.LoadSettings(u"/work").ok());
    ws.setMode(ResolutionMode::Matlab);
  }
  std::vector<std::string> Texts(const engine::NodeTree& tree) const {
    std::vector<std::string> texts;
    for (int n = 1; n <= tree.Count(); ++n) {
      Text label;
      tree.AppendLabel(n, label);
      texts.push_back(ToUtf8(label));
    }
    return texts;
  }

  testing::MemoryFileSystem fs;
  Workspace ws{fs};
  engine::NullProgress progress;
  testing::RecordingMessages sink;
};

TEST_F(MatlabModeTest, ARunShowsFunctionsInMatlabNotationWithTheirKinds) {
  ASSERT_TRUE(ws.Run(u"main", progress, sink).ok());
  EXPECT_EQ(Texts(ws.lastTree()),
            (std::vector<std::string>{"main", "Shape (2)", "util (7) - Also called by main",
                                      "main>helper (3)", "util (7) - Also called by main",
                                      "util (4)", "private/pt (2)"}))
      << "breadth first: util (a handle in main) is expanded at its shallowest place";
  const auto& records = ws.lastRun().records;
  std::vector<std::string> kinds;
  for (std::size_t r = 1; r < records.size(); ++r) kinds.push_back(ToUtf8(records[r].kind));
  EXPECT_EQ(kinds, (std::vector<std::string>{"path", "constructor", "local", "path", "path", "path",
                                             "private"}));
  EXPECT_EQ(ToUtf8(ws.lastRun().filePaths.at(u"main>helper")), "/work/main.m");
  EXPECT_EQ(ToUtf8(ws.lastRun().filePaths.at(u"private/pt")), "/m/lib/private/pt.m");
}

TEST_F(MatlabModeTest, DiscardEntriesMatchTheNotationOrThePlainName) {
  ws.settings().discards = ParseDiscardList({u"private/pt", u"Shape"});
  ASSERT_TRUE(ws.Run(u"main", progress, sink).ok());
  for (const std::string& text : Texts(ws.lastTree())) {
    EXPECT_EQ(text.find("private/pt"), std::string::npos) << text;
    EXPECT_EQ(text.find("Shape"), std::string::npos) << text;
  }
  EXPECT_EQ(Texts(ws.lastTree()).size(), 4U);  // main, helper, util twice
}

// obj.method(...) on a variable: off by default; with possible calls on, a
// method only one class has is followed, one two classes have is not.
TEST_F(MatlabModeTest, PossibleCallsFollowAMethodOnlyOneClassDefines) {
  fs.AddFile("/work/user.m", "function user\nobj = Shape(2);\nobj.scale();\nobj.area();\n");
  for (const bool possible : {false, true}) {
    ws.setPossibleCalls(possible);
    ASSERT_TRUE(ws.Run(u"user", progress, sink).ok());
    std::vector<std::string> calls;
    for (const auto& r : ws.lastRun().records) {
      if (ToUtf8(r.caller) == "user") calls.push_back(ToUtf8(r.name + u" " + r.certainty));
    }
    const std::vector<std::string> expected =
        possible ? std::vector<std::string>{"Shape ", "Shape.scale possible"}
                 : std::vector<std::string>{"Shape "};
    EXPECT_EQ(calls, expected);
  }
}

// Cut by every smaller budget, the tree says of each node how many of its
// direct calls are missing: what the whole tree has under it and the cut
// one does not (nodes come in the same order, the walk stopping earlier).
TEST_F(MatlabModeTest, EveryBudgetMarksTheCallsItLeftOut) {
  ASSERT_TRUE(ws.Run(u"main", progress, sink).ok());
  const auto children = [](const engine::NodeTree& tree) {
    std::vector<int> count(static_cast<std::size_t>(tree.Count()) + 1, 0);
    for (int n = 2; n <= tree.Count(); ++n) ++count[static_cast<std::size_t>(tree.Parent(n))];
    return count;
  };
  const std::vector<int> whole = children(ws.lastTree());
  const int nodes = ws.lastTree().Count();
  ASSERT_EQ(nodes, 7);
  for (int n = 1; n <= nodes; ++n) EXPECT_EQ(ws.lastTree().Cut(n), 0);
  for (int budget = 1; budget < nodes; ++budget) {
    SCOPED_TRACE(budget);
    ASSERT_TRUE(ws.Run(u"main", progress, sink, engine::TreeLimits{256, budget}).ok());
    const engine::NodeTree& tree = ws.lastTree();
    ASSERT_EQ(tree.Count(), budget);
    EXPECT_EQ(tree.NodeLimit(), budget);
    const std::vector<int> shown = children(tree);
    int missing = 0;
    for (int n = 1; n <= budget; ++n) {
      const auto k = static_cast<std::size_t>(n);
      EXPECT_EQ(tree.Cut(n), whole[k] - shown[k]) << n;
      missing += tree.Cut(n);
    }
    EXPECT_GT(missing, 0);
  }
}

TEST_F(MatlabModeTest, ThePathModeOnTheSameProjectStaysAsItWas) {
  ws.setMode(ResolutionMode::Path);
  ASSERT_TRUE(ws.Run(u"main", progress, sink).ok());
  for (const std::string& text : Texts(ws.lastTree())) {
    EXPECT_EQ(text.find('>'), std::string::npos) << text;
  }
}

TEST_F(MatlabModeTest, CallersTakeMatlabNamesAndABareNameOfSeveralFunctionsIsAsked) {
  ASSERT_TRUE(ws.RefreshIndex().ok());
  engine::CallersTree tree;
  ASSERT_TRUE(ws.CallersOfName(u"private/pt", tree, sink).ok());
  EXPECT_EQ(Texts(tree)[0], "private/pt");
  EXPECT_EQ(Texts(tree)[1], "util (2)");
  ASSERT_TRUE(ws.CallersOfName(u"Shape.scale", tree, sink).ok());
  EXPECT_EQ(Texts(tree), (std::vector<std::string>{"Shape.scale", "Shape.area (10)"}));
  const platform::Result several = ws.CallersOfName(u"area", tree, sink);
  EXPECT_EQ(several.status, Status::UsageError);
  EXPECT_NE(several.description.find("Shape.area"), std::string::npos);
  EXPECT_NE(several.description.find("Square.area"), std::string::npos);
  EXPECT_EQ(ws.CallersOfName(u"nothing", tree, sink).status, Status::NoStartFile);
}

TEST_F(MatlabModeTest, ATreeNodeFindsItsOwnFunctionAmongItsFilesFunctions) {
  ASSERT_TRUE(ws.RefreshIndex().ok());
  const auto& programs = ws.index().Programs();
  const auto nameOf = [&](int p) {
    return p < 0 ? std::string("none") : ToUtf8(programs[static_cast<std::size_t>(p)].name);
  };
  EXPECT_EQ(nameOf(ws.ProgramIn(u"/work/main.m", u"main>helper")), "main>helper");
  EXPECT_EQ(nameOf(ws.ProgramIn(u"/work/main.m", u"main")), "main");
  EXPECT_EQ(nameOf(ws.ProgramIn(u"/m/lib/Shape.m", u"Shape.area")), "Shape.area");
  EXPECT_EQ(nameOf(ws.ProgramIn(u"/nowhere.m", u"x")), "none");
}

TEST_F(MatlabModeTest, UncalledLeavesOutWhatMatlabCallsItself) {
  ASSERT_TRUE(ws.RefreshIndex().ok());
  std::vector<std::string> names;
  for (const auto& f : ws.UncalledFunctions(false)) names.push_back(ToUtf8(f.name));
  // disp is called by MATLAB when an object is shown; Square's constructor
  // is reached by no name at all and stays.
  EXPECT_EQ(names, (std::vector<std::string>{"main", "Shape.area", "Square", "Square.area"}));
}

// A class whose method is called is made by MATLAB when that method is
// reached, though no name calls its constructor: it is not uncalled.
TEST_F(MatlabModeTest, AClassWhoseMethodIsCalledHasItsConstructorCalled) {
  fs.AddFile("/m/lib/Tri.m",
             "classdef Tri\n methods\n  function a = area(obj)\n   a = half(obj);\n  end\n"
             "  function h = half(obj)\n   h = 1;\n  end\n end\nend\n");
  ASSERT_TRUE(ws.RefreshIndex().ok());
  std::vector<std::string> names;
  for (const auto& f : ws.UncalledFunctions(false)) names.push_back(ToUtf8(f.name));
  EXPECT_EQ(names,
            (std::vector<std::string>{"main", "Shape.area", "Square", "Square.area", "Tri.area"}));
}

TEST_F(MatlabModeTest, TheModeIsASettingThatReloadingKeeps) {
  ASSERT_TRUE(ws.LoadSettings(u"/work").ok());
  EXPECT_EQ(ws.mode(), ResolutionMode::Matlab);
  EXPECT_EQ(ResolutionModeNamed("matlab"), ResolutionMode::Matlab);
  EXPECT_EQ(ResolutionModeNamed("path"), ResolutionMode::Path);
  EXPECT_FALSE(ResolutionModeNamed("Matlab").has_value());
}

// Everything a question to the index can see: each function with its
// lines, calls and callers (sites and rules too), then the uncalled ones.
std::vector<std::string> DescribeIndex(const Workspace& ws) {
  std::vector<std::string> out;
  const auto& index = ws.index();
  const auto& programs = index.Programs();
  // Program `g`'s calls to `h`, named by `named`.
  const auto calls = [&](int g, int h, int named) {
    const auto& c = *index.CallsOf(g, h);
    const auto& sites = index.SitesOf(g, c);
    std::string text = " " + ToUtf8(programs[static_cast<std::size_t>(named)].name) + "[" +
                       ToUtf8(sites.rule) + "]";
    for (const auto& site : sites.sites) {
      text += std::to_string(site.line) + ":" + std::to_string(site.column) + "+" +
              std::to_string(site.length) + ",";
    }
    return text;
  };
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const int self = static_cast<int>(p);
    const auto& function = index.FunctionOf(self);
    std::string line = ToUtf8(programs[p].name + u" " + function.kind + u" ") +
                       std::to_string(function.firstLine) + "-" +
                       std::to_string(function.lastLine) + " ->";
    for (const auto& c : programs[p].callees) line += calls(self, c.program, c.program);
    line += " <-";
    for (const int c : programs[p].callers) line += calls(c, self, c);
    out.push_back(line);
  }
  for (const auto& f : ws.UncalledFunctions(false)) out.push_back("uncalled " + ToUtf8(f.name));
  return out;
}

// Told which file changed, the index reads that file alone when its change
// stays within its own calls, and otherwise is made again; either way it
// ends where an index made afresh does.
TEST_F(MatlabModeTest, AChangedFileIsReadAloneWhereItsChangeStaysInItsOwnCalls) {
  struct Case {
    const char* what;
    std::string path;
    std::string text;
    bool alone;
    bool possible = false;  // obj.method(...) followed to the only class with it
  };
  const std::vector<Case> cases = {
      {"calls moved down", "/work/main.m",
       "function main\n\nx = Shape(2);\nr = helper(x);\nend\n"
       "function y = helper(x)\ny = util(x) + util(1);\nend\n",
       true},
      {"a constructor and an unknown name", "/m/lib/util.m",
       "function u = util(x)\nu = Shape(x) + nothing(x);\n", true},
      {"a private function's calls gone", "/m/lib/private/pt.m", "function v = pt(x)\nv = 1;\n",
       true},
      {"a local function more", "/work/main.m",
       "function main\nr = helper(1);\nend\nfunction y = helper(x)\ny = x;\nend\n"
       "function z = other\nz = 1;\nend\n",
       false},
      {"a method called", "/m/lib/util.m", "function u = util(x)\nu = x.scale();\n", false, true},
      {"a method not called", "/m/lib/util.m", "function u = util(x)\nu = x.scale();\n", true},
      {"a class", "/m/lib/Shape.m",
       "classdef Shape\n methods\n  function obj = Shape(s)\n  end\n end\nend\n", false},
      {"a class folder's method", "/m/lib/@Square/area.m", "function a = area(obj)\na = util(4);\n",
       false},
      {"a function become a class", "/m/lib/util.m",
       "classdef util\n methods\n  function obj = util(x)\n  end\n end\nend\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    ws.setPossibleCalls(c.possible);
    ASSERT_TRUE(ws.RefreshIndex().ok());
    const int fullyRead = ws.indexStats().scanned;
    fs.AddFile(c.path, c.text);
    const std::vector<Text> changed = {FromUtf8(c.path)};
    ASSERT_TRUE(ws.RefreshIndex(nullptr, &changed).ok());
    EXPECT_EQ(ws.indexStats().scanned == 1, c.alone) << fullyRead;
    Workspace fresh{fs};
    ASSERT_TRUE(fresh.LoadSettings(u"/work").ok());
    fresh.setMode(ResolutionMode::Matlab);
    fresh.setPossibleCalls(c.possible);
    ASSERT_TRUE(fresh.RefreshIndex().ok());
    EXPECT_EQ(DescribeIndex(ws), DescribeIndex(fresh));
  }
}

// A stopped refresh leaves nothing to read a file into: the next one, told
// of a changed file, makes the whole index again.
TEST_F(MatlabModeTest, AfterAStoppedRefreshAToldOneMakesTheWholeIndex) {
  ASSERT_TRUE(ws.RefreshIndex().ok());
  const std::vector<std::string> whole = DescribeIndex(ws);
  engine::ProgramIndex::Control stop;
  stop.cancel = true;
  EXPECT_EQ(ws.RefreshIndex(&stop).status, Status::Cancelled);
  const std::vector<Text> changed = {u"/m/lib/util.m"};
  ASSERT_TRUE(ws.RefreshIndex(nullptr, &changed).ok());
  EXPECT_GT(ws.indexStats().scanned, 1);
  EXPECT_EQ(DescribeIndex(ws), whole);
}

}  // namespace
}  // namespace korvath::session
