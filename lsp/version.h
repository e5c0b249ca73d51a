#pragma once
// The version as text, "1.0.0", from the build's numbers.

#include "korvath_version.h"

#define KORVATH_LSP_STRING_OF(x) #x
#define KORVATH_LSP_STRING(x) KORVATH_LSP_STRING_OF(x)
#define KORVATH_VERSION                     \
  KORVATH_LSP_STRING(KORVATH_VERSION_MAJOR) \
  "." KORVATH_LSP_STRING(KORVATH_VERSION_MINOR) "." KORVATH_LSP_STRING(KORVATH_VERSION_REVISION)
