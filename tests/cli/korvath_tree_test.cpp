// korvath-tree run as a program over small projects on disk.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class KorvathTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvath-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Keep the user's own fallback directory out of the runs.
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& relative, const std::string& text) {
    const fs::path path = dir_ / "project" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  // A project with a pathdef.m listing lib/ and korvath.ini pointing at it.
  void WriteProject() {
    Write("toolbox/local/pathdef.m",
          "function p = pathdef\np = [...\n     matlabroot,'/lib:', ...\n];\n");
    Write("korvath.ini", "Matlab Pathdef = " + (dir_ / "project/toolbox/local/pathdef.m").string() +
                             "\n");
  }

  RunResult Run(const std::string& args) {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = "cd '" + (dir_ / "project").string() + "' && XDG_CONFIG_HOME='" +
                                (dir_ / "config").string() + "' '" KORVATH_TREE_EXE "' " + args +
                                " >'" + out.string() + "' 2>'" + err.string() + "'";
    fs::create_directories(dir_ / "project");
    const int status = std::system(command.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
  }

  fs::path dir_;
};

TEST_F(KorvathTreeTest, PrintsTheSampleProjectsTree) {
  const RunResult r = Run("-C '" KORVATH_SOURCE_DIR "/examples/sample' main");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "main\n"
            "├── load_data (3)\n"
            "│   └── validate_input (3) - Also called by analyse\n"
            "├── analyse (4)\n"
            "│   ├── validate_input (3)\n"
            "│   ├── smooth_series (4)\n"
            "│   └── summary_stats (5) - Also called by report\n"
            "├── plot_result (6)\n"
            "│   └── style_axes (4)\n"
            "└── report (8)\n"
            "    └── summary_stats (3)\n");
}

TEST_F(KorvathTreeTest, ShowingADiscardGroupBringsItsFunctionsBack) {
  const RunResult plotting = Run("-C '" KORVATH_SOURCE_DIR "/examples/sample' --show Plotting main");
  EXPECT_NE(plotting.out.find("legacy_plot (5)"), std::string::npos) << plotting.out;
  EXPECT_EQ(plotting.out.find("debug_dump"), std::string::npos);
  const RunResult all = Run("-C '" KORVATH_SOURCE_DIR "/examples/sample' --show-all main");
  EXPECT_NE(all.out.find("legacy_plot (5)"), std::string::npos);
  EXPECT_NE(all.out.find("debug_dump (11)"), std::string::npos);
}

TEST_F(KorvathTreeTest, JsonHoldsTheTreeAndTheMessages) {
  WriteProject();
  Write("main.m", "function main\nfoo(1);\nx = foo(2);\n");
  Write("lib/foo.m", "function foo(x)\nbar;\n");
  Write("lib/bar.m", "function bar\n");
  const RunResult r = Run("--format json main");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"root\": {\"text\": \"main\", \"children\": [{\"text\": \"foo (2,3)\", "
            "\"children\": [{\"text\": \"bar (2)\", \"children\": []}]}]}, \"messages\": []}\n");
}

TEST_F(KorvathTreeTest, DotHasOneNodePerTreeNode) {
  WriteProject();
  Write("main.m", "a\nb \"quoted\"\n");
  Write("lib/a.m", "");
  const RunResult r = Run("--format dot main");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"main\"];\n  n2 [label=\"a (1)\"];\n  n1 -> n2;\n}\n");
}

TEST_F(KorvathTreeTest, ProgressCaptionsGoToStandardError) {
  WriteProject();
  Write("main.m", "% nothing here\n");
  const RunResult r = Run("--progress main.m");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Parsed 0 files out of 1.\nParsed 1 files out of 1.\nBuilding the function tree\n");
  EXPECT_EQ(r.out, "main\n");
}

TEST_F(KorvathTreeTest, MissingPathdefEndsWithStatusOne) {
  Write("main.m", "foo\n");
  const RunResult text = Run("--pathdef nowhere/toolbox/pathdef.m main");
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.out, "");
  EXPECT_NE(text.err.find("pathdef file not found, cannot continue"), std::string::npos);

  const RunResult json = Run("--pathdef nowhere/toolbox/pathdef.m --format json main");
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(json.out,
            "{\"root\": null, \"messages\": [\"pathdef file not found, cannot continue\"]}\n");
}

