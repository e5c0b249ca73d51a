#include "engine/call_graph.h"

#include <algorithm>
#include <unordered_map>

#include "engine/buffered_output.h"
#include "engine/tree_functions.h"
#include "platform/absolute_path.h"

namespace korvath::engine {
namespace {

constexpr int kStaggerFrom = 8;  // spanning calls on one function before staggering
constexpr int kStaggerRanks = 4;

// Strongly connected components (Tarjan's, with an explicit stack): a call
// lies in a cycle when both ends share a component.
std::vector<int> Components(const CallGraph& graph) {
  const std::size_t n = graph.functions.size();
  std::vector<std::vector<int>> out(n);
  for (const auto& call : graph.calls) out[static_cast<std::size_t>(call.from)].push_back(call.to);
  std::vector<int> index(n, -1), low(n, 0), component(n, -1), stack;
  std::vector<char> onStack(n, 0);
  int next = 0, components = 0;
  struct Frame {
    int v;
    std::size_t edge;
  };
  for (std::size_t start = 0; start < n; ++start) {
    if (index[start] >= 0) continue;
    std::vector<Frame> frames{{static_cast<int>(start), 0}};
    index[start] = low[start] = next++;
    stack.push_back(static_cast<int>(start));
    onStack[start] = 1;
    while (!frames.empty()) {
      Frame& f = frames.back();
      const auto v = static_cast<std::size_t>(f.v);
      if (f.edge < out[v].size()) {
        const auto w = static_cast<std::size_t>(out[v][f.edge++]);
        if (index[w] < 0) {
          index[w] = low[w] = next++;
          stack.push_back(static_cast<int>(w));
          onStack[w] = 1;
          frames.push_back({static_cast<int>(w), 0});
        } else if (onStack[w] != 0) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      if (low[v] == index[v]) {
        int w = -1;
        do {
          w = stack.back();
          stack.pop_back();
          onStack[static_cast<std::size_t>(w)] = 0;
          component[static_cast<std::size_t>(w)] = components;
        } while (w != f.v);
        ++components;
      }
      frames.pop_back();
      if (!frames.empty()) {
        const auto u = static_cast<std::size_t>(frames.back().v);
        low[u] = std::min(low[u], low[v]);
      }
    }
  }
  return component;
}

std::uint64_t PairKey(int from, int to) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) |
         static_cast<std::uint32_t>(to);
}

// A function that first reached dozens of others would lay them all out
// on one rank, a band many times wider than high: its spanning calls are
// staggered over up to four ranks instead. Gives each call's minimum length
// in ranks (dot's minlen), by place in graph.calls: 1 but for staggered ones.
std::vector<int> StaggeredLengths(const CallGraph& graph) {
  std::vector<int> spanningOut(graph.functions.size(), 0), spanningIn(graph.functions.size(), 0);
  for (const auto& call : graph.calls) {
    if (!call.spanning) continue;
    ++spanningOut[static_cast<std::size_t>(call.from)];
    ++spanningIn[static_cast<std::size_t>(call.to)];
  }
  std::vector<int> minLengths(graph.calls.size(), 1);
  std::vector<int> placedOut(graph.functions.size(), 0), placedIn(graph.functions.size(), 0);
  for (std::size_t c = 0; c < graph.calls.size(); ++c) {
    const auto& call = graph.calls[c];
    if (!call.spanning) continue;
    const auto from = static_cast<std::size_t>(call.from), to = static_cast<std::size_t>(call.to);
    const bool byCaller = spanningOut[from] > kStaggerFrom;
    const int count = byCaller ? spanningOut[from] : spanningIn[to];
    const int placed = byCaller ? placedOut[from]++ : placedIn[to]++;
    const int ranks = std::min(kStaggerRanks, (count + kStaggerFrom - 1) / kStaggerFrom);
    minLengths[c] += placed % ranks;
  }
  return minLengths;
}

}  // namespace

CallGraph GraphOfTree(const NodeTree& tree, TreeKind kind) {
  CallGraph graph;
  TreeFunctions functions(tree);
  std::unordered_map<std::uint64_t, int> callOf;  // (from, to) -> place in calls
  std::vector<std::int32_t> lines;
  graph.functionOfNode.assign(static_cast<std::size_t>(tree.Count()) + 1, -1);
  for (int node = 1; node <= tree.Count(); ++node) {
    const int f = functions.Of(node);
    graph.functionOfNode[static_cast<std::size_t>(node)] = f;
    const bool first = f == static_cast<int>(graph.functions.size());
    if (first)
      graph.functions.push_back({tree.Name(node), tree.File(node), node, node == 1, false});
    if (node == 1) continue;
    const int parent = graph.functionOfNode[static_cast<std::size_t>(tree.Parent(node))];
    const int from = kind == TreeKind::Calls ? parent : f;
    const int to = kind == TreeKind::Calls ? f : parent;
    if (!callOf.try_emplace(PairKey(from, to), static_cast<int>(graph.calls.size())).second)
      continue;
    lines.clear();
    tree.AppendLines(node, lines);
    std::sort(lines.begin(), lines.end());
    const auto distinct = std::unique(lines.begin(), lines.end()) - lines.begin();
    graph.calls.push_back({from, to, static_cast<int>(distinct), false, first});
  }
  const std::vector<int> component = Components(graph);
  for (auto& call : graph.calls) {
    call.cycle = component[static_cast<std::size_t>(call.from)] ==
                 component[static_cast<std::size_t>(call.to)];
  }
  return graph;
}

