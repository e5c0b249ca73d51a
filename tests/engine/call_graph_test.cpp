// The call graph behind a tree: functions and calling pairs once each,
// cycles, the direction of a callers tree, neighbourhoods and the DOT text.

#include "engine/call_graph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf8.h"

namespace korvath::engine {
namespace {

// A tree written out node by node: parent, function name, call lines.
struct Node {
  int parent;
  const char16_t* name;
  std::vector<std::int32_t> lines;
};

class ListTree final : public NodeTree {
 public:
  explicit ListTree(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  int Count() const override { return static_cast<int>(nodes_.size()); }
  int Parent(int node) const override { return at(node).parent; }
  std::size_t LabelKeys() const override { return nodes_.size() + 1; }
  std::size_t LabelKey(int node) const override { return static_cast<std::size_t>(node); }
  void AppendLabel(int node, Text& out) const override { out += at(node).name; }
  Text Name(int node) const override { return at(node).name; }
  Text File(int node) const override { return u"/p/" + Name(node) + u".m"; }
  void AppendLines(int node, std::vector<std::int32_t>& out) const override {
    out.insert(out.end(), at(node).lines.begin(), at(node).lines.end());
  }
  bool Repeated(int /*node*/) const override { return false; }

 private:
  const Node& at(int node) const { return nodes_[static_cast<std::size_t>(node - 1)]; }
  std::vector<Node> nodes_;
};

// Each call as "from->to lines" with "~" for a cycle and "=" for a call
// that first reached its function.
std::vector<std::string> Calls(const CallGraph& graph) {
  std::vector<std::string> out;
  for (const auto& call : graph.calls) {
    out.push_back(platform::ToUtf8(graph.functions[static_cast<std::size_t>(call.from)].name) +
                  (call.cycle ? "~" : "-") + (call.spanning ? "=>" : ">") +
                  platform::ToUtf8(graph.functions[static_cast<std::size_t>(call.to)].name) + " " +
                  std::to_string(call.lines));
  }
  return out;
}

std::vector<std::string> Names(const CallGraph& graph) {
  std::vector<std::string> out;
  for (const auto& function : graph.functions) out.push_back(platform::ToUtf8(function.name));
  return out;
}

TEST(CallGraphTest, EachFunctionAndEachCallingPairOnceWithItsCycles) {
  const ListTree tree({{0, u"main", {}},
                       {1, u"a", {2, 3}},
                       {2, u"b", {4}},
                       {3, u"a", {5}},  // b calls a back
                       {1, u"b", {6}},
                       {5, u"a", {5}},  // the same pair again
                       {1, u"c", {7, 7}},
                       {7, u"c", {1}}});  // c calls itself
  const CallGraph graph = GraphOfTree(tree, TreeKind::Calls);
  EXPECT_EQ(Names(graph), (std::vector<std::string>{"main", "a", "b", "c"}));
  EXPECT_EQ(Calls(graph), (std::vector<std::string>{"main-=>a 2", "a~=>b 1", "b~>a 1", "main->b 1",
                                                    "main-=>c 1", "c~>c 1"}));
  EXPECT_TRUE(graph.functions[0].root);
  EXPECT_FALSE(graph.functions[1].root);
  EXPECT_EQ(graph.functions[2].treeNode, 3);
  EXPECT_EQ(graph.functions[2].file, u"/p/b.m");
  EXPECT_EQ(graph.functionOfNode, (std::vector<int>{-1, 0, 1, 2, 1, 2, 1, 3, 3}));
}

TEST(CallGraphTest, ACallersTreeCallsTowardsItsRoot) {
  const ListTree tree({{0, u"h", {}}, {1, u"g1", {4}}, {2, u"g2", {9}}, {1, u"g2", {3}}});
  EXPECT_EQ(Calls(GraphOfTree(tree, TreeKind::Callers)),
            (std::vector<std::string>{"g1-=>h 1", "g2-=>g1 1", "g2->h 1"}));
}

// A chain f0 -> f1 -> ... -> f999, with f600 also calling f501 and f700
// calling f499.
CallGraph Chain() {
  CallGraph graph;
  for (int f = 0; f < 1000; ++f) {
    graph.functions.push_back({u"f" + platform::FromUtf8(std::to_string(f)), {}, f + 1, f == 0});
    if (f > 0) graph.calls.push_back({f - 1, f, 1, false});
  }
  graph.calls.push_back({600, 501, 1, false});
  graph.calls.push_back({700, 499, 1, false});
  return graph;
}

TEST(CallGraphTest, NeighbourhoodWalksEachDirectionOnItsOwn) {
  // f600 is only reached forwards then backwards: not within two calls.
  const CallGraph near = Neighbourhood(Chain(), 500, 2);
  EXPECT_EQ(Names(near),
            (std::vector<std::string>{"f498", "f499", "f500", "f501", "f502", "f700"}));
  // Each function reached once, by the call the walk took, which ranks it.
  EXPECT_EQ(Calls(near),
            (std::vector<std::string>{"f498-=>f499 1", "f499-=>f500 1", "f500-=>f501 1",
                                      "f501-=>f502 1", "f700-=>f499 1"}));
  EXPECT_EQ(
      Calls(Neighbourhood(
          GraphOfTree(ListTree({{0, u"m", {}}, {1, u"a", {2}}, {2, u"m", {3}}}), TreeKind::Calls),
          1, 1)),
      (std::vector<std::string>{"m~>a 1", "a~=>m 1"}));
  EXPECT_EQ(near.functions[2].treeNode, 501);
  EXPECT_EQ(Names(Neighbourhood(Chain(), 0, 1)), (std::vector<std::string>{"f0", "f1"}));
}

// Calls in a cycle are dashed; only those that first reached a function
// rank the picture, so long cycles do not stretch it.
TEST(CallGraphTest, DotNamesEachNodeAndLaysLargeGraphsOutQuickly) {
  const ListTree tree(
      {{0, u"main", {}}, {1, u"a", {2, 3}}, {2, u"a", {4}}, {2, u"b", {5}}, {4, u"a", {6}}});
  const std::string dot = GraphDot(GraphOfTree(tree, TreeKind::Calls));
  EXPECT_NE(dot.find("f0 [id=\"f0\", label=\"main\", tooltip=\"/p/main.m\", style=\"filled"),
            std::string::npos)
      << dot;
  EXPECT_NE(dot.find("f0 -> f1 [xlabel=\"2\", tooltip=\"2 lines\"];"), std::string::npos);
  EXPECT_NE(
      dot.find("f1 -> f1 [xlabel=\"1\", tooltip=\"1 line\", style=dashed, constraint=false];"),
      std::string::npos);
  EXPECT_NE(dot.find("f1 -> f2 [xlabel=\"1\", tooltip=\"1 line\", style=dashed];"),
            std::string::npos);
  EXPECT_NE(
      dot.find("f2 -> f1 [xlabel=\"1\", tooltip=\"1 line\", style=dashed, constraint=false];"),
      std::string::npos);
  EXPECT_EQ(dot.find("mclimit"), std::string::npos);

  CallGraph large = Chain();
  large.calls.resize(kQuickLayoutCalls + 1);
  EXPECT_NE(GraphDot(large).find("mclimit=0.1"), std::string::npos);
  EXPECT_EQ(GraphDot(large).find("splines"), std::string::npos);
  large.calls.resize(kStraightEdgeCalls + 1, large.calls.front());
  EXPECT_NE(GraphDot(large).find("splines=false"), std::string::npos);
}

// A function that first reached more than eight others staggers them over
// one more rank for each eight, up to four ranks; its other calls and
// smaller fans keep dot's default length.
TEST(CallGraphTest, WideFanOutsAreStaggeredOverUpToFourRanks) {
  struct Case {
    int fan;
    std::vector<std::size_t> minlens;  // how many calls have minlen=2, 3, 4, 5
  };
  for (const Case& c : std::vector<Case>{
           {8, {0, 0, 0, 0}}, {9, {4, 0, 0, 0}}, {20, {7, 6, 0, 0}}, {40, {10, 10, 10, 0}}}) {
    SCOPED_TRACE(c.fan);
    std::vector<std::u16string> names;
    for (int i = 0; i < c.fan; ++i) names.push_back(u"g" + platform::FromUtf8(std::to_string(i)));
    std::vector<Node> fan{{0, u"root", {}}};
    for (const auto& name : names) fan.push_back({1, name.c_str(), {2}});
    fan.push_back({2, u"g1", {3}});  // a call that reached nothing new
    const std::string dot = GraphDot(GraphOfTree(ListTree(fan), TreeKind::Calls));
    std::vector<std::size_t> counts;
    for (int length = 2; length <= 5; ++length) {
      const std::string attribute = "minlen=" + std::to_string(length) + "]";
      std::size_t n = 0;
      for (auto at = dot.find(attribute); at != std::string::npos;
           at = dot.find(attribute, at + 1)) {
        ++n;
      }
      counts.push_back(n);
    }
    EXPECT_EQ(counts, c.minlens) << dot;
    EXPECT_NE(dot.find("f1 -> f2 [xlabel=\"1\", tooltip=\"1 line\"];"), std::string::npos) << dot;
    if (c.fan > 8) {
      EXPECT_NE(dot.find("f0 -> f2 [xlabel=\"1\", tooltip=\"1 line\", minlen=2];"),
                std::string::npos);
    }
  }
}

}  // namespace
}  // namespace korvath::engine
