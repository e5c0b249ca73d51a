#pragma once
// Conversions between the engine's UTF-16 text and UTF-8 (host paths, output).

#include <string>
#include <string_view>

namespace korvath::platform {

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD; never fails.
std::u16string FromUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

}  // namespace korvath::platform
