#pragma once
// Conversions between the engine's UTF-16 text and UTF-8 (host paths, output).

#include <string>
#include <string_view>

namespace korvath::platform {

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Whether `unit` stands for a byte of a file name that is not UTF-8 (see
// FileNameText); then `unit & 0xFF` is that byte.
constexpr bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Appends `text` as UTF-8, unpaired surrogates as U+FFFD, or with
// `escapedBytesRaw` those that stand for a file name's bytes as the bytes.
// ASCII units go through `appendAscii(out, c)`, so that a writer can escape
// them.
template <class AppendAscii>
void AppendUtf16AsUtf8(std::string& out, std::u16string_view text, AppendAscii appendAscii,
                       bool escapedBytesRaw = false) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u < 0x80) {
      appendAscii(out, static_cast<char>(u));
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (escapedBytesRaw && IsEscapedByte(u)) {
      out.push_back(static_cast<char>(u & 0xFF));
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

// File names are bytes on POSIX and need not be UTF-8. As text, each byte
// that is not part of a valid sequence stands as the lone surrogate
// U+DC80..U+DCFF (which no valid UTF-8 can give), so that a name read from
// a listing goes back to the system, and to text output, as the same bytes.
std::u16string FileNameText(std::string_view bytes);
// The inverse of FileNameText; any other unpaired surrogate becomes U+FFFD.
std::string FileNameBytesOf(std::u16string_view text);
// Whether `text` (as FileNameText gives it) holds such a byte.
bool HasEscapedBytes(std::u16string_view text);

}  // namespace korvath::platform
