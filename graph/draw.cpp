#include "graph/draw.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

// Built into the plug-in as well as into korvath_graph: it uses nothing of the
// C++ library, so the plug-in needs no C++ runtime of its own.

#if defined(__GNUC__)
#define KORVATH_DRAW_EXPORT __attribute__((visibility("default")))
#else
#define KORVATH_DRAW_EXPORT
#endif

namespace {

// One context for the whole process, never freed: Graphviz's text layout
// keeps the name of the last font it measured, which a freed context's font
// table owned, and reads it again in the next context's layout. Made on first
// use (callers take turns), not at load time.
GVC_t* context = nullptr;

}  // namespace

extern "C" {

KORVATH_DRAW_EXPORT int korvath_draw_v1(const char* dot, const char* format, char** out,
                                        size_t* length, const char** error) {
  *out = nullptr;
  *length = 0;
  if (context == nullptr) context = gvContext();
  if (context == nullptr) {
    *error = "Graphviz could not start";
    return 1;
  }
  Agraph_t* const graph = agmemread(dot);
  if (graph == nullptr) {
    *error = "Graphviz could not read the graph";
    return 1;
  }
  if (gvLayout(context, graph, "dot") != 0) {
    agclose(graph);
    *error = "Graphviz could not lay the graph out";
    return 1;
  }
  char* data = nullptr;
  unsigned int size = 0;
  const int rendered = gvRenderData(context, graph, format, &data, &size);
  gvFreeLayout(context, graph);
  agclose(graph);
  if (rendered != 0 || data == nullptr) {
    gvFreeRenderData(data);
    *error = "Graphviz could not render the graph";
    return 1;
  }
  *out = data;
  *length = size;
  return 0;
}

KORVATH_DRAW_EXPORT void korvath_draw_free_v1(char* data) { gvFreeRenderData(data); }

}  // extern "C"
