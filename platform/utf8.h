#pragma once
// Conversions between the engine's UTF-16 text and UTF-8 (host paths, output).

#include <string>
#include <string_view>

namespace korvath::platform {

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Appends `text` as UTF-8, unpaired surrogates as U+FFFD. ASCII units go
// through `appendAscii(out, c)`, so that a writer can escape them.
template <class AppendAscii>
void AppendUtf16AsUtf8(std::string& out, std::u16string_view text, AppendAscii appendAscii) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u < 0x80) {
      appendAscii(out, static_cast<char>(u));
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
}

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD; never fails.
std::u16string FromUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

}  // namespace korvath::platform
