// What the writers print, compared whole: the tree as text, JSON and DOT,
// the command line's lists, and the call graph's DOT. Punctuation between
// siblings, closing brackets after deep subtrees and the escapes of names
// with quotes, backslashes and line breaks are what readers trip over.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/call_graph.h"
#include "engine/list_writers.h"
#include "engine/tree_writers.h"
#include "platform/utf8.h"
#include "tests/support/test_doubles.h"

namespace korvath {
namespace {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)
using korvath::testing::RecordingMessages;
using Records = std::vector<FunctionRecord>;

// Everything a writer printed to a stream, and what it reported.
template <typename Write>
std::string Printed(Write write) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  EXPECT_TRUE(write(file).ok());
  std::rewind(file);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) out.append(buffer, n);
  std::fclose(file);
  return out;
}

FunctionRecord R(Text caller, Text name, Text lines, Text also = u"") {
  return FunctionRecord{std::move(caller), std::move(name), std::move(also), std::move(lines),
                        true};
}

// main calls a (which calls b, itself calling c, then d), e and f; e's call
// of b is linked to a's, so it is a leaf. b shows twice.
Records ThreeLevels() {
  return {FunctionRecord{},       R(u"", u"main", u"0"),  R(u"main", u"a", u"3,17"),
          R(u"main", u"e", u"7"), R(u"main", u"f", u"9"), R(u"a", u"b", u"4"),
          R(u"a", u"d", u"6"),    R(u"b", u"c", u"5"),    R(u"e", u"b", u"8", u"a")};
}

const std::unordered_map<Text, Text> kFiles = {{u"main", u"/p/main.m"}, {u"a", u"/p/a.m"},
                                               {u"b", u"/p/lib/b.m"},   {u"d", u"/p/d.m"},
                                               {u"e", u"/p/e.m"},       {u"f", u"/p/f.m"}};

CallTree Built(const Records& records) {
  CallTree tree;
  RecordingMessages messages;
  EXPECT_TRUE(BuildCallTree(records, tree, messages).ok());
  EXPECT_TRUE(messages.shown.empty());
  return tree;
}

TEST(TreeWriters, ThreeLevelsWithARepeatedFunctionAsText) {
  const Records records = ThreeLevels();
  const CallTree tree = Built(records);
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteTextTree(f, tree, records); }),
            "main\n"
            "├── a (3,17)\n"
            "│   ├── b (4)\n"
            "│   │   └── c (5)\n"
            "│   └── d (6)\n"
            "├── e (7)\n"
            "│   └── b (8) - Also called by a\n"
            "└── f (9)\n");
}

TEST(TreeWriters, ThreeLevelsWithARepeatedFunctionAsJson) {
  const Records records = ThreeLevels();
  const CallTree tree = Built(records);
  EXPECT_EQ(
      Printed([&](std::FILE* f) {
        return WriteJson(f, tree, records, kFiles, {u"one", u"two"});
      }),
      "{\"root\": {\"text\": \"main\", \"name\": \"main\", \"file\": \"/p/main.m\", \"lines\": [], "
      "\"children\": ["
      "{\"text\": \"a (3,17)\", \"name\": \"a\", \"file\": \"/p/a.m\", \"lines\": [3, 17], "
      "\"children\": ["
      "{\"text\": \"b (4)\", \"name\": \"b\", \"file\": \"/p/lib/b.m\", \"lines\": [4], "
      "\"children\": ["
      "{\"text\": \"c (5)\", \"name\": \"c\", \"file\": \"\", \"lines\": [5], \"children\": []}]}, "
      "{\"text\": \"d (6)\", \"name\": \"d\", \"file\": \"/p/d.m\", \"lines\": [6], "
      "\"children\": []}]}, "
      "{\"text\": \"e (7)\", \"name\": \"e\", \"file\": \"/p/e.m\", \"lines\": [7], \"children\": ["
      "{\"text\": \"b (8) - Also called by a\", \"name\": \"b\", \"file\": \"/p/lib/b.m\", "
      "\"lines\": [8], \"children\": []}]}, "
      "{\"text\": \"f (9)\", \"name\": \"f\", \"file\": \"/p/f.m\", \"lines\": [9], "
      "\"children\": []}]}, "
      "\"messages\": [\"one\", \"two\"]}\n");
}

