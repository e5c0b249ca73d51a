#pragma once
// Unaligned loads of a name's bytes as one number, for the name tables that
// key short names by their bytes.

#include <bit>
#include <cstdint>
#include <cstring>

namespace korvath::engine {

// The bytes of a `Word` at `p` as a little-endian number: byte k at bits 8k.
template <class Word>
std::uint64_t LoadBytes(const char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    Word w = 0;
    std::memcpy(&w, p, sizeof w);
    return w;
  } else {
    std::uint64_t w = 0;
    for (std::size_t k = 0; k < sizeof(Word); ++k) {
      w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    }
    return w;
  }
}
inline std::uint64_t Load64(const char* p) { return LoadBytes<std::uint64_t>(p); }
inline std::uint64_t Load32(const char* p) { return LoadBytes<std::uint32_t>(p); }

}  // namespace korvath::engine
