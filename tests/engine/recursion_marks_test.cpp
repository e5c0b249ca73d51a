// Recursion marks: a node is marked when its function (its file, or its name
// when it has none) already stands on its path to the root.

#include "engine/recursion_marks.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvath::engine {
namespace {

struct Node {
  int parent;
  const char16_t* name;
  const char16_t* file;
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
  Text File(int node) const override { return at(node).file; }
  void AppendLines(int, std::vector<std::int32_t>&) const override {}
  bool Repeated(int /*node*/) const override { return false; }

 private:
  const Node& at(int node) const { return nodes_[static_cast<std::size_t>(node - 1)]; }
  std::vector<Node> nodes_;
};

TEST(CallsAnAncestor, MarksNodesWhoseFunctionIsOnTheirOwnPathOnly) {
  const ListTree tree({
      {0, u"main", u"/p/main.m"},  // 1
      {1, u"a", u"/p/a.m"},        // 2
      {2, u"main", u"/p/main.m"},  // 3  back to the root
      {3, u"a", u"/p/a.m"},        // 4  and to 2
      {2, u"b", u"/p/b.m"},        // 5  a sibling of 3 after 3's subtree
      {5, u"/p/b.m", u""},         // 6  a name that reads as b's path is no file
      {6, u"B", u"/p/b.m"},        // 7  another name for b's file is b
      {1, u"a", u"/p/a.m"},        // 8  a again, but its earlier node is done
      {8, u"x", u""},              // 9  functions without a file go by name
      {9, u"x", u""},              // 10
      {1, u"x", u""},              // 11
  });
  EXPECT_EQ(CallsAnAncestor(tree), (std::vector<std::uint8_t>{0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(CallsAnAncestor(ListTree({})), (std::vector<std::uint8_t>{0}));
  EXPECT_EQ(CallsAnAncestor(ListTree({{0, u"r", u""}})), (std::vector<std::uint8_t>{0, 0}));
  // The last node is marked too.
  EXPECT_EQ(CallsAnAncestor(ListTree({{0, u"r", u""}, {1, u"r", u""}})),
            (std::vector<std::uint8_t>{0, 0, 1}));
}

}  // namespace
}  // namespace korvath::engine
