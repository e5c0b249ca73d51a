#include "engine/text.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace korvath::engine {

TextView TrimBlanks(TextView text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.substr(begin, end - begin);
}

TextView TrimBlanksRight(TextView text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == u' ') --end;
  return text.substr(0, end);
}

bool EndsWith(TextView text, TextView tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool StartsWith(TextView text, TextView head) {
  return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

Text WithMExtension(TextView name) {
  Text fileName(name);
  if (!EndsWith(fileName, u".m")) fileName += u".m";
  return fileName;
}

TextView WithoutMExtension(TextView fileName) {
  if (EndsWith(fileName, u".m")) fileName.remove_suffix(2);
  return fileName;
}

Text Widen(std::string_view ascii) {
  Text out;
  out.reserve(ascii.size());
  for (const char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

void WidenInto(std::string_view ascii, Text& out) {
  const std::size_t n = ascii.size();
  out.resize(n);
  const char* from = ascii.data();
  char16_t* to = out.data();
  std::size_t k = 0;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i zero = _mm_setzero_si128();
  for (; k + 16 <= n; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k), _mm_unpacklo_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k + 8), _mm_unpackhi_epi8(v, zero));
  }
#endif
  for (; k < n; ++k) to[k] = static_cast<char16_t>(static_cast<unsigned char>(from[k]));
}

Text DecimalText(std::int64_t value) { return Widen(std::to_string(value)); }

}  // namespace korvath::engine
