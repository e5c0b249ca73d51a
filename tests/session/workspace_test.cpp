// The workspace every front end works through: runs and what they leave,
// the index and its questions, exports that say why they failed, several
// workspaces in one process, the format table and the graph size rule.

#include "session/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "engine/messages.h"
#include "engine/tree_places.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"
#include "session/graph_plan.h"
#include "session/messages.h"
#include "session/output_format.h"
#include "tests/support/small_project.h"

namespace korvath::session {
namespace {

using platform::FromUtf8;
using platform::Status;
using platform::ToUtf8;

class Quiet final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override {
    shown.push_back(ToUtf8(text));
  }
  std::vector<std::string> shown;
};

class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::AddSmallProject(fs);
    ASSERT_TRUE(ws.LoadSettings(u"/fallback").ok());
  }
  platform::Result Run(const char* start) { return ws.Run(FromUtf8(start), progress, sink); }
  std::vector<std::string> Names(const engine::NodeTree& tree) const {
    std::vector<std::string> names;
    for (int n = 1; n <= tree.Count(); ++n) names.push_back(ToUtf8(tree.Name(n)));
    return names;
  }

  testing::MemoryFileSystem fs;
  Workspace ws{fs};
  engine::NullProgress progress;
  Quiet sink;
};

TEST_F(WorkspaceTest, ARunReplacesTheLastOneUnlessThereIsNoSearchPath) {
  std::vector<bool> replacing;
  ws.replacing = [&](bool before) { replacing.push_back(before); };
  ASSERT_TRUE(Run("main").ok());
  EXPECT_EQ(replacing, (std::vector<bool>{true, false}));
  const int nodes = ws.lastTree().Count();
  EXPECT_GT(nodes, 5);
  EXPECT_EQ(ToUtf8(ws.lastRun().filePaths.at(u"deep")), "/m/lib/deep.m");

  ws.settings().pathdefFile = u"/m/toolbox/local/missing.m";
  EXPECT_EQ(Run("b").status, Status::NoSearchPath);
  EXPECT_EQ(ws.lastTree().Count(), nodes);  // the tree shown stays
  EXPECT_EQ(replacing.size(), 2u);
  EXPECT_EQ(sink.shown.back(), ToUtf8(engine::messages::kPathdefNotFound));

  ws.settings().pathdefFile = u"/m/toolbox/local/pathdef.m";
  EXPECT_EQ(Run("nothing").status, Status::NoStartFile);
  EXPECT_EQ(ws.lastTree().Count(), 0);  // a run that found no start empties it
  EXPECT_EQ(ws.lastRun().messages.All().size(), 1u);
  EXPECT_EQ(ToUtf8(ws.lastRun().messages.All()[0]), "nothing.m was not found on the search path");
}

TEST_F(WorkspaceTest, UnreadableFilesAreKeptWithTheirReasons) {
  fs.MakeUnreadable("/m/lib/c.m");
  ASSERT_TRUE(Run("main").ok());
  ASSERT_EQ(ws.lastRun().unreadable.size(), 1u);
  EXPECT_EQ(ToUtf8(ws.lastRun().unreadable[0]), "/m/lib/c.m: cannot open");
  EXPECT_EQ(ToUtf8(messages::UnreadableFiles(ws.lastRun().unreadable)),
            "These files could not be read; their calls are missing:\n/m/lib/c.m: cannot open");
}

