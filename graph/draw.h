#pragma once
// The drawing layer's C interface: what the korvath-draw plug-in exports and
// korvath-tree looks up after loading it. Plain C types only, so the plug-in
// and the program need not share a C++ runtime (korvath-tree carries its own,
// linked statically).

#include <stddef.h>

// The version is in the names: a plug-in of another interface has none of them.
#define KORVATH_DRAW_SYMBOL "korvath_draw_v1"
#define KORVATH_DRAW_FREE_SYMBOL "korvath_draw_free_v1"

extern "C" {

// Lays the DOT text `dot` out with Graphviz's dot and renders it in `format`
// as Graphviz names it ("svg"). On success returns 0 and sets `*out` and
// `*length` to the picture, to be given back to korvath_draw_free_v1; else
// returns nonzero and sets `*error` to a static description. Graphviz keeps
// global state: calls must take turns.
int korvath_draw_v1(const char* dot, const char* format, char** out, size_t* length,
                    const char** error);
using KorvathDrawFunction = int (*)(const char*, const char*, char**, size_t*, const char**);

void korvath_draw_free_v1(char* data);
using KorvathDrawFreeFunction = void (*)(char*);

}  // extern "C"
