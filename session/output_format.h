#pragma once
// Every format Korvath writes, in one table: the command line's --format
// names, the Save dialogs' filters and suffixes, and the writers behind
// both, so an export in any window says why it failed as the command does.

#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/call_graph.h"
#include "engine/text.h"
#include "engine/tree_writers.h"
#include "platform/result.h"
#include "session/graph_plan.h"

namespace korvath::session {

enum class OutputFormat {
  Text,   // the tree, indented
  Json,   // the tree, every node {text, name, file, lines, children}
  Dot,    // the tree as a Graphviz digraph, one node per tree node
  Files,  // the path of every file a run found
  Graph,  // the call graph (each function once) as DOT
  Svg,    // the call graph laid out
  Png,    // the laid-out picture as an image (the desktop program only)
};

struct OutputFormatInfo {
  OutputFormat format;
  std::string_view name;    // as --format and the exports name it
  std::string_view filter;  // a Save dialog's filter
  // The file suffixes that choose it, lower case, blank-separated.
  std::string_view suffixes;
};

const OutputFormatInfo& InfoOf(OutputFormat format);
std::optional<OutputFormat> OutputFormatNamed(std::string_view name);

// What each export offers, the first being the default.
std::span<const OutputFormat> TreeExportFormats();     // text, json, dot
std::span<const OutputFormat> PictureExportFormats();  // svg, png

// The format a Save dialog's answer asks for: the one of `offered` whose
// suffix the file has, else the one whose filter was selected.
OutputFormat FormatOfSaved(std::string_view suffix, OutputFormat selected,
                           std::span<const OutputFormat> offered);

// Lays DOT out and renders it in a format Graphviz names ("svg"). Empty
// where the build has no Graphviz.
using GraphRenderer =
    std::function<platform::Result(const std::string& dot, const char* format, std::string& out)>;

// Whether writing `format` takes a renderer: the graph formats.
bool NeedsGraphviz(OutputFormat format);

// Whether `format` can be written by this build; UsageError, described, when
// the graph formats need Graphviz it lacks.
platform::Result FormatAvailable(OutputFormat format, const GraphRenderer& renderer);

// A tree in `format` (Text, Json, Dot, Graph or Svg), the run's messages in
// the JSON object. Invalid when Graphviz refused the graph; TooLarge, with
// the graph's size ("N functions, M calls") and nothing written, when a
// picture would pass `limits`.
platform::Result WriteTree(std::FILE* out, OutputFormat format, const engine::NodeTree& tree,
                           engine::TreeKind kind, const std::vector<Text>& messages,
                           const GraphRenderer& renderer, const GraphLimits& limits = {});

// Writes `path` with `write`; the reason is the system's when it cannot be
// opened or written. A failed write may leave the file partly written.
platform::Result WriteFileWith(const Text& path,
                               const std::function<platform::Result(std::FILE*)>& write);

}  // namespace korvath::session
