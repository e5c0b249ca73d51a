#pragma once
#include <string_view>

#include "engine/text.h"

namespace korvath::engine {

// True for exactly the texts [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?
// as a whole. Names such as inf, nan, 1i or 0x1f are not numbers.
bool ReadsAsNumber(TextView text);
bool ReadsAsNumber(std::string_view ascii);

}  // namespace korvath::engine
