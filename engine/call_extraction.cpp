#include "engine/call_extraction.h"

#include <utility>
#include <vector>

namespace korvath {

bool IsDelimiter(char16_t c) {
  switch (c) {
    case u'=': case u'+': case u'-': case u'*': case u'^': case u'~': case u'&': case u'/':
    case u'<': case u'>': case u'\\': case u'|': case u'\'': case u':': case u',': case u' ':
      return true;
    default:
      return false;
  }
}

std::optional<std::size_t> FindClosingParen(TextView text, std::size_t start) {
  long depth = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] == u')') {
      --depth;
      if (depth == 0) return i;
    } else if (text[i] == u'(') {
      ++depth;
    }
  }
  return std::nullopt;
}

void FindCalls(TextView text, std::int32_t line, CallRecorder& out) {
  if (text.empty()) return;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The ")" that closes each "(" over the whole text. A "(" inside a piece
  // being cut is closed by the same ")" as long as that lies inside the
  // piece; otherwise it has no ")" there.
  thread_local std::vector<std::size_t> match;
  thread_local std::vector<std::size_t> open;
  thread_local std::vector<std::pair<std::size_t, std::size_t>> work;
  bool anyParen = false;
  for (const char16_t c : text) {
    if (c == u'(') {
      anyParen = true;
      break;
    }
  }
  if (anyParen) {
    match.assign(text.size(), kNone);
    open.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'(') {
        open.push_back(i);
      } else if (text[i] == u')' && !open.empty()) {
        match[open.back()] = i;
        open.pop_back();
      }
    }
  }

  // Pieces still to cut, last one first; an explicit stack keeps deep
  // nesting off the call stack.
  work.clear();
  work.emplace_back(0, text.size());
  while (!work.empty()) {
    auto [begin, end] = work.back();
    work.pop_back();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    if (begin == end) continue;

    std::size_t i = begin;
    while (i < end && text[i] != u'(' && !IsDelimiter(text[i])) ++i;
    if (i > begin) out.AddCall(text.substr(begin, i - begin), line);
    if (i == end) continue;
    if (text[i] != u'(') {
      work.emplace_back(i + 1, end);
      continue;
    }
    const std::size_t close = match[i];
    if (close != kNone && close < end) {
      work.emplace_back(close + 1, end);
      work.emplace_back(i + 1, close);
    } else {
      work.emplace_back(i + 1, end);
    }
  }
}

}  // namespace korvath