TEST_F(KorvathTreeTest, StartFileNotFoundHasNoRoot) {
  WriteProject();
  const RunResult r = Run("--format json nosuch");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out,
            "{\"root\": null, \"messages\": [\"nosuch.m was not found on the search path\"]}\n");
  EXPECT_NE(r.err.find("nosuch.m was not found"), std::string::npos);
}

TEST_F(KorvathTreeTest, FullPathStartIsCutToItsFileName) {
  WriteProject();
  Write("lib/tool.m", "helper\n");
  Write("lib/helper.m", "");
  const RunResult r = Run("'" + (dir_ / "project/lib/tool.m").string() + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "tool\n└── helper (1)\n");
}

TEST_F(KorvathTreeTest, DiscardFileAndEmptyGroup) {
  WriteProject();
  Write("main.m", "a\nb\n");
  Write("lib/a.m", "");
  Write("lib/b.m", "");
  Write("mylist.txt", "a\n%Other\nb\n");
  const RunResult hidden = Run("--discard mylist.txt main");
  EXPECT_EQ(hidden.out, "main\n");
  const RunResult emptyGroup = Run("--discard mylist.txt --show '' main");
  EXPECT_EQ(emptyGroup.out, "main\n└── a (1)\n");
  const RunResult missing = Run("--discard nosuch.txt main");
  EXPECT_EQ(missing.exitCode, 2);
}

TEST_F(KorvathTreeTest, SettingsComeFromTheFallbackDirectory) {
  WriteProject();
  fs::create_directories(dir_ / "config/korvath");
  fs::rename(dir_ / "project/korvath.ini", dir_ / "config/korvath/korvath.ini");
  std::ofstream(dir_ / "config/korvath/discardables.txt") << "x\n";
  Write("lib/x.m", "");
  Write("lib/y.m", "x\n");
  // Without korvath.ini here start-up moves to the fallback directory, reads
  // the settings and discard list there and searches it last.
  const RunResult r = Run("y");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "y\n");
}

TEST_F(KorvathTreeTest, ListFilesAndStatsDescribeTheRun) {
  WriteProject();
  Write("main.m", "foo\nnot_here\n");
  Write("lib/foo.m", "% nothing\n");
  const RunResult r = Run("--list-files --stats main");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // Scanned in pick order: the start file first, then foo.
  const std::string project = (dir_ / "project").string();
  const std::string listed = project + "/main.m\n" + project + "/lib/foo.m\n";
  EXPECT_EQ(r.err.substr(0, listed.size()), listed);
  EXPECT_NE(r.err.find("files scanned: 2\n"), std::string::npos) << r.err;
  // 13 bytes of main.m and 10 of foo.m.
  EXPECT_NE(r.err.find("bytes read: 23\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tree nodes: 2\n"), std::string::npos) << r.err;
}

TEST_F(KorvathTreeTest, UsageErrorsEndWithStatusTwo) {
  EXPECT_EQ(Run("").exitCode, 2);
  EXPECT_EQ(Run("--format xml main").exitCode, 2);
  EXPECT_EQ(Run("--bogus main").exitCode, 2);
  EXPECT_EQ(Run("a b").exitCode, 2);
  const RunResult help = Run("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage: korvath-tree"), std::string::npos);
}

TEST_F(KorvathTreeTest, RecursiveStartReportsTheDepthLimit) {
  WriteProject();
  Write("lib/loop.m", "loop\n");
  const RunResult r = Run("--format json loop");
  EXPECT_EQ(r.exitCode, 0);
  // The start record keeps its ".m" while resolving, so loop.m is scanned
  // twice and the chain loop -> loop -> ... runs into the depth limit.
  EXPECT_NE(r.out.find("\"messages\": [\"Out of stack space. Some functions may not be displayed\"]"),
            std::string::npos)
      << r.out.substr(r.out.size() > 200 ? r.out.size() - 200 : 0);
  EXPECT_NE(r.out.find("\"text\": \"loop (1,1)\""), std::string::npos);
}

}  // namespace
