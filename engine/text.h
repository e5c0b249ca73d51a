#pragma once
// Small helpers over the engine's UTF-16 text. Positions are ordinary
// 0-based indexes.

#include <cstdint>
#include <string>
#include <string_view>

namespace korvath {

// The text of every layer above the platform: UTF-16, as the system's own.
using Text = std::u16string;
using TextView = std::u16string_view;

}  // namespace korvath

namespace korvath::engine {

// Removes blanks (U+0020 only, never tabs) at both ends.
TextView TrimBlanks(TextView text);
TextView TrimBlanksRight(TextView text);
bool EndsWith(TextView text, TextView tail);
bool StartsWith(TextView text, TextView head);

// "A"-"Z" to "a"-"z", anything else unchanged; no branch, since every
// character of every line goes through it.
template <class Unit>
constexpr Unit AsciiLower(Unit c) {
  return static_cast<Unit>(c + (static_cast<unsigned>(c - Unit{'A'}) < 26U ? 32 : 0));
}

// A function's file name: ".m" appended unless the name ends in it already.
Text WithMExtension(TextView name);
// A file's function name: one ".m" removed from the end, if there is one.
TextView WithoutMExtension(TextView fileName);

// Simple lower-case mapping of one UTF-16 unit; never changes the length.
char16_t LowerUnit(char16_t unit);

// ASCII-only text to UTF-16, for literals built at run time.
Text Widen(std::string_view ascii);
// The same into `out` (its capacity reused), sixteen bytes a step: bytes
// are read unsigned, so ASCII widens to itself.
void WidenInto(std::string_view ascii, Text& out);
// Decimal text of a number, as UTF-16.
Text DecimalText(std::int64_t value);

}  // namespace korvath::engine