// A search folder that cannot be listed is passed over: main's callees
// still come from the folder after it. The run keeps each such folder
// once, and so does the index.
TEST_F(WorkspaceTest, FoldersThatCannotBeListedArePassedOverAndKept) {
  fs.AddFile("/m/toolbox/local/pathdef.m",
             "p = [...\n     matlabroot,'/locked:', ...\n     matlabroot,'/lib:', ...\n"
             "     matlabroot,'/locked:', ...\n];\n");
  fs.AddFile("/m/locked/a.m", "");
  fs.MakeUnreadable("/m/locked");
  fs.MakeUnreadable("/m/lib/c.m");
  ASSERT_TRUE(Run("main").ok());
  EXPECT_EQ(ToUtf8(ws.lastRun().filePaths.at(u"b")), "/m/lib/b.m");
  EXPECT_EQ(ws.lastRun().unlistable, std::vector<Text>{u"/m/locked: cannot list"});
  EXPECT_EQ(ToUtf8(messages::RunWarnings(ws.lastRun().unlistable, ws.lastRun().unreadable)),
            "These folders of the search path could not be listed; their functions are missing:\n"
            "/m/locked: cannot list\n\n"
            "These files could not be read; their calls are missing:\n/m/lib/c.m: cannot open");
  EXPECT_EQ(messages::RunWarnings({}, {}), u"");

  ASSERT_TRUE(ws.RefreshIndex().ok());
  EXPECT_GE(ws.FindProgram(u"a"), 0);
  EXPECT_EQ(ws.index().Warnings(), (std::vector<Text>{u"cannot list /m/locked: cannot list",
                                                      u"cannot read /m/lib/c.m: cannot open"}));
  EXPECT_EQ(ToUtf8(messages::IndexWarnings(ws.index().Warnings())),
            "cannot list /m/locked: cannot list (and 1 more warning)");
  EXPECT_EQ(messages::IndexWarnings({}), u"");
}

TEST_F(WorkspaceTest, TheIndexCountsAsCurrentOnlyAfterARefreshThatFoundTheSearchPath) {
  EXPECT_FALSE(ws.indexed());
  ASSERT_TRUE(ws.RefreshIndex().ok());
  EXPECT_TRUE(ws.indexed());
  const int c = ws.FindProgram(u"C.m");  // found as a start is: case ignored
  ASSERT_GE(c, 0);
  EXPECT_EQ(ws.ProgramAt(u"/m/lib/c.m"), c);
  EXPECT_EQ(ws.ProgramAt(u""), -1);

  ws.settings().pathdefFile = u"/nowhere/toolbox/pathdef.m";
  const platform::Result failed = ws.RefreshIndex();
  EXPECT_EQ(failed.status, Status::NoSearchPath);
  EXPECT_EQ(failed.description, ToUtf8(engine::messages::kPathdefNotFound));
  EXPECT_FALSE(ws.indexed());
  EXPECT_EQ(ws.ProgramAt(u"/m/lib/c.m"), -1);  // the old index no longer answers
}

TEST_F(WorkspaceTest, CallersOfANameAndTheUncalledFunctions) {
  ASSERT_TRUE(ws.RefreshIndex().ok());
  engine::CallersTree tree;
  ASSERT_TRUE(ws.CallersOfName(u"c", tree, sink).ok());
  // a's callers in name order: c (above already, a leaf) before main.
  EXPECT_EQ(Names(tree), (std::vector<std::string>{"c", "a", "c", "main", "b", "main"}));
  EXPECT_EQ(ws.CallersOfName(u"/some/where/zzz.m", tree, sink).status, Status::NoStartFile);
  EXPECT_EQ(sink.shown.back(), "zzz.m was not found on the search path");

  std::vector<std::string> uncalled;
  for (const auto& f : ws.UncalledFunctions(false)) {
    uncalled.push_back(ToUtf8(f.name) + " " + ToUtf8(f.file));
  }
  EXPECT_EQ(uncalled, (std::vector<std::string>{"main /work/main.m"}));
  // Everything but main lies under matlabroot (/m).
  fs.AddFile("/work/other.m", "");
  ASSERT_TRUE(ws.RefreshIndex().ok());
  EXPECT_EQ(ws.UncalledFunctions(true).size(), 2u);
}

