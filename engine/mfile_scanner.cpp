#include "engine/mfile_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace korvath::engine {

bool IsQuoteOpener(char16_t c) { return IsDelimiter(c) || c == u'(' || c == u'[' || c == u'{'; }

namespace {

// The words the cleaner looks for, in each kind of unit.
template <class Unit>
struct Words;
template <>
struct Words<char16_t> {
  static constexpr std::u16string_view kFunction = u"function";
  static constexpr std::u16string_view kFor = u"for";
};
template <>
struct Words<char> {
  static constexpr std::string_view kFunction = "function";
  static constexpr std::string_view kFor = "for";
};

template <class Unit>
std::basic_string_view<Unit> TrimSpaces(std::basic_string_view<Unit> text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == Unit{' '}) ++begin;
  while (end > begin && text[end - 1] == Unit{' '}) --end;
  return text.substr(begin, end - begin);
}

// A quote opens a string when the character before it is a delimiter or an
// opening bracket; otherwise it is a transpose. After each literal the text
// is examined again from its second character, which only ever re-reads
// characters that were already found not to open a string, so one forward
// pass gives the same text. What is kept never outruns what is read, so the
// text is compacted in place.
template <class Unit>
void RemoveLiterals(std::basic_string<Unit>& text) {
  using String = std::basic_string<Unit>;
  constexpr Unit kQuote{'\''};
  const std::size_t n = text.size();
  const std::size_t first = text.find(kQuote);
  if (first == String::npos) return;
  Unit* const s = text.data();
  // Everything before the first quote is kept as it is.
  std::size_t k = first;
  std::size_t w = first;
  while (k < n) {
    // The last character of the text is never examined.
    if (n - k <= 1) break;
    const Unit c = s[k];
    bool opens = false;
    if (c == kQuote) {
      opens = w == 0 ? k == 0 : IsQuoteOpener(static_cast<char16_t>(s[w - 1]));
    }
    if (!opens) {
      s[w++] = c;
      ++k;
      continue;
    }
    const std::size_t close = text.find(kQuote, k + 1);
    if (close == String::npos) {
      text.clear();  // an unterminated string drops the statement
      return;
    }
    k = close + 1;
    if (w == 0 && k < n) {
      // The scan goes on at the second character: the first stays unread.
      s[w++] = s[k];
      ++k;
    }
  }
  if (k < n && w != k) std::copy(s + k, s + n, s + w);
  text.resize(w + (n - k));
}

template <class Unit>
void Clean(std::basic_string<Unit>& text, bool& forEntry) {
  using View = std::basic_string_view<Unit>;
  forEntry = false;
  if (View(text).substr(0, Words<Unit>::kFunction.size()) == Words<Unit>::kFunction) {
    text.clear();
    return;
  }
  // One branch-free pass replaces tabs and tells which of quote, "%" and
  // "=" occur at all; only those are then searched for.
  constexpr std::size_t kNone = View::npos;
  Unit* s = text.data();
  std::size_t n = text.size();
  unsigned quote = 0;
  unsigned anyPercent = 0;
  unsigned anyEq = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Unit c = s[i];
    s[i] = c == Unit{'\t'} ? Unit{' '} : c;
    quote |= static_cast<unsigned>(c == Unit{'\''});
    anyPercent |= static_cast<unsigned>(c == Unit{'%'});
    anyEq |= static_cast<unsigned>(c == Unit{'='});
  }
  std::size_t percent = anyPercent != 0 ? text.find(Unit{'%'}) : kNone;
  std::size_t eq = anyEq != 0 ? text.find(Unit{'='}) : kNone;
  if (quote != 0) {
    const View trimmed = TrimSpaces(View(text));
    if (!trimmed.empty() && trimmed.front() == Unit{'%'}) {
      text.clear();
      return;
    }
    RemoveLiterals(text);
    percent = text.find(Unit{'%'});
    eq = text.find(Unit{'='});
  }
  if (percent != kNone) text.resize(percent);
  s = text.data();
  n = text.size();
  std::size_t from = 0;
  if (eq != kNone && eq < n) {
    const bool equality = eq + 1 < n && s[eq + 1] == Unit{'='};
    if (!equality) {
      forEntry = View(text).find(Words<Unit>::kFor) != View::npos;
      from = eq + 1;
    }
  }
  // Drop the assignment target and blank the brackets in the same pass.
  std::size_t w = 0;
  for (std::size_t i = from; i < n; ++i) {
    const Unit c = s[i];
    const bool bracket =
        c == Unit{'['} || c == Unit{']'} || c == Unit{'{'} || c == Unit{'}'} || c == Unit{';'};
    s[w++] = bracket ? Unit{' '} : c;
  }
  text.resize(w);
}

}  // namespace

void RemoveStringLiterals(Text& text) { RemoveLiterals(text); }
void RemoveStringLiterals(std::string& text) { RemoveLiterals(text); }
void CleanStatement(Text& text, bool& forEntry) { Clean(text, forEntry); }
void CleanStatement(std::string& text, bool& forEntry) { Clean(text, forEntry); }

