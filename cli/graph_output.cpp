#include "cli/graph_output.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "graph/draw.h"
#include "platform/host.h"
#include "platform/shared_library.h"

namespace korvath::cli {
namespace {

using platform::Result;
using platform::Status;

// Beside the program first (the build tree, or a folder copied whole), then
// the private library folder it is installed in, relative to the program's
// folder so that a package installed under another prefix still finds it.
std::filesystem::path FindPlugin() {
  const std::filesystem::path self = platform::ExecutablePath();
  if (self.empty()) return {};
  const std::filesystem::path folder = self.parent_path();
  for (const std::filesystem::path& candidate :
       {folder / KORVATH_DRAW_PLUGIN,
        folder / KORVATH_DRAW_PLUGIN_DIR_FROM_BIN / KORVATH_DRAW_PLUGIN}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal();
  }
  return {};
}

// Loaded on the first picture and kept to the end: Graphviz's context lives
// in it.
struct Plugin {
  platform::SharedLibrary library;
  KorvathDrawFunction draw = nullptr;
  KorvathDrawFreeFunction release = nullptr;
  Result loaded;
};

Plugin& LoadedPlugin(const std::filesystem::path& path) {
  static Plugin plugin;
  if (plugin.draw != nullptr || !plugin.loaded) return plugin;
  const auto cannotLoad = [&](const std::string& why) {
    return Result::Failure(Status::Invalid,
                           "cannot load the drawing plug-in " + path.string() + ": " + why);
  };
  if (const Result opened = plugin.library.Open(path); !opened) {
    plugin.loaded = cannotLoad(opened.description);
    return plugin;
  }
  plugin.draw = reinterpret_cast<KorvathDrawFunction>(plugin.library.Symbol(KORVATH_DRAW_SYMBOL));
  plugin.release =
      reinterpret_cast<KorvathDrawFreeFunction>(plugin.library.Symbol(KORVATH_DRAW_FREE_SYMBOL));
  if (plugin.draw == nullptr || plugin.release == nullptr) {
    plugin.draw = nullptr;
    plugin.loaded = cannotLoad("not a plug-in of this version");
  }
  return plugin;
}

}  // namespace

session::GraphRenderer GraphRenderer(OutputFormat drawn) {
  if (!session::NeedsGraphviz(drawn)) return {};
  std::filesystem::path path = FindPlugin();
  if (path.empty()) return {};
  return [path = std::move(path)](const std::string& dot, const char* format, std::string& out) {
    Plugin& plugin = LoadedPlugin(path);
    if (!plugin.loaded) return plugin.loaded;
    char* data = nullptr;
    std::size_t length = 0;
    const char* error = nullptr;
    if (plugin.draw(dot.c_str(), format, &data, &length, &error) != 0) {
      return Result::Failure(Status::Invalid, error != nullptr ? error : "Graphviz failed");
    }
    out.assign(data, length);
    plugin.release(data);
    return Result{};
  };
}

}  // namespace korvath::cli