TEST_F(WorkspaceTest, FilesFoundByTheLastRunInByteOrderWithoutMatlabrootWhenAsked) {
  ASSERT_TRUE(Run("b").ok());
  std::vector<std::string> found;
  for (const Text& f : ws.FoundFiles(false)) found.push_back(ToUtf8(f));
  EXPECT_EQ(found, (std::vector<std::string>{"/m/lib/a.m", "/m/lib/b.m", "/m/lib/c.m", "/m/lib/d.m",
                                             "/m/lib/deep.m"}));
  EXPECT_TRUE(ws.FoundFiles(true).empty());
}

// Where a node's call stands and where a repeated function's calls are
// shown: the same answers for either tree.
TEST_F(WorkspaceTest, CallSitesAndExpandedNodesOfBothTrees) {
  ASSERT_TRUE(Run("main").ok());
  const engine::NodeTree& calls = ws.lastTree();
  const auto root = engine::CallSiteOf(calls, engine::TreeKind::Calls, 1);
  ASSERT_TRUE(root);
  EXPECT_EQ(ToUtf8(root->file), "/work/main.m");
  EXPECT_EQ(root->line, 1);
  EXPECT_FALSE(engine::CallSiteOf(calls, engine::TreeKind::Calls, calls.Count() + 1));
  int repeated = 0;
  for (int n = 2; n <= calls.Count(); ++n) {
    // A call stands in its caller's file, at the first line of the call.
    const auto site = engine::CallSiteOf(calls, engine::TreeKind::Calls, n);
    ASSERT_TRUE(site);
    EXPECT_EQ(site->file, calls.File(calls.Parent(n)));
    std::vector<std::int32_t> lines;
    calls.AppendLines(n, lines);
    EXPECT_EQ(site->line, lines.at(0));
    const int expanded = engine::ExpandedNodeOf(calls, n);
    if (!calls.Repeated(n)) {
      EXPECT_EQ(expanded, 0);
      continue;
    }
    ++repeated;
    ASSERT_GT(expanded, 0) << ToUtf8(calls.Name(n));
    EXPECT_FALSE(calls.Repeated(expanded));
    EXPECT_EQ(calls.File(expanded), calls.File(n));
    for (int m = 1; m < expanded; ++m) {
      EXPECT_FALSE(!calls.Repeated(m) && calls.File(m) == calls.File(n)) << "an earlier node " << m;
    }
  }
  EXPECT_GT(repeated, 0);

  ASSERT_TRUE(ws.RefreshIndex().ok());
  engine::CallersTree callers;
  ASSERT_TRUE(ws.CallersOfName(u"c", callers, sink).ok());
  // In a callers tree the call stands in the node's own file.
  const auto site = engine::CallSiteOf(callers, engine::TreeKind::Callers, 2);
  ASSERT_TRUE(site);
  EXPECT_EQ(ToUtf8(site->file), "/m/lib/a.m");
  EXPECT_EQ(site->line, 1);
  EXPECT_TRUE(callers.Repeated(3));
  EXPECT_EQ(engine::ExpandedNodeOf(callers, 3), 1);  // c again: shown at the root
  EXPECT_EQ(engine::ExpandedNodeOf(callers, 2), 0);
}

TEST_F(WorkspaceTest, ACopyOfASubtreeIsIndentedFromItsOwnLevel) {
  ASSERT_TRUE(Run("main").ok());
  const engine::NodeTree& calls = ws.lastTree();
  int b = 0;
  for (int n = 1; n <= calls.Count(); ++n) {
    if (calls.Name(n) == u"b" && !calls.Repeated(n)) b = n;
  }
  ASSERT_GT(b, 0);
  EXPECT_EQ(ToUtf8(engine::IndentedSubtreeText(calls, b)),
            "b (2)\n  c (1)\n    deep (1)\n    a (2)\n      c (1) - Also called by b\n  d (2)\n");
  EXPECT_EQ(ToUtf8(engine::IndentedSubtreeText(calls, calls.Count())),
            ToUtf8(calls.Name(calls.Count())) + " (2)\n");
  EXPECT_EQ(engine::IndentedSubtreeText(calls, 0), Text());
  EXPECT_EQ(engine::IndentedSubtreeText(calls, calls.Count() + 1), Text());
}