namespace {

// Trims blanks and lower-cases in one pass, moving the text to the front.
void TrimAndLower(Text& text) {
  const TextView trimmed = TrimBlanks(text);
  const std::size_t offset = static_cast<std::size_t>(trimmed.data() - text.data());
  const std::size_t n = trimmed.size();
  char16_t* s = text.data();
  char16_t any = 0;
  for (std::size_t i = 0; i < n; ++i) any |= s[offset + i];
  if (any < 0x80) {
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t c = s[offset + i];
      s[i] = AsciiLower(c);
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) s[i] = LowerUnit(s[offset + i]);
  }
  text.resize(n);
}

bool IsAscii(std::string_view raw) {
  unsigned char high = 0;
  for (const char c : raw) high |= static_cast<unsigned char>(c);
  return high < 0x80;
}

// Most lines are ASCII, which reads the same in any encoding: such a line is
// trimmed and lower-cased straight from its bytes, and never widened.
void TrimLowerAscii(std::string_view raw, std::string& text) {
  const std::string_view trimmed = TrimSpaces(raw);
  text.resize(trimmed.size());
  char* out = text.data();
  for (const char c : trimmed) *out++ = AsciiLower(c);
}

// A line whose first byte past spaces and tabs is "%" yields no call, unless
// a "..." in it may continue the statement onto the next line. Help texts
// make up much of a file: such lines are passed over before any widening.
bool IsCommentOnly(std::string_view raw) {
  std::size_t i = 0;
  while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t')) ++i;
  return i < raw.size() && raw[i] == '%' && raw.find("...", i) == std::string_view::npos;
}

// Joins the continuation lines of a statement of UTF-16 text: each is
// appended as read, neither trimmed nor lower-cased.
void JoinContinuations(TextLines& lines, Text& text, Text& next, std::int64_t& physical) {
  for (;;) {
    const TextView right = TrimBlanksRight(text);
    if (!EndsWith(right, u"...") || lines.AtEnd()) return;
    text.resize(right.size() - 3);
    lines.Next(next);
    ++physical;
    text += next;
  }
}

// The same for a statement of ASCII bytes, as long as its lines are ASCII:
// false, with the statement in `text` as UTF-16 and the lines joined so far,
// at the first line that is not.
bool JoinAsciiContinuations(TextLines& lines, std::string& bytes, Text& text, Text& next,
                            std::int64_t& physical) {
  for (;;) {
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == ' ') --end;
    if (end < 3 || std::string_view(bytes).substr(end - 3, 3) != "..." || lines.AtEnd()) {
      return true;
    }
    bytes.resize(end - 3);
    std::string_view raw;
    lines.NextBytes(raw);
    ++physical;
    if (IsAscii(raw)) {
      bytes += raw;
      continue;
    }
    text.assign(bytes.begin(), bytes.end());
    lines.Decode(raw, next);
    text += next;
    return false;
  }
}

// What one pass over a trimmed ASCII-looking line found: whether a byte is
// not ASCII, whether a quote occurs, and the first "%" and "=".
struct LineMarks {
  bool high = false;
  bool quote = false;
  std::size_t percent = std::string_view::npos;
  std::size_t eq = std::string_view::npos;
};

