#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

#include "engine/text.h"

namespace korvath::engine {
namespace {

struct LowerPair {
  std::uint16_t unit;
  std::uint16_t lower;
};

constexpr LowerPair kLowerPairs[] = {
#include "engine/simple_lowercase_table.inc"
};

}  // namespace

char16_t LowerUnit(char16_t unit) {
  if (unit < 0x80) return AsciiLower(unit);
  const auto* it = std::lower_bound(std::begin(kLowerPairs), std::end(kLowerPairs), unit,
                                    [](const LowerPair& p, char16_t u) { return p.unit < u; });
  if (it != std::end(kLowerPairs) && it->unit == unit) return static_cast<char16_t>(it->lower);
  return unit;
}

}  // namespace korvath::engine