TEST_F(WorkspaceTest, AFailedExportSaysWhy) {
  ASSERT_TRUE(Run("main").ok());
  const platform::Result written = ws.ExportToFile(u"/no/such/folder/tree.txt", OutputFormat::Text,
                                                   ws.lastTree(), engine::TreeKind::Calls, {});
  EXPECT_EQ(written.status, Status::Unwritable);
  EXPECT_EQ(written.description, std::generic_category().message(ENOENT));
  EXPECT_EQ(ToUtf8(messages::CannotWrite(u"/no/such/folder/tree.txt", written)),
            "Cannot write /no/such/folder/tree.txt: " +
                std::string(std::generic_category().message(ENOENT)));
}

TEST_F(WorkspaceTest, AnExportWritesTheFormatAskedFor) {
  ASSERT_TRUE(Run("b").ok());
  const auto path = std::filesystem::temp_directory_path() /
                    ("korvath-export-" + std::to_string(std::random_device{}()));
  auto exported = [&](OutputFormat format) {
    EXPECT_TRUE(ws.ExportToFile(FromUtf8(path.string()), format, ws.lastTree(),
                                engine::TreeKind::Calls, {u"a message"})
                    .ok());
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string text = exported(OutputFormat::Text);
  EXPECT_EQ(text.substr(0, std::string("b\n├── ").size()), "b\n├── ");
  const std::string json = exported(OutputFormat::Json);
  EXPECT_EQ(json.substr(0, 19), "{\"root\": {\"text\": \"");
  EXPECT_NE(json.find("\"messages\": [\"a message\"]"), std::string::npos) << json;
  EXPECT_EQ(exported(OutputFormat::Dot).substr(0, 8), "digraph ");
  EXPECT_EQ(exported(OutputFormat::Files),
            "/m/lib/a.m\n/m/lib/b.m\n/m/lib/c.m\n/m/lib/d.m\n/m/lib/deep.m\n");
  std::filesystem::remove(path);
}

// Two workspaces in two folders of the machine, side by side: each finds
// its own start, and the process's folder never moves.
TEST(Workspaces, SeveralInOneProcessEachInItsOwnFolder) {
  namespace fs = std::filesystem;
  const fs::path before = fs::current_path();
  const fs::path root =
      fs::temp_directory_path() / ("korvath-ws-" + std::to_string(std::random_device{}()));
  for (const char* name : {"one", "two"}) {
    fs::create_directories(root / name / "toolbox" / "local");
    std::ofstream(root / name / "toolbox" / "local" / "pathdef.m") << "p = [...\n];\n";
    std::ofstream(root / name / "korvath.ini") << "Matlab Pathdef = toolbox/local/pathdef.m\n";
    std::ofstream(root / name / "main.m") << std::string(name) + "_only\n";
    std::ofstream(root / name / (std::string(name) + "_only.m")) << "";
  }
  platform::HostFileSystem oneFs(FromUtf8((root / "one").string()));
  platform::HostFileSystem twoFs(FromUtf8((root / "two").string()));
  Workspace one(oneFs), two(twoFs);
  ASSERT_TRUE(one.LoadSettings(u"/nonexistent").ok());
  ASSERT_TRUE(two.LoadSettings(u"/nonexistent").ok());
  engine::NullProgress progress;
  Quiet sink;
  ASSERT_TRUE(one.Run(u"main", progress, sink).ok());
  ASSERT_TRUE(two.Run(u"main", progress, sink).ok());
  EXPECT_EQ(ToUtf8(one.lastTree().Name(2)), "one_only");
  EXPECT_EQ(ToUtf8(two.lastTree().Name(2)), "two_only");
  EXPECT_EQ(ToUtf8(two.lastTree().File(2)), (fs::canonical(root / "two") / "two_only.m").string());
  EXPECT_EQ(fs::current_path(), before);
  // A relative export lands in the workspace's folder.
  ASSERT_TRUE(
      one.ExportToFile(u"tree.txt", OutputFormat::Text, one.lastTree(), engine::TreeKind::Calls, {})
          .ok());
  EXPECT_TRUE(fs::exists(root / "one" / "tree.txt"));
  fs::remove_all(root);
}

TEST(OutputFormats, NamesSuffixesAndWhatNeedsGraphviz) {
  for (const OutputFormat f :
       {OutputFormat::Text, OutputFormat::Json, OutputFormat::Dot, OutputFormat::Files,
        OutputFormat::Graph, OutputFormat::Svg, OutputFormat::Png}) {
    EXPECT_EQ(OutputFormatNamed(InfoOf(f).name), f) << InfoOf(f).name;
  }
  EXPECT_EQ(OutputFormatNamed("TEXT"), std::nullopt);
  EXPECT_EQ(OutputFormatNamed(""), std::nullopt);

  const struct {
    const char* suffix;
    OutputFormat selected;
    bool picture;
    OutputFormat chosen;
  } cases[] = {
      {"json", OutputFormat::Text, false, OutputFormat::Json},
      {"JSON", OutputFormat::Text, false, OutputFormat::Json},
      {"gv", OutputFormat::Text, false, OutputFormat::Dot},
      {"dot", OutputFormat::Json, false, OutputFormat::Dot},
      {"txt", OutputFormat::Json, false, OutputFormat::Text},  // the name wins
      {"", OutputFormat::Json, false, OutputFormat::Json},     // else the filter
      {"xml", OutputFormat::Dot, false, OutputFormat::Dot},
      {"png", OutputFormat::Text, false, OutputFormat::Text},  // not a tree's
      {"PNG", OutputFormat::Svg, true, OutputFormat::Png},
      {"svg", OutputFormat::Png, true, OutputFormat::Svg},
      {"jpg", OutputFormat::Png, true, OutputFormat::Png},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatOfSaved(c.suffix, c.selected,
                            c.picture ? PictureExportFormats() : TreeExportFormats()),
              c.chosen)
        << c.suffix;
  }

  const GraphRenderer none;
  EXPECT_TRUE(FormatAvailable(OutputFormat::Dot, none).ok());
  EXPECT_EQ(FormatAvailable(OutputFormat::Graph, none).status, Status::UsageError);
  EXPECT_EQ(FormatAvailable(OutputFormat::Svg, none).status, Status::UsageError);
  const GraphRenderer some = [](const std::string&, const char*, std::string&) {
    return platform::Result{};
  };
  EXPECT_TRUE(FormatAvailable(OutputFormat::Svg, some).ok());
}

