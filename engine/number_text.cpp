#include "engine/number_text.h"

namespace korvath::engine {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

bool ReadsAsNumber(TextView text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
  std::size_t intDigits = 0;
  while (i < n && IsDigit(text[i])) {
    ++i;
    ++intDigits;
  }
  std::size_t fracDigits = 0;
  if (i < n && text[i] == u'.') {
    ++i;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++fracDigits;
    }
  }
  if (intDigits == 0 && fracDigits == 0) return false;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  return i == n;
}

}  // namespace korvath::engine
