#include "engine/call_extraction.h"

#include <bit>
#include <functional>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace korvath::engine {

namespace {

// A mask of the delimiters and parentheses among the next kStep units, kBits
// bits a unit (movemask gives one bit a byte). Names are short, so a loop
// that branched on every character would mispredict at almost every name.
template <class Unit>
struct SpecialMask {
  static constexpr std::size_t kStep = 16 / sizeof(Unit);
  static constexpr unsigned kBits = sizeof(Unit);
#if defined(__SSE2__) || defined(_M_X64)
  static __m128i Same(__m128i a, __m128i b) {
    if constexpr (sizeof(Unit) == 1) return _mm_cmpeq_epi8(a, b);
    return _mm_cmpeq_epi16(a, b);
  }
  static __m128i Above(__m128i a, __m128i b) {
    if constexpr (sizeof(Unit) == 1) return _mm_cmpgt_epi8(a, b);
    return _mm_cmpgt_epi16(a, b);
  }
  static __m128i All(int c) {
    if constexpr (sizeof(Unit) == 1) return _mm_set1_epi8(static_cast<char>(c));
    return _mm_set1_epi16(static_cast<short>(c));
  }
  // Signed compares: units of 0x80 (bytes) or 0x8000 (UTF-16) and above read
  // as negative and fall outside every range, as they are no delimiters.
  static unsigned Of(const Unit* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    auto is = [&](char c) { return Same(v, All(c)); };
    auto within = [&](char lo, char hi) {
      return _mm_and_si128(Above(v, All(lo - 1)), Above(All(hi + 1), v));
    };
    // & ' ( ) * + , -   and   < = >
    __m128i m = _mm_or_si128(within('&', '-'), within('<', '>'));
    m = _mm_or_si128(m, _mm_or_si128(is(' '), is('/')));
    m = _mm_or_si128(m, _mm_or_si128(is(':'), is('\\')));
    m = _mm_or_si128(m, _mm_or_si128(is('^'), is('|')));
    m = _mm_or_si128(m, is('~'));
    return static_cast<unsigned>(_mm_movemask_epi8(m));
  }
#else
  static unsigned Of(const Unit*) { return 0; }
#endif
};
#if defined(__SSE2__) || defined(_M_X64)
constexpr bool kHaveMask = true;
#else
constexpr bool kHaveMask = false;
#endif

void Emit(CallRecorder& out, const TextView* names, std::size_t count, std::int32_t line) {
  out.AddCalls(names, count, line);
}
void Emit(CallRecorder& out, const std::string_view* names, std::size_t count, std::int32_t line) {
  out.AddAsciiCalls(names, count, line);
}

// The recursive cut (name, argument list, rest) done as one pass: each
// argument list is cut before the text after it, so names come out in text
// order, and the pieces nest exactly as matched parentheses do.
template <class Unit>
void Cut(std::basic_string_view<Unit> text, std::int32_t line, CallRecorder& out, bool padded) {
  using View = std::basic_string_view<Unit>;
  using Mask = SpecialMask<Unit>;
  constexpr std::size_t kBatch = 4096;
  thread_local std::vector<View> names;
  names.clear();
  const Unit* s = text.data();
  const std::size_t n = text.size();
  std::size_t depth = 0;
  std::size_t start = 0;
  // At a delimiter or parenthesis: a ")" that closes nothing is part of the
  // name; everything else ends the name before it.
  auto split = [&](std::size_t i) {
    const Unit c = s[i];
    if (c == Unit{'('}) {
      ++depth;
    } else if (c == Unit{')'}) {
      if (depth == 0) return;
      --depth;
    }
    if (i > start) {
      names.emplace_back(s + start, i - start);
      // Handed over in batches: a statement of millions of names must not
      // need a list of them all.
      if (names.size() == kBatch) {
        Emit(out, names.data(), names.size(), line);
        names.clear();
      }
    }
    start = i + 1;
  };
  std::size_t i = 0;
  if constexpr (kHaveMask) {
    for (; i + Mask::kStep <= n; i += Mask::kStep) {
      for (unsigned mask = Mask::Of(s + i); mask != 0; mask &= mask - 1) {
        const auto bit = static_cast<std::size_t>(std::countr_zero(mask));
        if constexpr (Mask::kBits == 2) mask &= mask - 1;  // each character has two bits
        split(i + bit / Mask::kBits);
      }
    }
    if (padded && i < n) {
      // The last block reads past the text; its bits there are dropped.
      const unsigned keep = (1U << ((n - i) * Mask::kBits)) - 1;
      for (unsigned mask = Mask::Of(s + i) & keep; mask != 0; mask &= mask - 1) {
        const auto bit = static_cast<std::size_t>(std::countr_zero(mask));
        if constexpr (Mask::kBits == 2) mask &= mask - 1;
        split(i + bit / Mask::kBits);
      }
      i = n;
    }
  }
  for (; i < n; ++i) {
    const Unit c = s[i];
    if (c == Unit{'('} || c == Unit{')'} || IsDelimiter(static_cast<char16_t>(c))) split(i);
  }
  if (n > start) names.emplace_back(s + start, n - start);
  if (!names.empty()) Emit(out, names.data(), names.size(), line);
}

}  // namespace

void CallRecorder::AddAsciiCalls(const std::string_view* names, std::size_t count,
                                 std::int32_t line) {
  thread_local Text units;
  thread_local std::vector<TextView> views;
  views.clear();
  if (count == 0) return;
  // The names of one statement lie in order in one text: the stretch from
  // the first to the last is widened in one pass, and the names are views
  // into it.
  const std::less<const char*> before;
  const char* const begin = names[0].data();
  const char* end = begin;
  bool inOrder = true;
  for (std::size_t i = 0; i < count && inOrder; ++i) {
    inOrder = !before(names[i].data(), end);
    end = names[i].data() + names[i].size();
  }
  std::size_t total = 0;
  if (inOrder) {
    total = static_cast<std::size_t>(end - begin);
  } else {
    for (std::size_t i = 0; i < count; ++i) total += names[i].size();
  }
  units.resize(total);
  char16_t* const to = units.data();
  if (inOrder) {
    WidenInto(std::string_view(begin, total), units);
    for (std::size_t i = 0; i < count; ++i) {
      views.emplace_back(to + (names[i].data() - begin), names[i].size());
    }
  } else {
    char16_t* at = to;
    for (std::size_t i = 0; i < count; ++i) {
      for (std::size_t k = 0; k < names[i].size(); ++k) {
        at[k] = static_cast<char16_t>(static_cast<unsigned char>(names[i][k]));
      }
      views.emplace_back(at, names[i].size());
      at += names[i].size();
    }
  }
  AddCalls(views.data(), views.size(), line);
}

void FindCalls(TextView text, std::int32_t line, CallRecorder& out) { Cut(text, line, out, false); }

void FindCalls(std::string_view text, std::int32_t line, CallRecorder& out) {
  Cut(text, line, out, false);
}

void FindCallsPadded(std::string_view text, std::int32_t line, CallRecorder& out) {
  Cut(text, line, out, true);
}

}  // namespace korvath::engine