// A graph of `leaves` callees of the root, and a chain root -> x -> y -> z.
engine::CallGraph Star(int leaves) {
  engine::CallGraph g;
  auto add = [&](const std::string& name) {
    g.functions.push_back({FromUtf8(name), u"/p/" + FromUtf8(name) + u".m",
                           static_cast<int>(g.functions.size()) + 1, g.functions.empty()});
    return static_cast<int>(g.functions.size()) - 1;
  };
  auto call = [&](int from, int to) { g.calls.push_back({from, to, 1, false, true}); };
  const int root = add("root");
  int previous = root;
  for (const char* name : {"x", "y", "z"}) {
    const int f = add(name);
    call(previous, f);
    previous = f;
  }
  for (int i = 0; i < leaves; ++i) call(root, add("leaf" + std::to_string(i)));
  g.functionOfNode.assign(g.functions.size() + 1, -1);
  for (std::size_t f = 0; f < g.functions.size(); ++f)
    g.functionOfNode[f + 1] = static_cast<int>(f);
  return g;
}

TEST(GraphPlans, WholeWhileReadableThenTheNeighbourhoodThenNone) {
  const engine::CallGraph small = Star(396);  // 400 functions, 399 calls
  GraphPlan plan = PlanGraph(small, 3, engine::TreeKind::Calls);
  EXPECT_FALSE(plan.partial);
  EXPECT_EQ(plan.graph.functions.size(), 400u);
  EXPECT_TRUE(plan.ofWhole.empty());
  EXPECT_EQ(ToUtf8(plan.caption),
            "400 functions, 399 calls. The start is filled; dashed calls lie in a cycle.");

  const engine::CallGraph large = Star(398);              // two functions too many
  plan = PlanGraph(large, 3, engine::TreeKind::Callers);  // centred on z
  EXPECT_TRUE(plan.partial);
  EXPECT_TRUE(plan.drawable);
  ASSERT_EQ(plan.graph.functions.size(), 3u);  // x and y above z, two calls out
  EXPECT_EQ(ToUtf8(plan.caption),
            "Only the functions within two calls of z (3 functions, 2 calls): the whole graph, "
            "402 functions, 401 calls, is too large to read. The function whose callers these "
            "are is filled; dashed calls lie in a cycle.");
  EXPECT_EQ(plan.ofWhole.size(), 402u);
  EXPECT_EQ(plan.ofWhole[0], -1);  // the root is three calls away
  for (std::size_t f = 1; f <= 3; ++f) EXPECT_GE(plan.ofWhole[f], 0) << f;

  plan = PlanGraph(large, 0, engine::TreeKind::Calls);  // the root: 399 callees
  EXPECT_TRUE(plan.partial);
  EXPECT_TRUE(plan.drawable);
  EXPECT_EQ(plan.graph.functions.size(), 400u);  // one call out fits, two do not
  EXPECT_EQ(ToUtf8(plan.caption).substr(0, 44), "Only the functions within one call of root (");

  plan = PlanGraph(Star(500), 0, engine::TreeKind::Calls);
  EXPECT_FALSE(plan.drawable);
  EXPECT_TRUE(plan.graph.functions.empty());
  EXPECT_EQ(ToUtf8(plan.caption),
            "root calls or is called by too many functions to draw: 502 functions, 501 calls "
            "within one call. Select another function.");
}

