#include "engine/number_text.h"

namespace korvath::engine {
namespace {

template <class Unit>
bool IsDigit(Unit c) {
  return c >= Unit{'0'} && c <= Unit{'9'};
}

template <class Unit>
bool IsNumber(std::basic_string_view<Unit> text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == Unit{'+'} || text[i] == Unit{'-'})) ++i;
  std::size_t intDigits = 0;
  while (i < n && IsDigit(text[i])) {
    ++i;
    ++intDigits;
  }
  std::size_t fracDigits = 0;
  if (i < n && text[i] == Unit{'.'}) {
    ++i;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++fracDigits;
    }
  }
  if (intDigits == 0 && fracDigits == 0) return false;
  if (i < n && (text[i] == Unit{'e'} || text[i] == Unit{'E'})) {
    ++i;
    if (i < n && (text[i] == Unit{'+'} || text[i] == Unit{'-'})) ++i;
    std::size_t expDigits = 0;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  return i == n;
}

}  // namespace

bool ReadsAsNumber(TextView text) { return IsNumber(text); }
bool ReadsAsNumber(std::string_view ascii) { return IsNumber(ascii); }

}  // namespace korvath::engine
