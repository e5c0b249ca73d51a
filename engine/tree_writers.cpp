#include "engine/tree_writers.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

#include "engine/buffered_output.h"
#include "engine/messages.h"
#include "platform/absolute_path.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

// The encoded text of every node, made once per label key: a tree of a
// million nodes shows only a few tens of thousands of distinct records.
// In JSON a label is every field of the node before its children.
class Labels {
 public:
  Labels(const NodeTree& tree, Escape escape)
      : tree_(tree), escape_(escape), at_(tree.LabelKeys(), kUnset) {}

  std::string_view Of(int node) {
    const std::size_t key = tree_.LabelKey(node);
    if (at_[key] == kUnset) {
      const std::size_t begin = arena_.size();
      label_.clear();
      tree_.AppendLabel(node, label_);
      if (escape_ == Escape::Json) {
        AppendJsonFields(node);
      } else {
        AppendText(arena_, label_, escape_);
      }
      at_[key] = Span{begin, arena_.size() - begin};
    }
    return std::string_view(arena_).substr(at_[key].begin, at_[key].size);
  }
  // The files met so far whose names are not UTF-8, in the order met.
  const std::vector<Text>& NotUtf8Files() const { return notUtf8_; }

 private:
  struct Span {
    std::size_t begin;
    std::size_t size;
    bool operator==(const Span&) const = default;
  };
  static constexpr Span kUnset{std::numeric_limits<std::size_t>::max(), 0};

  void AppendJsonFields(int node) {
    const Text file = tree_.File(node);
    if (platform::HasEscapedBytes(file) &&
        std::find(notUtf8_.begin(), notUtf8_.end(), file) == notUtf8_.end()) {
      notUtf8_.push_back(file);
    }
    arena_ += "\"text\": " + JsonString(label_) + ", \"name\": " + JsonString(tree_.Name(node)) +
              ", \"file\": " + JsonString(file) + ", \"lines\": [";
    lines_.clear();
    tree_.AppendLines(node, lines_);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (i != 0) arena_ += ", ";
      arena_ += std::to_string(lines_[i]);
    }
    arena_ += "]";
    const NodeTree::Marks marks = tree_.MarksOf(node);
    if (!marks.kind.empty()) arena_ += ", \"kind\": " + JsonString(marks.kind);
    if (!marks.certainty.empty()) arena_ += ", \"certainty\": " + JsonString(marks.certainty);
    if (!marks.via.empty()) arena_ += ", \"via\": " + JsonString(marks.via);
  }

  const NodeTree& tree_;
  Escape escape_;
  std::string arena_;
  Text label_;
  std::vector<std::int32_t> lines_;
  std::vector<Span> at_;
  std::vector<Text> notUtf8_;
};

// Whether each node is the last child of its parent.
std::vector<char> LastChildFlags(const NodeTree& tree) {
  const auto count = static_cast<std::size_t>(tree.Count());
  std::vector<int> lastChild(count + 1, 0);
  for (int node = 2; node <= tree.Count(); ++node) {
    lastChild[static_cast<std::size_t>(tree.Parent(node))] = node;
  }
  std::vector<char> last(count + 1, 0);
  for (int node = 2; node <= tree.Count(); ++node) {
    const auto parent = static_cast<std::size_t>(tree.Parent(node));
    last[static_cast<std::size_t>(node)] = static_cast<char>(lastChild[parent] == node);
  }
  return last;
}

}  // namespace

// The root's text is the tree's own; every other node shows its record.
std::size_t RecordTree::LabelKey(int node) const {
  return node == 1 ? records_.size() : static_cast<std::size_t>(tree_.Record(node));
}

void RecordTree::AppendLabel(int node, Text& out) const {
  if (node == 1) {
    out += tree_.RootText();
  } else {
    NodeLabel::Of(records_, tree_.Record(node)).AppendTextTo(out);
  }
}

Text RecordTree::Name(int node) const {
  return node == 1 ? tree_.RootText() : records_[static_cast<std::size_t>(tree_.Record(node))].name;
}

Text RecordTree::File(int node) const {
  if (filePaths_ == nullptr) return {};
  const auto it = filePaths_->find(Name(node));
  return it == filePaths_->end() ? Text() : platform::AbsoluteNormalPath(it->second);
}

NodeTree::Marks RecordTree::MarksOf(int node) const {
  const FunctionRecord& rec = records_[static_cast<std::size_t>(tree_.Record(node))];
  return {rec.kind, rec.certainty, rec.via};
}

bool RecordTree::Repeated(int node) const {
  return node != 1 && !records_[static_cast<std::size_t>(tree_.Record(node))].alsoCalledBy.empty();
}

