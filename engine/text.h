#pragma once
// Small helpers over the engine's UTF-16 text. Positions in the algorithms
// are 1-based in the design; in code they are ordinary 0-based indexes.

#include <cstdint>
#include <string>
#include <string_view>

namespace korvath {

using Text = std::u16string;
using TextView = std::u16string_view;

// Removes blanks (U+0020 only, never tabs) at both ends.
TextView TrimBlanks(TextView text);
TextView TrimBlanksRight(TextView text);
bool EndsWith(TextView text, TextView tail);
bool StartsWith(TextView text, TextView head);

// Simple lower-case mapping of one UTF-16 unit; never changes the length.
char16_t LowerUnit(char16_t unit);
void LowerInPlace(Text& text);

// ASCII-only text to UTF-16, for literals built at run time.
Text Widen(std::string_view ascii);
// Decimal text of a number, as UTF-16.
Text DecimalText(std::int64_t value);

}  // namespace korvath
