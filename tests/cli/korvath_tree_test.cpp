// korvath-tree run as a program, over the sample project and over small
// projects written to a temporary directory ("@P" in a case stands for it).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#if __has_include(<nlohmann/json.hpp>)
#include <nlohmann/json.hpp>
#endif

namespace {

namespace fs = std::filesystem;

using Files = std::vector<std::pair<std::string, std::string>>;

struct CliCase {
  const char* name;
  std::string args;
  // Below the project; korvath.ini and pathdef.m (listing lib/) are always written.
  Files files{};
  bool settingsInFallback = false;
  std::vector<std::string> tooLarge{};    // files made larger than any file read
  std::vector<std::string> unlistable{};  // folders that cannot be listed (not as root)
  const char* stdoutTo = nullptr;  // a redirection target instead of the file read; "&-" closes it
  int exitCode = 0;
  std::optional<std::string> out{};  // the whole standard output
  std::optional<std::string> err{};  // the whole standard error
  std::vector<std::string> outHas{}, outLacks{}, errHas{};
  std::vector<std::pair<std::string, int>> outCounts{};  // how often each part occurs
  const char* folder = "project";  // the project's folder (@P), below a temporary one
  bool json = false;               // the output must be JSON, and so UTF-8
};

const std::string kSample = "-C '" KORVATH_SOURCE_DIR "/examples/sample' ";
const Files kMainCallsFooTwice = {{"main.m", "function main\nfoo(1);\nx = foo(2);\n"},
                                  {"lib/foo.m", "function foo(x)\nbar;\n"},
                                  {"lib/bar.m", "function bar\n"}};
// A MATLAB root of its own below the project: the project's files are the user's.
const std::string kUserPathdef = "--pathdef @P/m/toolbox/local/pathdef.m ";
const Files kUserProject = {
    {"m/toolbox/local/pathdef.m", "p = [...\n     matlabroot,'/lib:', ...\n];\n"},
    {"m/lib/tool.m", ""},
    {"m/lib/dead.m", "dead\n"},
    {"main.m", "tool\nmine\n"},
    {"mine.m", ""}};
// main calling `count` functions: with 400, a JSON tree larger than stdio's
// buffer, so writing it fails in the write itself rather than when flushed.
Files ManyCallees(int count = 400) {
  Files files{{"main.m", ""}};
  for (int i = 0; i < count; ++i) {
    const std::string name = "callee_with_a_long_name_" + std::to_string(i);
    files[0].second += name + "\n";
    files.emplace_back("lib/" + name + ".m", "");
  }
  return files;
}

// For the MATLAB mode: a class, a local function, a private function, a
// case-only name (Foo against lib/foo.m), and a method two classes have.
const Files kMatlabProject = {
    {"main.m",
     "function main\nx = Shape(2);\ny = helper(x);\nFoo(1);\nend\n"
     "function y = helper(x)\ny = pt(x);\nend\n"},
    {"private/pt.m", "function v = pt(x)\nv = x;\n"},
    {"lib/foo.m", "function foo(x)\n"},
    {"lib/Shape.m", "classdef Shape\nmethods\nfunction a = area(obj)\na = 1;\nend\nend\nend\n"},
    {"lib/@Square/Square.m", "function s = Square\n"},
    {"lib/@Square/area.m", "function a = area(s)\n"}};
const Files kCycleProject = {{"main.m", "a\n"}, {"lib/a.m", "b\nb\n"}, {"lib/b.m", "a\n"}};
// main calls foo, which calls big, a file too large to read.
const Files kUnreadableProject = {{"main.m", "foo\n"}, {"lib/foo.m", "big\n"}, {"lib/big.m", ""}};
// Names with control characters: ESC in a called one, TAB in an uncalled one.
const Files kControlProject = {{"main.m",
                                "esc\x1b"
                                "q\n"},
                               {"lib/esc\x1b"
                                "q.m",
                                ""},
                               {"lib/t\tx.m", ""}};
// File names that are not UTF-8 (a Latin-1 byte, a byte no encoding
// starts with) or hold a backslash, which is no separator on POSIX.
const Files kBytesProject = {
    {"main.m", "helper\n"}, {"lib/helper.m", ""},  {"lib/odd\xff.m", "helper\ndeep\n"},
    {"lib/deep.m", ""},     {"lib/caf\xe9.m", ""}, {"lib/back\\slash.m", "deep2\n"},
    {"lib/deep2.m", ""}};
const Files kDiscardProject = {
    {"main.m", "a\nb\n"}, {"lib/a.m", ""}, {"lib/b.m", ""}, {"mylist.txt", "a\n%G\nb\n"}};

const CliCase kCases[] = {
    {.name = "SampleAsText",
     .args = kSample + "main",
     .out = "main\n"
            "├── load_data (3)\n"
            "│   └── validate_input (3) - Also called by analyse\n"
            "├── analyse (4)\n"
            "│   ├── validate_input (3)\n"
            "│   ├── smooth_series (4)\n"
            "│   └── summary_stats (5) - Also called by report\n"
            "├── plot_result (6)\n"
            "│   └── style_axes (4)\n"
            "└── report (8)\n"
            "    └── summary_stats (3)\n"},
    {.name = "SampleShowingOneGroup",
     .args = kSample + "--show Plotting main",
     .outHas = {"legacy_plot (5)"},
     .outLacks = {"debug_dump"}},
    {.name = "MatlabModeNamesFunctionsAsMatlabDoes",
     .args = "--resolve matlab main",
     .files = kMatlabProject,
     .out = "main\n"
            "├── Shape (2)\n"
            "└── main>helper (3)\n"
            "    └── private/pt (7)\n"},
    {.name = "MatlabModeJsonHasKinds",
     .args = "--resolve matlab --format json main",
     .files = kMatlabProject,
     .outHas = {"\"name\": \"main>helper\", \"file\": \"@P/main.m\", \"lines\": [3], "
                "\"kind\": \"local\"",
                "\"kind\": \"constructor\"", "\"kind\": \"private\""}},
    {.name = "MatlabModeCallersOfABareNameOfSeveralFunctions",
     .args = "--resolve matlab --callers area",
     .files = kMatlabProject,
     .exitCode = 2,
     .errHas = {"area names several functions:\n  Shape.area\n  Square.area"}},
    {.name = "MatlabModeCallersByNotation",
     .args = "--resolve matlab --callers private/pt",
     .files = kMatlabProject,
     .out = "private/pt\n└── main>helper (7)\n    └── main (3)\n"},
    {.name = "MatlabModeStatsCountCaseOnlyNames",
     .args = "--resolve matlab --stats main",
     .files = kMatlabProject,
     .errHas = {"names matching a file only if case is ignored: 1\n"}},
    {.name = "PathModeIsTheDefaultAndIgnoresCase",
     .args = "main",
     .files = kMatlabProject,
     .outHas = {"foo (4)"},
     .outLacks = {">"}},
    {.name = "UnknownResolution",
     .args = "--resolve octave main",
     .exitCode = 2,
     .errHas = {"unknown resolution 'octave' (path or matlab)"}},
    {.name = "DispatchNeedsTheMatlabMode",
     .args = "--dispatch main",
     .exitCode = 2,
     .errHas = {"--dispatch needs --resolve matlab"}},
    {.name = "SampleShowingEveryGroup",
     .args = kSample + "--show-all main",
     .outHas = {"legacy_plot (5)", "debug_dump (11)"}},
    {.name = "Json",
     .args = "--format json main",
     .files = kMainCallsFooTwice,
     .out = "{\"root\": {\"text\": \"main\", \"name\": \"main\", \"file\": \"@P/main.m\", "
            "\"lines\": [], \"children\": [{\"text\": \"foo (2,3)\", \"name\": \"foo\", "
            "\"file\": \"@P/lib/foo.m\", \"lines\": [2, 3], \"children\": [{\"text\": \"bar (2)\", "
            "\"name\": \"bar\", \"file\": \"@P/lib/bar.m\", \"lines\": [2], \"children\": []}]}]}, "
            "\"messages\": []}\n"},
    {.name = "Dot",
     .args = "--format dot main",
     .files = kMainCallsFooTwice,
     .out = "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"main\"];\n  n2 [label=\"foo (2,3)\"];\n  n1 -> n2;\n"
            "  n3 [label=\"bar (2)\"];\n  n2 -> n3;\n}\n"},
    {.name = "ProgressOnStandardError",
     .args = "--progress main.m",
     .files = {{"main.m", "% nothing here\n"}},
     .out = "main\n",
     .err = "Parsed 0 files out of 1.\nParsed 1 files out of 1.\nBuilding the function tree\n"},
    {.name = "MissingPathdefAsText",
     .args = "--pathdef nowhere/pathdef.m main",
     .files = {{"main.m", "foo\n"}},
     .exitCode = 1,
     .out = "",
     .err = "korvath-tree: pathdef file not found, cannot continue\n"},
    {.name = "MissingPathdefAsJson",
     .args = "--pathdef nowhere/pathdef.m --format json main",
     .files = {{"main.m", "foo\n"}},
     .exitCode = 1,
     .out = "{\"root\": null, \"messages\": [\"pathdef file not found, cannot continue\"]}\n"},
    {.name = "StartNotFound",
     .args = "--format json nosuch",
     .exitCode = 1,
     .out = "{\"root\": null, \"messages\": [\"nosuch.m was not found on the search path\"]}\n",
     .err = "korvath-tree: nosuch.m was not found on the search path\n"},
    {.name = "FullPathStartIsCutToItsName",
     .args = "'@P/lib/tool.m'",
     .files = {{"lib/tool.m", "helper\n"}, {"lib/helper.m", ""}},
     .out = "tool\n└── helper (1)\n"},
    {.name = "DiscardFile",
     .args = "--discard mylist.txt main",
     .files = kDiscardProject,
     .out = "main\n"},
    {.name = "DiscardFileShowingTheUnnamedGroup",
     .args = "--discard mylist.txt --show '' main",
     .files = kDiscardProject,
     .out = "main\n└── a (1)\n"},
    {.name = "MissingDiscardFile",
     .args = "--discard nosuch.txt main",
     .exitCode = 2,
     .errHas = {"cannot read discard list"}},
    // Without korvath.ini here start-up moves to the fallback directory and
    // reads the settings and the discard list there.
    {.name = "SettingsFromTheFallbackDirectory",
     .args = "y",
     .files = {{"lib/x.m", ""}, {"lib/y.m", "x\n"}, {"../config/korvath/discardables.txt", "x\n"}},
     .settingsInFallback = true,
     .out = "y\n"},
    // Scanned in pick order: the start file, then foo.
    {.name = "ListFilesAndStats",
     .args = "--list-files --stats main",
     .files = {{"main.m", "foo\nnot_here\n"}, {"lib/foo.m", "% nothing\n"}},
     .errHas = {"@P/main.m\n@P/lib/foo.m\nrecords: ", "files scanned: 2\n", "bytes read: 23\n",
                "tree nodes: 2\n"}},
    // The start record keeps its ".m" while resolving, so loop.m is scanned
    // twice and loop -> loop -> ... runs into the depth limit.
    {.name = "DepthLimitInJson",
     .args = "--format json loop",
     .files = {{"lib/loop.m", "loop\n"}},
     .outHas = {"\"text\": \"loop (1,1)\", \"name\": \"loop\", \"file\": \"@P/lib/loop.m\", "
                "\"lines\": [1, 1]",
                "\"messages\": [\"Out of stack space. Some functions may not be displayed\"]"}},
    // A files list builds no tree: the files are those of the same
    // resolution, but the tree's depth budget has nothing to say; a missing
    // or discarded start is still told, and fails the run.
    {.name = "FilesListBuildsNoTree",
     .args = "--format files --stats loop",
     .files = {{"lib/loop.m", "loop\n"}},
     .out = "@P/lib/loop.m\n",
     .errHas = {"records: 2\n", "files scanned: 2\n", "tree nodes: 0\n"}},
    {.name = "FilesListSaysNothingOfTheTree",
     .args = "--format files loop",
     .files = {{"lib/loop.m", "loop\n"}},
     .out = "@P/lib/loop.m\n",
     .err = ""},
    {.name = "ProgressOfAFilesList",
     .args = "--progress --format files main.m",
     .files = {{"main.m", "% nothing here\n"}},
     .out = "@P/main.m\n",
     .err = "Parsed 0 files out of 1.\nParsed 1 files out of 1.\n"},
    {.name = "FilesListOfAMissingStart",
     .args = "--format files nosuch",
     .files = {{"lib/loop.m", "loop\n"}},
     .exitCode = 1,
     .out = "",
     .err = "korvath-tree: nosuch.m was not found on the search path\n"},
    {.name = "FilesListOfADiscardedStart",
     .args = "--discard mylist.txt --format files a",
     .files = kDiscardProject,
     .exitCode = 1,
     .out = "@P/lib/a.m\n",
     .err = "korvath-tree: a is on the discard list\n"},
    {.name = "OutputCannotBeWritten",
     .args = "main",
     .files = {{"main.m", ""}},
     .stdoutTo = "/dev/full",
     .exitCode = 3,
     .errHas = {"cannot write output: No space"}},
    {.name = "LargeOutputCannotBeWritten",
     .args = "--format json main",
     .files = ManyCallees(),
     .stdoutTo = "/dev/full",
     .exitCode = 3,
     .errHas = {"cannot write output: No space"}},
    {.name = "OutputClosed",
     .args = "main",
     .files = {{"main.m", ""}},
     .stdoutTo = "&-",
     .exitCode = 3,
     .errHas = {"cannot write output: Bad file descriptor"}},
    {.name = "UncalledEvenIfCallingItself",
     .args = kUserPathdef + "--uncalled",
     .files = kUserProject,
     .out = "dead\t@P/m/lib/dead.m\nmain\t@P/main.m\n"},
    {.name = "UncalledOfTheUserAsJson",
     .args = kUserPathdef + "--uncalled --user-only --format json",
     .files = kUserProject,
     .out = "[{\"name\": \"main\", \"file\": \"@P/main.m\"}]\n"},
    {.name = "FilesTheRunFound",
     .args = kUserPathdef + "--format files main",
     .files = kUserProject,
     .out = "@P/m/lib/tool.m\n@P/main.m\n@P/mine.m\n"},
    {.name = "FilesOfTheUser",
     .args = kUserPathdef + "--format files --user-only main",
     .files = kUserProject,
     .out = "@P/main.m\n@P/mine.m\n"},
    {.name = "CallersTree",
     .args = kUserPathdef + "--callers tool.m",
     .files = kUserProject,
     .out = "tool\n└── main (1)\n"},
    {.name = "CallersAsJson",
     .args = kUserPathdef + "--format json --callers tool",
     .files = kUserProject,
     .outHas = {"{\"text\": \"main (1)\", \"name\": \"main\", \"file\": \"@P/main.m\", "
                "\"lines\": [1], \"children\": []}"}},
    {.name = "CallersOfNoFile",
     .args = kUserPathdef + "--callers nosuch",
     .files = kUserProject,
     .exitCode = 1,
     .out = "",
     .err = "korvath-tree: nosuch.m was not found on the search path\n"},
#if KORVATH_HAVE_GRAPH
    // The sample's nine functions and ten calling pairs, each drawn once
    // however often the tree repeats them; the start filled.
    {.name = "SampleGraphAsSvg",
     .args = kSample + "--format svg main",
     .outHas = {"<svg", "<g id=\"f0\" class=\"node\">", "fill=\"#ffe08a\""},
     .outCounts = {{"class=\"node\"", 9}, {"class=\"edge\"", 10}}},
    // a and b call each other: both their calls dashed, main's not; a's two
    // lines on its one call.
    {.name = "CycleDashedInGraph",
     .args = "--format graph main",
     .files = kCycleProject,
     .outHas = {"f0 -> f1 [xlabel=\"1\"", "f1 -> f2 [xlabel=\"2\"", "f2 -> f1 [xlabel=\"1\""},
     .outCounts = {{" -> ", 3}, {"style=dashed", 2}, {"label=\"main\"", 1}}},
    // Past 400 functions or 2000 calls no picture is laid out; --max-graph N
    // allows N functions and 5N calls.
    {.name = "GraphTooLargeToDraw",
     .args = "--format svg main",
     .files = ManyCallees(401),
     .exitCode = 1,
     .out = "",
     .err = "korvath-tree: the call graph has 402 functions, 401 calls, more than the 400 "
            "functions and 2000 calls a picture may hold: draw the callers of one function "
            "(--callers NAME), start from a smaller function, or raise the limit to N functions "
            "and 5N calls (--max-graph N)\n"},
    {.name = "GraphPastARaisedLimit",
     .args = "--format svg --max-graph 2 main",
     .files = kCycleProject,
     .exitCode = 1,
     .out = "",
     .errHas = {"has 3 functions, 3 calls, more than the 2 functions and 10 calls"}},
    {.name = "GraphWithinARaisedLimit",
     .args = "--format svg --max-graph 3 main",
     .files = kCycleProject,
     .outCounts = {{"class=\"node\"", 3}}},
    {.name = "ControlCharactersInAPicture",
     .args = "--format svg main",
     .files = kControlProject,
     .outHas = {"esc\\x1bq"},
     .outLacks = {"\x1b"}},
    {.name = "CallersGraph",
     .args = kUserPathdef + "--format graph --callers tool",
     .files = kUserProject,
     .outHas = {"f0 [id=\"f0\", label=\"tool\"", "f1 -> f0"},
     .outCounts = {{" -> ", 1}}},
#else
    {.name = "SvgNeedsGraphviz",
     .args = "--format svg main",
     .files = kCycleProject,
     .exitCode = 2,
     .out = "",
     .errHas = {"install libgraphviz-dev"}},
#endif
    // Refused as a usage error before anything is read or drawn.
    {.name = "UncalledDrawsNoGraph",
     .args = "--uncalled --format svg",
     .exitCode = 2,
     .out = "",
     .errHas = {"korvath-tree: --uncalled lists as text or json\n\nUsage:"}},
    {.name = "UncalledDrawsNoTree",
     .args = "--uncalled --format dot",
     .exitCode = 2,
     .out = "",
     .errHas = {"korvath-tree: --uncalled lists as text or json\n\nUsage:"}},
    {.name = "UncalledIsNoFileList",
     .args = "--uncalled --format files",
     .exitCode = 2,
     .out = "",
     .errHas = {"korvath-tree: --uncalled lists as text or json\n\nUsage:"}},
    {.name = "UncalledTakesNoStart",
     .args = "--uncalled main",
     .exitCode = 2,
     .errHas = {"--uncalled takes no START"}},
    // What the index could not read is said as a run says it, in JSON too.
    {.name = "RunSaysWhatItCouldNotRead",
     .args = "--format json main",
     .files = kUnreadableProject,
     .tooLarge = {"lib/big.m"},
     .err = "korvath-tree: warning: cannot read @P/lib/big.m: larger than 64 MiB\n",
     .outHas = {"\"messages\": [\"cannot read @P/lib/big.m: larger than 64 MiB\"]}"}},
    {.name = "CallersSayWhatTheIndexCouldNotRead",
     .args = "--format json --callers foo",
     .files = kUnreadableProject,
     .tooLarge = {"lib/big.m"},
     .err = "korvath-tree: warning: cannot read @P/lib/big.m: larger than 64 MiB\n",
     .outHas = {"\"messages\": [\"cannot read @P/lib/big.m: larger than 64 MiB\"]}"}},
    {.name = "UncalledSaysWhatTheIndexCouldNotRead",
     .args = "--uncalled",
     .files = kUnreadableProject,
     .tooLarge = {"lib/big.m"},
     .out = "main\t@P/main.m\n",
     .err = "korvath-tree: warning: cannot read @P/lib/big.m: larger than 64 MiB\n"},
    // A folder that cannot be listed is passed over: the current folder
    // after it still holds main.
    {.name = "RunPassesOverAFolderItCannotList",
     .args = "--format json main",
     .files = {{"main.m", "foo\n"}, {"lib/foo.m", ""}},
     .unlistable = {"lib"},
     .err = "korvath-tree: warning: cannot list @P/lib: Permission denied\n",
     .outHas = {"{\"text\": \"main\"",
                "\"messages\": [\"cannot list @P/lib: Permission denied\"]"}},
    {.name = "UncalledPassesOverAFolderItCannotList",
     .args = "--uncalled",
     .files = {{"main.m", "foo\n"}, {"lib/foo.m", ""}},
     .unlistable = {"lib"},
     .out = "main\t@P/main.m\n",
     .err = "korvath-tree: warning: cannot list @P/lib: Permission denied\n"},
    // Control characters are written as \xNN on a line; backslashes stay.
    {.name = "ControlCharactersInTextLines",
     .args = "main",
     .files = kControlProject,
     .out = "main\n└── esc\\x1bq (1)\n"},
    {.name = "ControlCharactersInUncalledLines",
     .args = "--uncalled",
     .files = kControlProject,
     .out = "main\t@P/main.m\nt\\x09x\t@P/lib/t\\x09x.m\n"},
    {.name = "ControlCharactersInFileLists",
     .args = "--format files main",
     .files = kControlProject,
     .out = "@P/lib/esc\\x1bq.m\n@P/main.m\n"},
    // File names keep their bytes from the listing to the output.
    {.name = "FileNamesNotUtf8AreFoundAndRead",
     .args = "'odd\xff'",
     .files = kBytesProject,
     .out = "odd\xff\n├── helper (1)\n└── deep (2)\n"},
    {.name = "FileNamesNotUtf8InTheFilesFound",
     .args = "--format files 'odd\xff'",
     .files = kBytesProject,
     .out = "@P/lib/deep.m\n@P/lib/helper.m\n@P/lib/odd\xff.m\n"},
    {.name = "UncalledFileNamesAsTheyAre",
     .args = "--uncalled",
     .files = kBytesProject,
     .out = "back\\slash\t@P/lib/back\\slash.m\ncaf\xe9\t@P/lib/caf\xe9.m\nmain\t@P/main.m\n"
            "odd\xff\t@P/lib/odd\xff.m\n"},
    {.name = "CallersFromFilesWithOddNames",
     .args = "--callers deep2",
     .files = kBytesProject,
     .out = "deep2\n└── back\\slash (1)\n"},
    {.name = "CallersOfAFileNameNotUtf8",
     .args = "--callers 'odd\xff'",
     .files = kBytesProject,
     .out = "odd\xff\n"},
    {.name = "JsonTreeReplacesBytesAndSaysSo",
     .args = "--format json 'odd\xff'",
     .files = kBytesProject,
     .outHas = {"\"file\": \"@P/lib/odd\xEF\xBF\xBD.m\"",
                "\"file name is not UTF-8, each invalid byte is U+FFFD in this JSON: "
                "@P/lib/odd\\\\xff.m\""},
     .outLacks = {"\xff"},
     .json = true},
    {.name = "JsonUncalledListReplacesBytesAndSaysSo",
     .args = "--uncalled --format json",
     .files = kBytesProject,
     .outHas = {"\"file\": \"@P/lib/caf\xEF\xBF\xBD.m\""},
     .errHas = {"warning: file name is not UTF-8, each invalid byte is U+FFFD in this JSON: "
                "@P/lib/caf\\xe9.m\n"},
     .json = true},
    {.name = "CurrentFolderWithABackslash",
     .args = "main",
     .files = kBytesProject,
     .out = "main\n└── helper (1)\n",
     .folder = "pro\\ject"},
    {.name = "CurrentFolderNotUtf8",
     .args = "--pathdef @P/toolbox/local/pathdef.m --callers helper",
     .files = kBytesProject,
     .out = "helper\n├── main (1)\n└── odd\xff (1)\n",
     .folder = "pro\xe9ject"},
    // Index questions count, time, list and follow their work as runs do.
    {.name = "UncalledWithStatsProgressAndFiles",
     .args = kUserPathdef + "--uncalled --stats --progress --list-files",
     .files = kUserProject,
     .errHas = {"Indexed 12 steps out of 12.\n@P/m/lib/dead.m\n@P/m/lib/tool.m\n@P/main.m\n"
                "@P/mine.m\nprograms: 4\nfiles scanned: 4\nbytes read: 15\nindex ms: "}},
    {.name = "CallersWithStats",
     .args = kUserPathdef + "--callers tool --stats",
     .files = kUserProject,
     .out = "tool\n└── main (1)\n",
     .errHas = {"programs: 4\nfiles scanned: 4\nbytes read: 15\ntree nodes: 2\nindex ms: "}},
    // Options that would change nothing are refused, whatever they name.
    {.name = "CallersOfNoName",
     .args = "--callers ''",
     .exitCode = 2,
     .errHas = {"korvath-tree: --callers needs a name\n\nUsage:"}},
    {.name = "DiscardHasNoEffectOnUncalled",
     .args = "--uncalled --discard nosuch.txt",
     .exitCode = 2,
     .errHas = {"korvath-tree: --discard has no effect with --uncalled\n\nUsage:"}},
    {.name = "ShowHasNoEffectOnUncalled",
     .args = "--show G --uncalled",
     .exitCode = 2,
     .errHas = {"--show has no effect with --uncalled"}},
    {.name = "ShowAllHasNoEffectOnUncalled",
     .args = "--uncalled --show-all",
     .exitCode = 2,
     .errHas = {"--show-all has no effect with --uncalled"}},
    {.name = "UserOnlyHasNoEffectOnCallers",
     .args = "--user-only --callers foo",
     .exitCode = 2,
     .errHas = {"--user-only has no effect with --callers"}},
    {.name = "UserOnlyHasNoEffectOnATree",
     .args = "--user-only --format json main",
     .exitCode = 2,
     .errHas = {"--user-only has no effect with --format json"}},
    {.name = "MaxGraphHasNoEffectOnText",
     .args = "--max-graph 10 main",
     .exitCode = 2,
     .errHas = {"--max-graph has no effect with --format text"}},
    {.name = "MaxGraphNeedsAPositiveNumber",
     .args = "--max-graph 0 --format svg main",
     .exitCode = 2,
     .errHas = {"--max-graph needs a number of functions, not '0'"}},
    {.name = "StartAfterDoubleDash", .args = "-- main", .files = {{"main.m", ""}}, .out = "main\n"},
    {.name = "DoubleDashTakesOneStart",
     .args = "-- a b",
     .exitCode = 2,
     .errHas = {"expected one START after --"}},
    {.name = "Help", .args = "--help", .outHas = {"Usage: korvath-tree"}},
    {.name = "NoStart", .args = "", .exitCode = 2, .errHas = {"no START given\n\nUsage:"}},
    {.name = "TwoStarts", .args = "a b", .exitCode = 2, .errHas = {"more than one START"}},
    {.name = "UnknownOption", .args = "--bogus main", .exitCode = 2, .errHas = {"'--bogus'"}},
    {.name = "UnknownFormat", .args = "--format xml main", .exitCode = 2, .errHas = {"'xml'"}},
    {.name = "OptionWithoutValue",
     .args = "main --pathdef",
     .exitCode = 2,
     .errHas = {"--pathdef needs a file"}},
    {.name = "MissingDirectory",
     .args = "-C nowhere main",
     .exitCode = 2,
     .errHas = {"cannot change to directory 'nowhere'"}},
};

void PrintTo(const CliCase& c, std::ostream* os) { *os << c.name; }

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class KorvathTreeTest : public ::testing::TestWithParam<CliCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvath-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const std::string& folder : GetParam().unlistable) {
      std::error_code ignored;  // the folder may not have been made
      fs::permissions(dir_ / GetParam().folder / folder, fs::perms::owner_all, ignored);
    }
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_P(KorvathTreeTest, Run) {
  const CliCase& c = GetParam();
  const fs::path project = dir_ / c.folder, pathdef = project / "toolbox/local/pathdef.m";
  const auto write = [](const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  };
  const auto expand = [&](std::string text) {
    for (auto at = text.find("@P"); at != text.npos; at = text.find("@P", at)) {
      text.replace(at, 2, project.string());
    }
    return text;
  };
  write(pathdef, "function p = pathdef\np = [...\n     matlabroot,'/lib:', ...\n];\n");
  // XDG_CONFIG_HOME keeps the user's own fallback directory out of the runs.
  write((c.settingsInFallback ? dir_ / "config/korvath" : project) / "korvath.ini",
        "Matlab Pathdef = " + pathdef.string() + "\n");
  for (const auto& [file, text] : c.files) write(project / file, text);
  for (const std::string& file : c.tooLarge) {
    write(project / file, "");
    fs::resize_file(project / file, (std::uintmax_t{64} << 20) + 1);  // sparse: no time or space
  }
  if (!c.unlistable.empty() && geteuid() == 0) GTEST_SKIP() << "root lists every folder";
  for (const std::string& folder : c.unlistable) {
    fs::permissions(project / folder, fs::perms::none);
  }
  const std::string command = "cd '" + project.string() + "' && XDG_CONFIG_HOME='" +
                              (dir_ / "config").string() + "' '" KORVATH_TREE_EXE "' " +
                              expand(c.args) + " >" + (c.stdoutTo ? c.stdoutTo : "../out") +
                              " 2>../err";
  const int status = std::system(command.c_str());
  const std::string out = ReadAll(dir_ / "out"), err = ReadAll(dir_ / "err");
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exitCode) << err;
  if (c.out) {
    EXPECT_EQ(out, expand(*c.out));
  }