void AddCutCalls(CallGraph& graph, const NodeTree& tree, const ProgramIndex& index, TreeKind kind) {
  if (tree.NodeLimit() == 0 ||
      graph.functionOfNode.size() != static_cast<std::size_t>(tree.Count()) + 1) {
    return;
  }
  const std::size_t known = graph.functions.size();
  std::vector<char> expanded(known, 0), cut(known, 0);
  for (int node = 1; node <= tree.Count(); ++node) {
    const auto f = static_cast<std::size_t>(graph.functionOfNode[static_cast<std::size_t>(node)]);
    if (!tree.Repeated(node)) expanded[f] = 1;
    if (tree.Cut(node) > 0) cut[f] = 1;
  }
  std::unordered_map<Text, int> byFile;
  for (std::size_t f = 0; f < known; ++f) {
    if (!graph.functions[f].file.empty())
      byFile.try_emplace(graph.functions[f].file, static_cast<int>(f));
  }
  std::unordered_map<std::uint64_t, int> callOf;
  for (std::size_t c = 0; c < graph.calls.size(); ++c) {
    callOf.emplace(PairKey(graph.calls[c].from, graph.calls[c].to), static_cast<int>(c));
  }
  const auto& programs = index.Programs();
  // Trees give files as absolute normal paths, the index as the search
  // spelled them: where the two differ (another separator, a relative
  // folder) the index's are made normal too, once.
  std::unordered_map<Text, int> normal;
  const auto programAt = [&](const Text& file) {
    if (const int p = index.ProgramAt(file); p >= 0) return p;
    if (normal.empty()) {
      for (std::size_t p = 0; p < programs.size(); ++p) {
        normal.try_emplace(platform::AbsoluteNormalPath(programs[p].path), static_cast<int>(p));
      }
    }
    const auto it = normal.find(file);
    return it == normal.end() ? -1 : it->second;
  };
  bool added = false;
  for (std::size_t f = 0; f < known; ++f) {
    if (cut[f] == 0 && expanded[f] != 0) continue;
    const int program = graph.functions[f].file.empty() ? -1 : programAt(graph.functions[f].file);
    if (program < 0) continue;
    graph.functions[f].cut = true;
    const ProgramIndex::Program& cutProgram = programs[static_cast<std::size_t>(program)];
    const bool callers = kind == TreeKind::Callers;
    // `calls` from `g` to `h`, one of them the cut program.
    const auto addCalls = [&](int g, int h, const ProgramIndex::Calls& calls) {
      const auto& other = programs[static_cast<std::size_t>(callers ? g : h)];
      Text file = platform::AbsoluteNormalPath(other.path);
      const auto [at, isNew] = byFile.try_emplace(file, static_cast<int>(graph.functions.size()));
      if (isNew) graph.functions.push_back({other.name, std::move(file), 0, false, false});
      const int from = callers ? at->second : static_cast<int>(f);
      const int to = callers ? static_cast<int>(f) : at->second;
      if (!callOf.try_emplace(PairKey(from, to), static_cast<int>(graph.calls.size())).second) {
        return;
      }
      graph.calls.push_back({from, to, static_cast<int>(calls.lines.size()), false, isNew});
      added = true;
    };
    if (callers) {
      for (const int g : cutProgram.callers) addCalls(g, program, *index.CallsOf(g, program));
    } else {
      for (const auto& calls : cutProgram.callees) addCalls(program, calls.program, calls);
    }
  }
  if (!added) return;
  const std::vector<int> component = Components(graph);
  for (auto& call : graph.calls) {
    call.cycle = component[static_cast<std::size_t>(call.from)] ==
                 component[static_cast<std::size_t>(call.to)];
  }
}

