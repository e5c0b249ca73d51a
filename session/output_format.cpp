#include "session/output_format.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include "engine/buffered_output.h"
#include "platform/host.h"
#include "platform/utf8.h"

namespace korvath::session {
namespace {

using platform::Result;
using platform::Status;

constexpr std::array kFormats{
    OutputFormatInfo{OutputFormat::Text, "text", "Text (*.txt)", "txt"},
    OutputFormatInfo{OutputFormat::Json, "json", "JSON (*.json)", "json"},
    OutputFormatInfo{OutputFormat::Dot, "dot", "Graphviz DOT (*.dot *.gv)", "dot gv"},
    OutputFormatInfo{OutputFormat::Files, "files", "Text (*.txt)", "txt"},
    OutputFormatInfo{OutputFormat::Graph, "graph", "Graphviz DOT (*.dot *.gv)", "dot gv"},
    OutputFormatInfo{OutputFormat::Svg, "svg", "SVG picture (*.svg)", "svg"},
    OutputFormatInfo{OutputFormat::Png, "png", "PNG image (*.png)", "png"},
};

constexpr std::array kTreeExports{OutputFormat::Text, OutputFormat::Json, OutputFormat::Dot};
constexpr std::array kPictureExports{OutputFormat::Svg, OutputFormat::Png};

bool HasSuffix(std::string_view suffixes, std::string_view suffix) {
  while (!suffixes.empty()) {
    const std::size_t blank = suffixes.find(' ');
    if (suffixes.substr(0, blank) == suffix) return true;
    if (blank == std::string_view::npos) break;
    suffixes.remove_prefix(blank + 1);
  }
  return false;
}

}  // namespace

bool NeedsGraphviz(OutputFormat format) {
  return format == OutputFormat::Graph || format == OutputFormat::Svg;
}

const OutputFormatInfo& InfoOf(OutputFormat format) {
  return *std::find_if(kFormats.begin(), kFormats.end(),
                       [format](const OutputFormatInfo& info) { return info.format == format; });
}

std::optional<OutputFormat> OutputFormatNamed(std::string_view name) {
  for (const OutputFormatInfo& info : kFormats) {
    if (info.name == name) return info.format;
  }
  return std::nullopt;
}

std::span<const OutputFormat> TreeExportFormats() { return kTreeExports; }
std::span<const OutputFormat> PictureExportFormats() { return kPictureExports; }

OutputFormat FormatOfSaved(std::string_view suffix, OutputFormat selected,
                           std::span<const OutputFormat> offered) {
  std::string lower(suffix);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const OutputFormat format : offered) {
    if (!lower.empty() && HasSuffix(InfoOf(format).suffixes, lower)) return format;
  }
  return selected;
}

Result FormatAvailable(OutputFormat format, const GraphRenderer& renderer) {
  if (!NeedsGraphviz(format) || renderer) return {};
  return Result::Failure(Status::UsageError,
                         "--format graph and --format svg need Graphviz: install libgraphviz-dev "
                         "(Debian) and build korvath-tree again");
}

Result WriteTree(std::FILE* out, OutputFormat format, const engine::NodeTree& tree,
                 engine::TreeKind kind, const std::vector<Text>& messages,
                 const GraphRenderer& renderer, const GraphLimits& limits) {
  switch (format) {
    case OutputFormat::Json:
      return engine::WriteJson(out, tree, messages);
    case OutputFormat::Dot:
      return engine::WriteDot(out, tree);
    case OutputFormat::Graph:
    case OutputFormat::Svg: {
      if (Result available = FormatAvailable(format, renderer); !available) return available;
      const engine::CallGraph graph = engine::GraphOfTree(tree, kind);
      // Laying out a few thousand functions takes minutes and gigabytes.
      if (format == OutputFormat::Svg && TooLargeToDraw(graph, limits)) {
        return Result::Failure(Status::TooLarge, platform::ToUtf8(GraphSize(graph)));
      }
      const std::string dot = engine::GraphDot(graph);
      std::string svg;
      if (format == OutputFormat::Svg) {
        if (Result laid = renderer(dot, "svg", svg); !laid) return laid;
      }
      engine::BufferedOutput buffered(out);
      buffered << (format == OutputFormat::Svg ? svg : dot);
      return buffered.Finish();
    }
    case OutputFormat::Text:
    case OutputFormat::Files:
    case OutputFormat::Png:
      break;
  }
  return engine::WriteTextTree(out, tree);
}

Result WriteFileWith(const Text& path, const std::function<Result(std::FILE*)>& write) {
  errno = 0;
  std::FILE* file = platform::OpenFileForWriting(platform::NativePath(path));
  if (file == nullptr) {
    return Result::Failure(Status::Unwritable,
                           std::generic_category().message(errno != 0 ? errno : EIO));
  }
  Result written = write(file);
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) {
    written = Result::Failure(Status::Unwritable,
                              std::generic_category().message(errno != 0 ? errno : EIO));
  }
  return written;
}

}  // namespace korvath::session