#if __has_include(<nlohmann/json.hpp>)
  if (c.json) {
    EXPECT_TRUE(nlohmann::json::accept(out)) << out;
  }
#endif
  if (c.err) {
    EXPECT_EQ(err, expand(*c.err));
  }
  for (const std::string& part : c.outHas) EXPECT_NE(out.find(expand(part)), out.npos) << out;
  for (const std::string& part : c.outLacks) EXPECT_EQ(out.find(expand(part)), out.npos) << out;
  for (const std::string& part : c.errHas) EXPECT_NE(err.find(expand(part)), err.npos) << err;
  for (const auto& [part, expected] : c.outCounts) {
    int count = 0;
    for (auto at = out.find(part); at != out.npos; at = out.find(part, at + 1)) ++count;
    EXPECT_EQ(count, expected) << part;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, KorvathTreeTest, ::testing::ValuesIn(kCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

#if KORVATH_HAVE_GRAPH
struct Captured {
  int exitCode = -1;
  std::string out, err;
};

// `command` run by the shell, its output kept in `dir`.
Captured RunShell(const fs::path& dir, const std::string& command) {
  const int status = std::system(
      (command + " >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir / "out"), ReadAll(dir / "err")};
}

class DrawingPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvath-draw-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// The dynamic loader lists every library it loads: Graphviz's only for a
// picture, not for a tree nor for the DOT of the graph.
TEST_F(DrawingPluginTest, OnlyAPictureLoadsGraphviz) {
  for (const char* format : {"text", "json", "dot", "graph", "svg"}) {
    const Captured run = RunShell(
        dir_, "LD_DEBUG=libs '" KORVATH_TREE_EXE "' " + kSample + "--format " + format + " main");
    EXPECT_EQ(run.exitCode, 0) << format;
    // Else the loader said nothing and there is nothing to look for.
    ASSERT_NE(run.err.find("calling init: "), std::string::npos) << format;
    const bool picture = std::string(format) == "svg";
    for (const char* library : {"libgvc.so", "libcgraph.so", KORVATH_DRAW_PLUGIN}) {
      EXPECT_EQ(run.err.find(library) != std::string::npos, picture) << format << " " << library;
    }
  }
}

// Installed, the plug-in lies in a library folder of its own; beside the
// program, a broken one is reported; with none, the picture formats say what
// to install.
TEST_F(DrawingPluginTest, FoundBesideTheProgramOrWhereItIsInstalled) {
  const fs::path bin = dir_ / "bin", installed = bin / KORVATH_DRAW_PLUGIN_DIR_FROM_BIN;
  fs::create_directories(bin);
  fs::create_directories(installed);
  fs::copy_file(KORVATH_TREE_EXE, bin / "korvath-tree");
  const std::string tree = "'" + (bin / "korvath-tree").string() + "' " + kSample;
  const std::string reference =
      RunShell(dir_, "'" KORVATH_TREE_EXE "' " + kSample + "--format svg main").out;
  ASSERT_NE(reference.find("<svg"), std::string::npos);

  Captured run = RunShell(dir_, tree + "--format svg main");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("install libgraphviz-dev"), std::string::npos) << run.err;

  fs::copy_file(KORVATH_DRAW_PLUGIN_FILE, installed / KORVATH_DRAW_PLUGIN);
  run = RunShell(dir_, tree + "--format svg main");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, reference);

  // The one beside the program comes first, even when it cannot be loaded.
  std::ofstream(bin / KORVATH_DRAW_PLUGIN) << "not a library";
  run = RunShell(dir_, tree + "--format svg main");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("korvath-tree: cannot load the drawing plug-in " +
                         (bin / KORVATH_DRAW_PLUGIN).string() + ": "),
            std::string::npos)
      << run.err;
  // A tree needs no plug-in, broken or not.
  run = RunShell(dir_, tree + "main");
  EXPECT_EQ(run.exitCode, 0) << run.err;
}
#endif

}  // namespace