// The character-wise part of cleaning for a line without quotes, in one pass
// from the line's bytes into `out` (which has room for n + 16 bytes):
// lower-cased, tabs and the brackets "[]{};" made blanks. Blanking before
// the quotes are looked at would turn a transpose after "]" into a string,
// so a line with a quote takes the cleaner's own order instead. `limit` is
// how far past the line its bytes may be read.
#if defined(__SSE2__) || defined(_M_X64)
LineMarks LowerAndBlank(const char* in, std::size_t n, const char* limit, char* out) {
  LineMarks marks;
  unsigned high = 0;
  unsigned quote = 0;
  // One 16-byte block at `at`; `keep` masks off bytes past the line.
  auto block = [&](const char* from, std::size_t at, unsigned keep) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    auto is = [&](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    // Signed compares: bytes of 0x80 and above are no capitals.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                        _mm_cmpgt_epi8(_mm_set1_epi8('Z' + 1), v));
    const __m128i lower = _mm_add_epi8(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
    // "[" and "{" differ only in bit 0x20, as do "]" and "}".
    const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));
    const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(folded, _mm_set1_epi8('{')),
                                                    _mm_cmpeq_epi8(folded, _mm_set1_epi8('}'))),
                                       _mm_or_si128(is(';'), is('\t')));
    const __m128i cleaned =
        _mm_or_si128(_mm_andnot_si128(blank, lower), _mm_and_si128(blank, _mm_set1_epi8(' ')));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), cleaned);
    high |= static_cast<unsigned>(_mm_movemask_epi8(v)) & keep;
    quote |= static_cast<unsigned>(_mm_movemask_epi8(is('\''))) & keep;
    const unsigned percent = static_cast<unsigned>(_mm_movemask_epi8(is('%'))) & keep;
    const unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(is('='))) & keep;
    // A later block, or the last one overlapping the one before, never
    // finds an earlier position.
    if (percent != 0 && marks.percent == std::string_view::npos) {
      marks.percent = at + static_cast<std::size_t>(std::countr_zero(percent));
    }
    if (eq != 0 && marks.eq == std::string_view::npos) {
      marks.eq = at + static_cast<std::size_t>(std::countr_zero(eq));
    }
  };
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) block(in + i, i, 0xFFFFU);
    // The rest as the last 16 bytes, overlapping: the same bytes give the
    // same output.
    if (i < n) block(in + n - 16, n - 16, 0xFFFFU);
  } else if (n > 0) {
    const unsigned keep = (1U << n) - 1;
    if (limit - in >= 16) {
      block(in, 0, keep);
    } else {
      alignas(16) char copy[16] = {};
      std::memcpy(copy, in, n);
      block(copy, 0, keep);
    }
  }
  marks.high = high != 0;
  marks.quote = quote != 0;
  return marks;
}
#else
LineMarks LowerAndBlank(const char* in, std::size_t n, const char* /*limit*/, char* out) {
  LineMarks marks;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = in[i];
    marks.high = marks.high || static_cast<unsigned char>(c) >= 0x80;
    marks.quote = marks.quote || c == '\'';
    if (c == '%' && marks.percent == std::string_view::npos) marks.percent = i;
    if (c == '=' && marks.eq == std::string_view::npos) marks.eq = i;
    const bool blank = c == '\t' || c == '[' || c == ']' || c == '{' || c == '}' || c == ';';
    out[i] = blank ? ' ' : AsciiLower(c);
  }
  return marks;
}
#endif

}  // namespace

void ScanFile(TextLines& lines, CallRecorder& out) {
  constexpr std::int64_t kMaxLine = std::numeric_limits<std::int32_t>::max();
  std::int64_t physical = 0;
  // Buffers live for the whole file: their capacity is reused by every line.
  std::string bytes;
  Text text;
  Text next;
  std::string_view raw;
  const bool takesAscii = out.TakesAscii();
  // The fused pass's output; it only grows.
  std::string fused;
  while (lines.NextBytes(raw)) {
    ++physical;
    if (IsCommentOnly(raw)) continue;
    const auto statementLine = static_cast<std::int32_t>(std::min(physical, kMaxLine));
    bool forEntry = false;
    // A line that continues no further and has no quote is cleaned in one
    // pass and cut where it lies: the cleaner's rules, applied to a line
    // where their order does not matter.
    const std::string_view trimmed = TrimSpaces(raw);
    const std::size_t n = trimmed.size();
    const bool continues =
        n >= 3 && trimmed.substr(n - 3) == std::string_view("...") && !lines.AtEnd();
    bool ascii = false;
    if (!continues) {
      // Room for a whole last block, which FindCallsPadded reads too.
      if (fused.size() < n + 16) fused.resize(n + 16);
      const LineMarks marks = LowerAndBlank(trimmed.data(), n, lines.DataEnd(), fused.data());
      ascii = !marks.high;
      if (ascii && !marks.quote) {
        const char* const s = fused.data();
        constexpr std::string_view kFunction = Words<char>::kFunction;
        if (n >= kFunction.size() && std::string_view(s, kFunction.size()) == kFunction) continue;
        const std::size_t cut = std::min(marks.percent, n);
        std::size_t from = 0;
        if (marks.eq < cut && !(marks.eq + 1 < cut && s[marks.eq + 1] == '=')) {
          forEntry = std::string_view(s, cut).find(Words<char>::kFor) != std::string_view::npos;
          from = marks.eq + 1;
        }
        if (forEntry) out.AddCall(u"For", statementLine);
        const std::string_view cleaned(s + from, cut - from);
        if (takesAscii) {
          FindCallsPadded(cleaned, statementLine, out);
        } else {
          WidenInto(cleaned, text);
          FindCalls(TextView(text), statementLine, out);
        }
        continue;
      }
    } else {
      ascii = IsAscii(raw);
    }
    if (ascii) {
      TrimLowerAscii(raw, bytes);
      if (JoinAsciiContinuations(lines, bytes, text, next, physical)) {
        CleanStatement(bytes, forEntry);
        if (forEntry) out.AddCall(u"For", statementLine);
        if (takesAscii) {
          FindCalls(std::string_view(bytes), statementLine, out);
        } else {
          WidenInto(bytes, text);
          FindCalls(TextView(text), statementLine, out);
        }
        continue;
      }
    } else {
      lines.Decode(raw, text);
      TrimAndLower(text);
    }
    JoinContinuations(lines, text, next, physical);
    CleanStatement(text, forEntry);
    if (forEntry) out.AddCall(u"For", statementLine);
    FindCalls(TextView(text), statementLine, out);
  }
}

}  // namespace korvath::engine
