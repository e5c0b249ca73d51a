#include "cli/tree_writers.h"

#include <string>

#include "platform/utf8.h"

namespace korvath::cli {
namespace {

class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) { buffer_.reserve(kChunk + 4096); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { Flush(); }

  Output& operator<<(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kChunk) Flush();
    return *this;
  }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;
  std::FILE* file_;
  std::string buffer_;
};

std::string JsonString(TextView text) {
  std::string out = "\"";
  for (const char c : platform::ToUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string DotString(TextView text) {
  std::string out = "\"";
  for (const char c : platform::ToUtf8(text)) {
    if (c == '"' || c == '\\') out.push_back('\\');
    if (c == '\n' || c == '\r') {
      out += "\\n";
      continue;
    }
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// Whether each node is the last child of its parent.
std::vector<bool> LastChildFlags(const CallTree& tree) {
  const int count = tree.Count();
  std::vector<int> lastChild(static_cast<std::size_t>(count) + 1, 0);
  for (int node = 2; node <= count; ++node) lastChild[static_cast<std::size_t>(tree.Parent(node))] = node;
  std::vector<bool> last(static_cast<std::size_t>(count) + 1, false);
  for (int node = 2; node <= count; ++node) {
    last[static_cast<std::size_t>(node)] = lastChild[static_cast<std::size_t>(tree.Parent(node))] == node;
  }
  return last;
}

}  // namespace

void WriteTextTree(std::FILE* file, const CallTree& tree,
                   const std::vector<FunctionRecord>& records) {
  const int count = tree.Count();
  if (count == 0) return;
  Output out(file);
  const std::vector<bool> last = LastChildFlags(tree);
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
    if (node == 1) {
      out << platform::ToUtf8(tree.NodeText(node, records)) << "\n";
    } else {
      const bool isLast = last[static_cast<std::size_t>(node)];
      out << prefix << (isLast ? "└── " : "├── ")
          << platform::ToUtf8(tree.NodeText(node, records)) << "\n";
    }
    prefixAt.push_back(prefix.size());
    if (node != 1) prefix += last[static_cast<std::size_t>(node)] ? "    " : "│   ";
    path.push_back(node);
  }
}

void WriteJson(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records,
               const std::vector<Text>& messages) {
  Output out(file);
  out << "{\"root\": ";
  const int count = tree.Count();
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
      if (node != 1 && tree.Parent(node) == node - 1) firstChild = true;
      if (node != 1 && !firstChild) out << ", ";
      out << "{\"text\": " << JsonString(tree.NodeText(node, records)) << ", \"children\": [";
      path.push_back(node);
    }
    for (std::size_t k = 0; k < path.size(); ++k) out << "]}";
  }
  out << ", \"messages\": [";
  for (std::size_t k = 0; k < messages.size(); ++k) {
    if (k != 0) out << ", ";
    out << JsonString(messages[k]);
  }
  out << "]}\n";
}

void WriteDot(std::FILE* file, const CallTree& tree, const std::vector<FunctionRecord>& records) {
  Output out(file);
  out << "digraph calltree {\n  node [shape=box, fontname=\"Helvetica\"];\n";
  const int count = tree.Count();
  for (int node = 1; node <= count; ++node) {
    const std::string id = std::to_string(node);
    out << "  n" << id << " [label=" << DotString(tree.NodeText(node, records)) << "];\n";
    if (node != 1) out << "  n" << std::to_string(tree.Parent(node)) << " -> n" << id << ";\n";
  }
  out << "}\n";
}

}  // namespace korvath::cli
