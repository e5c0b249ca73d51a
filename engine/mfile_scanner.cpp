#include "engine/mfile_scanner.h"

#include <algorithm>
#include <limits>

namespace korvath {

bool IsQuoteOpener(char16_t c) {
  return IsDelimiter(c) || c == u'(' || c == u'[' || c == u'{';
}

// A quote opens a string when the character before it is a delimiter or an
// opening bracket; otherwise it is a transpose. After each literal the text
// is examined again from its second character, which only ever re-reads
// characters that were already found not to open a string, so one forward
// pass gives the same text.
void RemoveStringLiterals(Text& text) {
  if (text.find(u'\'') == Text::npos) return;
  const Text source = std::move(text);
  Text kept;
  kept.reserve(source.size());
  const std::size_t n = source.size();
  std::size_t k = 0;
  while (k < n) {
    // The last character of the text is never examined.
    if (kept.size() + 1 >= kept.size() + (n - k)) break;
    const char16_t c = source[k];
    bool opens = false;
    if (c == u'\'') opens = kept.empty() ? k == 0 : IsQuoteOpener(kept.back());
    if (!opens) {
      kept.push_back(c);
      ++k;
      continue;
    }
    const std::size_t close = source.find(u'\'', k + 1);
    if (close == Text::npos) {
      text.clear();  // an unterminated string drops the statement
      return;
    }
    k = close + 1;
    if (kept.empty() && k < n) {
      // The scan goes on at the second character: the first stays unread.
      kept.push_back(source[k]);
      ++k;
    }
  }
  kept.append(source, k, Text::npos);
  text = std::move(kept);
}

Text CleanStatement(Text text, bool& forEntry) {
  forEntry = false;
  if (StartsWith(text, u"function")) text.clear();
  std::replace(text.begin(), text.end(), u'\t', u' ');
  if (text.find(u'\'') != Text::npos) {
    const TextView trimmed = TrimBlanks(text);
    if (!trimmed.empty() && trimmed.front() == u'%') {
      text.clear();
    } else {
      RemoveStringLiterals(text);
    }
  }
  if (const auto percent = text.find(u'%'); percent != Text::npos) text.resize(percent);
  if (const auto eq = text.find(u'='); eq != Text::npos) {
    const bool equality = eq + 1 < text.size() && text[eq + 1] == u'=';
    if (!equality) {
      forEntry = text.find(u"for") != Text::npos;
      text.erase(0, eq + 1);
    }
  }
  for (auto& c : text) {
    if (c == u'[' || c == u']' || c == u'{' || c == u'}' || c == u';') c = u' ';
  }
  return text;
}

void ScanFile(TextLines& lines, CallRecorder& out) {
  constexpr std::int64_t kMaxLine = std::numeric_limits<std::int32_t>::max();
  std::int64_t physical = 0;
  Text line;
  Text next;
  while (lines.Next(line)) {
    ++physical;
    const auto statementLine = static_cast<std::int32_t>(std::min(physical, kMaxLine));
    Text text(TrimBlanks(line));
    LowerInPlace(text);
    for (;;) {
      const TextView right = TrimBlanksRight(text);
      if (!EndsWith(right, u"...") || lines.AtEnd()) break;
      text.resize(right.size() - 3);
      lines.Next(next);
      ++physical;
      text += next;
    }
    bool forEntry = false;
    const Text cleaned = CleanStatement(std::move(text), forEntry);
    if (forEntry) out.AddCall(u"For", statementLine);
    FindCalls(cleaned, statementLine, out);
  }
}

}  // namespace korvath