TEST(TreeWriters, ThreeLevelsWithARepeatedFunctionAsDot) {
  const Records records = ThreeLevels();
  const CallTree tree = Built(records);
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteDot(f, tree, records); }),
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"main\"];\n"
            "  n2 [label=\"a (3,17)\"];\n  n1 -> n2;\n"
            "  n3 [label=\"b (4)\"];\n  n2 -> n3;\n"
            "  n4 [label=\"c (5)\"];\n  n3 -> n4;\n"
            "  n5 [label=\"d (6)\"];\n  n2 -> n5;\n"
            "  n6 [label=\"e (7)\"];\n  n1 -> n6;\n"
            "  n7 [label=\"b (8) - Also called by a\"];\n  n6 -> n7;\n"
            "  n8 [label=\"f (9)\"];\n  n1 -> n8;\n"
            "}\n");
}

// Cut by a budget of three nodes: b's c, a's d and main's e and f are left
// out. JSON counts them per node; text and DOT show the tree as it stands,
// as the closing message already says it was cut.
TEST(TreeWriters, ACutTreeSaysWhereInJsonOnly) {
  const Records records = ThreeLevels();
  CallTree tree;
  RecordingMessages messages;
  ASSERT_TRUE(BuildCallTree(records, tree, messages, TreeLimits{256, 3}).ok());
  EXPECT_EQ(
      Printed([&](std::FILE* f) { return WriteJson(f, tree, records, kFiles, {}); }),
      "{\"root\": {\"text\": \"main\", \"name\": \"main\", \"file\": \"/p/main.m\", \"lines\": [], "
      "\"cut\": 2, \"children\": ["
      "{\"text\": \"a (3,17)\", \"name\": \"a\", \"file\": \"/p/a.m\", \"lines\": [3, 17], "
      "\"cut\": 1, \"children\": ["
      "{\"text\": \"b (4)\", \"name\": \"b\", \"file\": \"/p/lib/b.m\", \"lines\": [4], "
      "\"cut\": 1, \"children\": []}]}]}, "
      "\"messages\": []}\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteTextTree(f, tree, records); }),
            "main\n"
            "└── a (3,17)\n"
            "    └── b (4)\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteDot(f, tree, records); }),
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"main\"];\n"
            "  n2 [label=\"a (3,17)\"];\n  n1 -> n2;\n"
            "  n3 [label=\"b (4)\"];\n  n2 -> n3;\n"
            "}\n");
  EXPECT_EQ(IndentedSubtreeText(RecordTree(tree, records), 1), u"main\n  a (3,17)\n    b (4)\n");
}

// A record's lines are the line numbers of its calls, repeats kept, one
// number or many, of one digit or several.
TEST(TreeWriters, JsonLinesAreTheNumbersOfTheRecordsLines) {
  const struct {
    const char16_t* lines;
    const char* json;
  } cases[] = {
      {u"1", "[1]"},
      {u"12", "[12]"},
      {u"0", "[0]"},
      {u"1,1", "[1, 1]"},
      {u"9,10,305", "[9, 10, 305]"},
      {u"2147483647", "[2147483647]"},
  };
  for (const auto& c : cases) {
    const Records records = {FunctionRecord{}, R(u"", u"m", u"0"), R(u"m", u"x", c.lines)};
    const CallTree tree = Built(records);
    const std::string json =
        Printed([&](std::FILE* f) { return WriteJson(f, tree, records, {}, {}); });
    const std::string expected = "{\"text\": \"x (" + platform::ToUtf8(c.lines) +
                                 ")\", \"name\": \"x\", \"file\": \"\", \"lines\": " + c.json +
                                 ", \"children\": []}";
    EXPECT_NE(json.find(expected), std::string::npos) << json;
  }
}

// Only the root, and a tree that was cleared (no root at all).
TEST(TreeWriters, ARootAloneAndAnEmptyTree) {
  const Records records = {FunctionRecord{}, R(u"", u"main", u"0")};
  const CallTree root = Built(records);
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteTextTree(f, root, records); }), "main\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteJson(f, root, records, kFiles, {}); }),
            "{\"root\": {\"text\": \"main\", \"name\": \"main\", \"file\": \"/p/main.m\", "
            "\"lines\": [], \"children\": []}, \"messages\": []}\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteDot(f, root, records); }),
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"main\"];\n}\n");

  CallTree empty;
  empty.Clear();
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteTextTree(f, empty, records); }), "");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteJson(f, empty, records, kFiles, {u"gone"}); }),
            "{\"root\": null, \"messages\": [\"gone\"]}\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteJson(f, empty, records, kFiles, {}); }),
            "{\"root\": null, \"messages\": []}\n");
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteDot(f, empty, records); }),
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n}\n");
}