// The numbers of the record's lines text in order, repeats kept.
void RecordTree::AppendLines(int node, std::vector<std::int32_t>& out) const {
  if (node == 1) return;
  const Text& lines = records_[static_cast<std::size_t>(tree_.Record(node))].lines;
  std::int32_t value = 0;
  for (std::size_t i = 0; i <= lines.size(); ++i) {
    if (i == lines.size() || lines[i] == u',') {
      out.push_back(value);
      value = 0;
    } else {
      value = value * 10 + (lines[i] - u'0');
    }
  }
}

Result WriteTextTree(std::FILE* file, const CallTree& tree,
                     const std::vector<FunctionRecord>& records) {
  return WriteTextTree(file, RecordTree(tree, records));
}

Result WriteJson(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records,
                 const std::unordered_map<Text, Text>& filePaths,
                 const std::vector<Text>& messages) {
  return WriteJson(file, RecordTree(tree, records, &filePaths), messages);
}

Result WriteDot(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records) {
  return WriteDot(file, RecordTree(tree, records));
}

Text IndentedSubtreeText(const NodeTree& tree, int node) {
  Text text;
  if (node <= 0 || node > tree.Count()) return text;
  // Depth first, the subtree is the run of nodes after `node` whose parent
  // lies in it; `depth` holds each one's level below `node`.
  std::vector<int> depth{0};
  for (int n = node; n <= tree.Count(); ++n) {
    if (n != node) {
      const int parent = tree.Parent(n);
      if (parent < node) break;
      depth.push_back(depth[static_cast<std::size_t>(parent - node)] + 1);
    }
    text.append(2 * static_cast<std::size_t>(depth.back()), u' ');
    tree.AppendLabel(n, text);
    text += u'\n';
  }
  return text;
}

Result WriteTextTree(std::FILE* file, const NodeTree& tree) {
  BufferedOutput out(file);
  const int count = tree.Count();
  Labels labels(tree, Escape::Line);
  const std::vector<char> last = LastChildFlags(tree);
  // Nodes come in depth-first order; `path` holds the ancestors of the
  // current node, root first.
  std::vector<int> path;
  std::string prefix;
  std::vector<std::size_t> prefixAt;
  for (int node = 1; node <= count; ++node) {
    const int parent = tree.Parent(node);
    while (!path.empty() && path.back() != parent) {
      path.pop_back();
      prefix.resize(prefixAt.back());
      prefixAt.pop_back();
    }
    const bool isLast = last[static_cast<std::size_t>(node)] != 0;
    if (node != 1) out << prefix << (isLast ? "└── " : "├── ");
    out << labels.Of(node) << "\n";
    prefixAt.push_back(prefix.size());
    if (node != 1) prefix += isLast ? "    " : "│   ";
    path.push_back(node);
  }
  return out.Finish();
}

Result WriteJson(std::FILE* file, const NodeTree& tree, const std::vector<Text>& messages) {
  BufferedOutput out(file);
  out << "{\"root\": ";
  const int count = tree.Count();
  Labels labels(tree, Escape::Json);
  if (count == 0) {
    out << "null";
  } else {
    std::vector<int> path;
    for (int node = 1; node <= count; ++node) {
      const int parent = tree.Parent(node);
      bool firstChild = true;
      while (!path.empty() && path.back() != parent) {
        out << "]}";
        path.pop_back();
        firstChild = false;
      }
      // A node directly after its parent is the parent's first child.
      if (node != 1 && parent == node - 1) firstChild = true;
      if (node != 1 && !firstChild) out << ", ";
      out << "{" << labels.Of(node);
      if (const int cut = tree.Cut(node); cut > 0) out << ", \"cut\": " << cut;
      out << ", \"children\": [";
      path.push_back(node);
    }
    for (std::size_t k = 0; k < path.size(); ++k) out << "]}";
  }
  out << ", \"messages\": [";
  for (std::size_t k = 0; k < messages.size(); ++k) {
    if (k != 0) out << ", ";
    out << JsonString(messages[k]);
  }
  for (std::size_t k = 0; k < labels.NotUtf8Files().size(); ++k) {
    if (k != 0 || !messages.empty()) out << ", ";
    out << JsonString(messages::FileNameNotUtf8(labels.NotUtf8Files()[k]));
  }
  out << "]}\n";
  return out.Finish();
}

Result WriteDot(std::FILE* file, const NodeTree& tree) {
  BufferedOutput out(file);
  out << "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n";
  const int count = tree.Count();
  Labels labels(tree, Escape::Dot);
  for (int node = 1; node <= count; ++node) {
    out << "  n" << node << " [label=\"" << labels.Of(node) << "\"];\n";
    if (node != 1) out << "  n" << tree.Parent(node) << " -> n" << node << ";\n";
  }
  out << "}\n";
  return out.Finish();
}

}  // namespace korvath::engine