// The functions the index adds to a cut tree's graph stand for no tree
// node: a neighbourhood holding them maps only the others back.
TEST(GraphPlans, ANeighbourhoodWithFunctionsOfNoTreeNode) {
  engine::CallGraph large = Star(398);
  const int x = 1;
  for (const char* name : {"fromIndex1", "fromIndex2"}) {
    large.functions.push_back({FromUtf8(name), u"/p/" + FromUtf8(name) + u".m", 0, false});
    large.calls.push_back({x, static_cast<int>(large.functions.size()) - 1, 1, false, true});
  }
  large.functions[static_cast<std::size_t>(x)].cut = true;
  const GraphPlan plan = PlanGraph(large, x, engine::TreeKind::Calls);
  ASSERT_TRUE(plan.partial);
  ASSERT_TRUE(plan.drawable);
  std::vector<std::string> names;
  for (const auto& f : plan.graph.functions) names.push_back(ToUtf8(f.name));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"fromIndex1", "fromIndex2", "root", "x", "y", "z"}));
  ASSERT_EQ(plan.ofWhole.size(), large.functions.size());
  for (std::size_t f = 0; f < 4; ++f) {  // root, x, y, z: all within two calls of x
    ASSERT_GE(plan.ofWhole[f], 0) << f;
    EXPECT_EQ(plan.graph.functions[static_cast<std::size_t>(plan.ofWhole[f])].name,
              large.functions[f].name);
  }
  EXPECT_EQ(plan.ofWhole[large.functions.size() - 1], -1);
}

}  // namespace
}  // namespace korvath::session