// A tree written out node by node; nodes with the same key show the same.
struct Node {
  int parent;
  std::size_t key;
  Text name;
  Text file;
  std::vector<std::int32_t> lines;
};

class ListTree final : public NodeTree {
 public:
  explicit ListTree(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  int Count() const override { return static_cast<int>(nodes_.size()); }
  int Parent(int node) const override { return at(node).parent; }
  std::size_t LabelKeys() const override { return nodes_.size(); }
  std::size_t LabelKey(int node) const override { return at(node).key; }
  void AppendLabel(int node, Text& out) const override { out += at(node).name; }
  Text Name(int node) const override { return at(node).name; }
  Text File(int node) const override { return at(node).file; }
  void AppendLines(int node, std::vector<std::int32_t>& out) const override {
    out.insert(out.end(), at(node).lines.begin(), at(node).lines.end());
  }
  bool Repeated(int /*node*/) const override { return false; }

 private:
  const Node& at(int node) const { return nodes_[static_cast<std::size_t>(node - 1)]; }
  std::vector<Node> nodes_;
};

// A name with every character the formats treat specially: JSON escapes
// quotes, backslashes and control characters, DOT quotes and backslashes;
// a line and DOT show control characters (U+0000 to U+001F, U+007F) as
// "\xNN" and nothing else changes. Beyond ASCII is plain UTF-8.
const Text kOdd = u"say \"hi\"\\n\r\n\t\x01\x1f\x7f\u00e9\U0001F600";
const std::string kOddLine = "say \"hi\"\\n\\x0d\\x0a\\x09\\x01\\x1f\\x7f\xC3\xA9\xF0\x9F\x98\x80";
const std::string kOddJson =
    "say \\\"hi\\\"\\\\n\\r\\n\\t\\u0001\\u001f\x7f\xC3\xA9\xF0\x9F\x98\x80";
const std::string kOddDot =
    "say \\\"hi\\\"\\\\n\\\\x0d\\\\x0a\\\\x09\\\\x01\\\\x1f\\\\x7f\xC3\xA9\xF0\x9F\x98\x80";

// root -> odd -> deep, and odd again (the same key) after it at the top.
ListTree OddTree() {
  return ListTree({{0, 0, u"r\"oot", u"C:\\p\\r.m", {}},
                   {1, 1, kOdd, u"/p/\"odd\".m", {1, 2}},
                   {2, 2, u"deep\n", u"", {3}},
                   {1, 1, kOdd, u"/p/\"odd\".m", {1, 2}}});
}

TEST(TreeWriters, NamesNeedingEscapesAsText) {
  EXPECT_EQ(Printed([](std::FILE* f) { return WriteTextTree(f, OddTree()); }),
            "r\"oot\n├── " + kOddLine + "\n│   └── deep\\x0a\n└── " + kOddLine + "\n");
}

TEST(TreeWriters, NamesNeedingEscapesAsJson) {
  const std::string odd = "{\"text\": \"" + kOddJson + "\", \"name\": \"" + kOddJson +
                          "\", \"file\": \"/p/\\\"odd\\\".m\", \"lines\": [1, 2], \"children\": [";
  EXPECT_EQ(Printed([](std::FILE* f) {
              return WriteJson(f, OddTree(), {u"a \"b\"\n", u"c\\d\r"});
            }),
            "{\"root\": {\"text\": \"r\\\"oot\", \"name\": \"r\\\"oot\", "
            "\"file\": \"C:\\\\p\\\\r.m\", \"lines\": [], \"children\": [" +
                odd +
                "{\"text\": \"deep\\n\", \"name\": \"deep\\n\", \"file\": \"\", \"lines\": [3], "
                "\"children\": []}]}, " +
                odd + "]}]}, \"messages\": [\"a \\\"b\\\"\\n\", \"c\\\\d\\r\"]}\n");
}

TEST(TreeWriters, NamesNeedingEscapesAsDot) {
  EXPECT_EQ(Printed([](std::FILE* f) { return WriteDot(f, OddTree()); }),
            "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n"
            "  n1 [label=\"r\\\"oot\"];\n"
            "  n2 [label=\"" +
                kOddDot +
                "\"];\n  n1 -> n2;\n"
                "  n3 [label=\"deep\\\\x0a\"];\n  n2 -> n3;\n"
                "  n4 [label=\"" +
                kOddDot +
                "\"];\n  n1 -> n4;\n"
                "}\n");
}

// Closing a subtree several levels deep, then going on at the top: every
// shape the depth-first order can take from one node to the next.
TEST(TreeWriters, DeepSubtreesCloseBeforeTheirParentsNextSibling) {
  //   1 ── 2 ── 3 ── 4 ── 5
  //   │         └─ 6
  //   └─ 7 ── 8
  const ListTree tree({{0, 0, u"1", u"", {}},
                       {1, 1, u"2", u"", {}},
                       {2, 2, u"3", u"", {}},
                       {3, 3, u"4", u"", {}},
                       {4, 4, u"5", u"", {}},
                       {2, 5, u"6", u"", {}},
                       {1, 6, u"7", u"", {}},
                       {7, 7, u"8", u"", {}}});
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteTextTree(f, tree); }),
            "1\n"
            "├── 2\n"
            "│   ├── 3\n"
            "│   │   └── 4\n"
            "│   │       └── 5\n"
            "│   └── 6\n"
            "└── 7\n"
            "    └── 8\n");
  const auto node = [](const char* name, const std::string& children) {
    return std::string("{\"text\": \"") + name + "\", \"name\": \"" + name +
           "\", \"file\": \"\", \"lines\": [], \"children\": [" + children + "]}";
  };
  EXPECT_EQ(Printed([&](std::FILE* f) { return WriteJson(f, tree, {}); }),
            "{\"root\": " +
                node("1", node("2", node("3", node("4", node("5", ""))) + ", " + node("6", "")) +
                              ", " + node("7", node("8", ""))) +
                ", \"messages\": []}\n");
}