CallGraph Neighbourhood(const CallGraph& graph, int center, int levels) {
  const std::size_t n = graph.functions.size();
  // Calls by place in graph.calls, leaving each function and reaching it.
  std::vector<std::vector<int>> out(n), in(n);
  for (std::size_t c = 0; c < graph.calls.size(); ++c) {
    out[static_cast<std::size_t>(graph.calls[c].from)].push_back(static_cast<int>(c));
    in[static_cast<std::size_t>(graph.calls[c].to)].push_back(static_cast<int>(c));
  }
  std::vector<char> kept(n, 0);
  // The call by which the walk first reached each function: the picture is
  // ranked by these, callers above the centre and callees below it.
  std::vector<char> spanning(graph.calls.size(), 0);
  kept[static_cast<std::size_t>(center)] = 1;
  for (const bool forward : {true, false}) {
    const auto& calls = forward ? out : in;
    std::vector<char> seen(n, 0);  // each direction walks on its own
    std::vector<int> level{center};
    seen[static_cast<std::size_t>(center)] = 1;
    for (int step = 0; step < levels && !level.empty(); ++step) {
      std::vector<int> nextLevel;
      for (const int f : level) {
        for (const int c : calls[static_cast<std::size_t>(f)]) {
          const auto& call = graph.calls[static_cast<std::size_t>(c)];
          const auto g = static_cast<std::size_t>(forward ? call.to : call.from);
          if (seen[g] != 0) continue;
          seen[g] = 1;
          nextLevel.push_back(static_cast<int>(g));
          if (kept[g] == 0) spanning[static_cast<std::size_t>(c)] = 1;
          kept[g] = 1;
        }
      }
      level = std::move(nextLevel);
    }
  }
  CallGraph near;
  std::vector<int> renumbered(n, -1);
  for (std::size_t f = 0; f < n; ++f) {
    if (kept[f] == 0) continue;
    renumbered[f] = static_cast<int>(near.functions.size());
    near.functions.push_back(graph.functions[f]);
  }
  for (std::size_t c = 0; c < graph.calls.size(); ++c) {
    const auto& call = graph.calls[c];
    const int from = renumbered[static_cast<std::size_t>(call.from)];
    const int to = renumbered[static_cast<std::size_t>(call.to)];
    if (from >= 0 && to >= 0)
      near.calls.push_back({from, to, call.lines, call.cycle, spanning[c] != 0});
  }
  return near;
}

std::string GraphDot(const CallGraph& graph) {
  std::string out =
      "digraph callgraph {\n"
      "  graph [fontname=\"Helvetica\", fontsize=10, ranksep=0.4, nodesep=0.25];\n"
      "  node [shape=box, fontname=\"Helvetica\", fontsize=10, height=0.3];\n"
      "  edge [fontname=\"Helvetica\", fontsize=8, arrowsize=0.6];\n";
  // dot's crossing reduction and placement grow steeply with the calls: a
  // 300-function graph of 900 calls takes seconds with the defaults. Fewer
  // passes keep it under one; past 2,000 calls routing the curves costs
  // more than all the rest, so the edges go straight.
  if (graph.calls.size() > kQuickLayoutCalls) {
    out += "  graph [mclimit=0.1, nslimit=1, nslimit1=1";
    if (graph.calls.size() > kStraightEdgeCalls) out += ", splines=false";
    out += "];\n";
  }
  for (std::size_t f = 0; f < graph.functions.size(); ++f) {
    const auto& function = graph.functions[f];
    out += "  f" + std::to_string(f) + " [id=\"f" + std::to_string(f) + "\", label=\"";
    AppendText(out, function.name, Escape::Dot);
    out += "\", tooltip=\"";
    AppendText(out, function.file.empty() ? function.name : function.file, Escape::Dot);
    if (function.cut) AppendText(out, u"\n(calls cut from the tree: from the index)", Escape::Dot);
    out += '"';
    if (function.root) {
      out += function.cut ? ", style=\"filled,bold,dashed\"" : ", style=\"filled,bold\"";
      out += ", fillcolor=\"#ffe08a\", penwidth=2";
    } else if (function.cut) {
      out += ", style=\"dashed\"";
    }
    out += "];\n";
  }
  const std::vector<int> minLengths = StaggeredLengths(graph);
  for (std::size_t c = 0; c < graph.calls.size(); ++c) {
    const auto& call = graph.calls[c];
    const std::string lines = std::to_string(call.lines);
    const int minLength = minLengths[c];
    out += "  f";
    out += std::to_string(call.from);
    out += " -> f";
    out += std::to_string(call.to);
    out += " [xlabel=\"";
    out += lines;
    out += "\", tooltip=\"";
    out += lines;
    out += call.lines == 1 ? " line\"" : " lines\"";
    if (minLength > 1) out += ", minlen=" + std::to_string(minLength);
    // dot ranks by every call, so a cycle through hundreds of functions
    // stretches over hundreds of ranks and takes minutes; within cycles
    // only the calls that first reached a function set the ranks.
    if (call.cycle) out += call.spanning ? ", style=dashed" : ", style=dashed, constraint=false";
    out += "];\n";
  }
  out += "}\n";
  return out;
}

}  // namespace korvath::engine
