#include "graph/graph_layout.h"

#include <mutex>

#include "graph/draw.h"

namespace korvath::graph {
namespace {

std::mutex& GraphvizLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

platform::Result RenderGraph(const std::string& dot, const char* format, std::string& out) {
  const std::lock_guard<std::mutex> hold(GraphvizLock());
  char* data = nullptr;
  std::size_t length = 0;
  const char* error = nullptr;
  if (korvath_draw_v1(dot.c_str(), format, &data, &length, &error) != 0) {
    return platform::Result::Failure(platform::Status::Invalid, error);
  }
  out.assign(data, length);
  korvath_draw_free_v1(data);
  return {};
}

}  // namespace korvath::graph