TEST(ListWriters, PathsOnePerLine) {
  const struct {
    std::vector<Text> paths;
    const char* out;
  } cases[] = {
      {{}, ""},
      {{u"/p/a.m"}, "/p/a.m\n"},
      {{u"/p/a.m", u"/p/\u00e9 b.m", u"C:\\x\\\"q\".m"},
       "/p/a.m\n/p/\xC3\xA9 b.m\nC:\\x\\\"q\".m\n"},
      // A line break or an escape sequence in a name stays on its line, inert.
      {{u"/p/two\nlines.m", u"/p/\x1b[31mred.m"}, "/p/two\\x0alines.m\n/p/\\x1b[31mred.m\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printed([&](std::FILE* f) { return WritePaths(f, c.paths); }), c.out);
  }
}

TEST(ListWriters, NamedFilesAsTabbedLinesOrAJsonArray) {
  const struct {
    std::vector<NamedFile> files;
    const char* text;
    const char* json;
  } cases[] = {
      {{}, "", "[]\n"},
      {{{u"a", u"/p/a.m"}}, "a\t/p/a.m\n", "[{\"name\": \"a\", \"file\": \"/p/a.m\"}]\n"},
      {{{u"a", u"/p/a.m"}, {u"b\"", u"C:\\b.m"}, {u"\u00e9", u""}},
       "a\t/p/a.m\nb\"\tC:\\b.m\n\xC3\xA9\t\n",
       "[{\"name\": \"a\", \"file\": \"/p/a.m\"}, {\"name\": \"b\\\"\", \"file\": \"C:\\\\b.m\"}, "
       "{\"name\": \"\xC3\xA9\", \"file\": \"\"}]\n"},
      // A TAB or line break in a name or path keeps the two columns apart.
      {{{u"a\tb", u"/p/a\nb.m"}},
       "a\\x09b\t/p/a\\x0ab.m\n",
       "[{\"name\": \"a\\tb\", \"file\": \"/p/a\\nb.m\"}]\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printed([&](std::FILE* f) { return WriteNamedFiles(f, c.files, false); }), c.text);
    EXPECT_EQ(Printed([&](std::FILE* f) { return WriteNamedFiles(f, c.files, true); }), c.json);
  }
}

TEST(GraphDot, ASmallGraphWhole) {
  CallGraph graph;
  graph.functions = {{u"main", u"/p/main.m", 1, true},
                     {u"a\"b", u"", 2, false},
                     {u"c\\d", u"/p/c.m", 3, false},
                     {u"two\r\nlines", u"", 5, false}};
  graph.calls = {{0, 1, 2, false, true},
                 {1, 2, 1, true, true},
                 {2, 1, 1, true, false},
                 {0, 3, 3, false, true}};
  EXPECT_EQ(
      GraphDot(graph),
      "digraph callgraph {\n"
      "  graph [fontname=\"Helvetica\", fontsize=10, ranksep=0.4, nodesep=0.25];\n"
      "  node [shape=box, fontname=\"Helvetica\", fontsize=10, height=0.3];\n"
      "  edge [fontname=\"Helvetica\", fontsize=8, arrowsize=0.6];\n"
      "  f0 [id=\"f0\", label=\"main\", tooltip=\"/p/main.m\", style=\"filled,bold\", "
      "fillcolor=\"#ffe08a\", penwidth=2];\n"
      "  f1 [id=\"f1\", label=\"a\\\"b\", tooltip=\"a\\\"b\"];\n"
      "  f2 [id=\"f2\", label=\"c\\\\d\", tooltip=\"/p/c.m\"];\n"
      "  f3 [id=\"f3\", label=\"two\\\\x0d\\\\x0alines\", tooltip=\"two\\\\x0d\\\\x0alines\"];\n"
      "  f0 -> f1 [xlabel=\"2\", tooltip=\"2 lines\"];\n"
      "  f1 -> f2 [xlabel=\"1\", tooltip=\"1 line\", style=dashed];\n"
      "  f2 -> f1 [xlabel=\"1\", tooltip=\"1 line\", style=dashed, constraint=false];\n"
      "  f0 -> f3 [xlabel=\"3\", tooltip=\"3 lines\"];\n"
      "}\n");
  EXPECT_EQ(GraphDot(CallGraph{}),
            "digraph callgraph {\n"
            "  graph [fontname=\"Helvetica\", fontsize=10, ranksep=0.4, nodesep=0.25];\n"
            "  node [shape=box, fontname=\"Helvetica\", fontsize=10, height=0.3];\n"
            "  edge [fontname=\"Helvetica\", fontsize=8, arrowsize=0.6];\n"
            "}\n");
}

// One function first reaching many: its spanning calls go round the ranks
// below it, one more for every eight calls, at most four.
TEST(GraphDot, ManySpanningCallsFromOneFunctionAreStaggered) {
  const struct {
    int callees;
    std::vector<int> perMinlen;
  } cases[] = {
      {8, {8, 0, 0, 0}},       // eight fit on one rank
      {9, {5, 4, 0, 0}},       // two ranks
      {16, {8, 8, 0, 0}},      // still two
      {17, {6, 6, 5, 0}},      // three
      {40, {10, 10, 10, 10}},  // five would be wanted: four
  };
  for (const auto& c : cases) {
    CallGraph graph;
    graph.functions.push_back({u"root", u"", 1, true});
    for (int k = 1; k <= c.callees; ++k) {
      graph.functions.push_back({u"g" + DecimalText(k), u"", k + 1, false});
      graph.calls.push_back({0, k, 1, false, true});
    }
    // A call back that did not first reach anything is never staggered.
    graph.calls.push_back({1, 2, 1, false, false});
    const std::string dot = GraphDot(graph);
    std::vector<int> perMinlen(4, 0);
    for (std::size_t at = dot.find(" -> "); at != std::string::npos;
         at = dot.find(" -> ", at + 1)) {
      const std::string line = dot.substr(at, dot.find('\n', at) - at);
      const std::size_t m = line.find("minlen=");
      const int minlen = m == std::string::npos ? 1 : line[m + 7] - '0';
      ASSERT_TRUE(minlen >= 1 && minlen <= 4) << line;
      ++perMinlen[static_cast<std::size_t>(minlen - 1)];
    }
    --perMinlen[0];  // the call back
    EXPECT_EQ(perMinlen, c.perMinlen) << c.callees << " callees\n" << dot;
  }
}

}  // namespace
}  // namespace korvath
