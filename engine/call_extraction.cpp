#include "engine/call_extraction.h"

#include <bit>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace korvath::engine {

namespace {

// Eight characters at a time: a 16-bit mask, two bits per character, of the
// delimiters and parentheses among them. Names are short, so a loop that
// branched on every character would mispredict at almost every name.
#if defined(__SSE2__) || defined(_M_X64)
inline unsigned SpecialMask(const char16_t* at) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  auto is = [&](char16_t c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(c))); };
  // Signed compares: units of 0x8000 and above read as negative and fall
  // outside both ranges.
  auto within = [&](short lo, short hi) {
    return _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(static_cast<short>(lo - 1))),
                         _mm_cmplt_epi16(v, _mm_set1_epi16(static_cast<short>(hi + 1))));
  };
  // & ' ( ) * + , -   and   < = >
  __m128i m = _mm_or_si128(within(u'&', u'-'), within(u'<', u'>'));
  m = _mm_or_si128(m, _mm_or_si128(is(u' '), is(u'/')));
  m = _mm_or_si128(m, _mm_or_si128(is(u':'), is(u'\\')));
  m = _mm_or_si128(m, _mm_or_si128(is(u'^'), is(u'|')));
  m = _mm_or_si128(m, is(u'~'));
  return static_cast<unsigned>(_mm_movemask_epi8(m));
}
constexpr bool kHaveMask = true;
#else
inline unsigned SpecialMask(const char16_t*) { return 0; }
constexpr bool kHaveMask = false;
#endif

}  // namespace

// The recursive cut (name, argument list, rest) done as one pass: each
// argument list is cut before the text after it, so names come out in text
// order, and the pieces nest exactly as matched parentheses do.
void FindCalls(TextView text, std::int32_t line, CallRecorder& out) {
  constexpr std::size_t kBatch = 4096;
  thread_local std::vector<TextView> names;
  names.clear();
  const char16_t* s = text.data();
  const std::size_t n = text.size();
  std::size_t depth = 0;
  std::size_t start = 0;
  // At a delimiter or parenthesis: a ")" that closes nothing is part of the
  // name; everything else ends the name before it.
  auto split = [&](std::size_t i) {
    const char16_t c = s[i];
    if (c == u'(') {
      ++depth;
    } else if (c == u')') {
      if (depth == 0) return;
      --depth;
    }
    if (i > start) {
      names.emplace_back(s + start, i - start);
      // Handed over in batches: a statement of millions of names must not
      // need a list of them all.
      if (names.size() == kBatch) {
        out.AddCalls(names.data(), names.size(), line);
        names.clear();
      }
    }
    start = i + 1;
  };
  std::size_t i = 0;
  if constexpr (kHaveMask) {
    for (; i + 8 <= n; i += 8) {
      for (unsigned mask = SpecialMask(s + i); mask != 0; mask &= mask - 1) {
        const auto bit = static_cast<std::size_t>(std::countr_zero(mask));
        mask &= mask - 1;  // each character has two bits
        split(i + bit / 2);
      }
    }
  }
  for (; i < n; ++i) {
    const char16_t c = s[i];
    if (c == u'(' || c == u')' || IsDelimiter(c)) split(i);
  }
  if (n > start) names.emplace_back(s + start, n - start);
  if (!names.empty()) out.AddCalls(names.data(), names.size(), line);
}

}  // namespace korvath::engine
