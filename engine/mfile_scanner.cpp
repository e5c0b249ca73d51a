#include "engine/mfile_scanner.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace korvath::engine {

bool IsQuoteOpener(char16_t c) { return IsDelimiter(c) || c == u'(' || c == u'[' || c == u'{'; }

// A quote opens a string when the character before it is a delimiter or an
// opening bracket; otherwise it is a transpose. After each literal the text
// is examined again from its second character, which only ever re-reads
// characters that were already found not to open a string, so one forward
// pass gives the same text. What is kept never outruns what is read, so the
// text is compacted in place.
void RemoveStringLiterals(Text& text) {
  const std::size_t n = text.size();
  const std::size_t first = text.find(u'\'');
  if (first == Text::npos) return;
  char16_t* const s = text.data();
  // Everything before the first quote is kept as it is.
  std::size_t k = first;
  std::size_t w = first;
  while (k < n) {
    // The last character of the text is never examined.
    if (n - k <= 1) break;
    const char16_t c = s[k];
    bool opens = false;
    if (c == u'\'') opens = w == 0 ? k == 0 : IsQuoteOpener(s[w - 1]);
    if (!opens) {
      s[w++] = c;
      ++k;
      continue;
    }
    const std::size_t close = text.find(u'\'', k + 1);
    if (close == Text::npos) {
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

void CleanStatement(Text& text, bool& forEntry) {
  forEntry = false;
  if (StartsWith(text, u"function")) {
    text.clear();
    return;
  }
  // One branch-free pass replaces tabs and tells which of quote, "%" and
  // "=" occur at all; only those are then searched for.
  constexpr std::size_t kNone = Text::npos;
  char16_t* s = text.data();
  std::size_t n = text.size();
  unsigned quote = 0;
  unsigned anyPercent = 0;
  unsigned anyEq = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    s[i] = c == u'\t' ? u' ' : c;
    quote |= c == u'\'';
    anyPercent |= c == u'%';
    anyEq |= c == u'=';
  }
  std::size_t percent = anyPercent != 0 ? text.find(u'%') : kNone;
  std::size_t eq = anyEq != 0 ? text.find(u'=') : kNone;
  if (quote != 0) {
    const TextView trimmed = TrimBlanks(text);
    if (!trimmed.empty() && trimmed.front() == u'%') {
      text.clear();
      return;
    }
    RemoveStringLiterals(text);
    percent = text.find(u'%');
    eq = text.find(u'=');
  }
  if (percent != kNone) text.resize(percent);
  s = text.data();
  n = text.size();
  std::size_t from = 0;
  if (eq != kNone && eq < n) {
    const bool equality = eq + 1 < n && s[eq + 1] == u'=';
    if (!equality) {
      forEntry = TextView(text).find(u"for") != TextView::npos;
      from = eq + 1;
    }
  }
  // Drop the assignment target and blank the brackets in the same pass.
  std::size_t w = 0;
  for (std::size_t i = from; i < n; ++i) {
    const char16_t c = s[i];
    const bool bracket = c == u'[' || c == u']' || c == u'{' || c == u'}' || c == u';';
    s[w++] = bracket ? u' ' : c;
  }
  text.resize(w);
}

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

// Most lines are ASCII, which reads the same in any encoding: such a line is
// trimmed, lower-cased and widened in one pass, straight from its bytes.
bool TrimLowerAscii(std::string_view raw, Text& text) {
  unsigned char high = 0;
  for (const char c : raw) high |= static_cast<unsigned char>(c);
  if (high >= 0x80) return false;
  std::size_t begin = 0;
  std::size_t end = raw.size();
  while (begin < end && raw[begin] == ' ') ++begin;
  while (end > begin && raw[end - 1] == ' ') --end;
  text.resize(end - begin);
  char16_t* out = text.data();
  for (std::size_t i = begin; i < end; ++i) {
    *out++ = AsciiLower(static_cast<char16_t>(static_cast<unsigned char>(raw[i])));
  }
  return true;
}

// A line whose first byte past spaces and tabs is "%" yields no call, unless
// a "..." in it may continue the statement onto the next line. Help texts
// make up much of a file: such lines are passed over before any widening.
bool IsCommentOnly(std::string_view raw) {
  std::size_t i = 0;
  while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t')) ++i;
  return i < raw.size() && raw[i] == '%' && raw.find("...", i) == std::string_view::npos;
}

}  // namespace

void ScanFile(TextLines& lines, CallRecorder& out) {
  constexpr std::int64_t kMaxLine = std::numeric_limits<std::int32_t>::max();
  std::int64_t physical = 0;
  // Buffers live for the whole file: their capacity is reused by every line.
  Text text;
  Text next;
  std::string_view raw;
  while (lines.NextBytes(raw)) {
    ++physical;
    if (IsCommentOnly(raw)) continue;
    const auto statementLine = static_cast<std::int32_t>(std::min(physical, kMaxLine));
    if (!TrimLowerAscii(raw, text)) {
      lines.Decode(raw, text);
      TrimAndLower(text);
    }
    for (;;) {
      const TextView right = TrimBlanksRight(text);
      if (!EndsWith(right, u"...") || lines.AtEnd()) break;
      text.resize(right.size() - 3);
      lines.Next(next);
      ++physical;
      text += next;
    }
    bool forEntry = false;
    CleanStatement(text, forEntry);
    if (forEntry) out.AddCall(u"For", statementLine);
    FindCalls(text, statementLine, out);
  }
}

}  // namespace korvath::engine
