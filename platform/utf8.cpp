#include "platform/utf8.h"

#include <cstdint>

namespace korvath::platform {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 when it is invalid.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t len = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf16AsUtf8(out, text, [](std::string& o, char c) { o.push_back(c); });
  return out;
}

namespace {

// UTF-8 to UTF-16; a byte that starts no valid sequence becomes `invalid(byte)`.
template <typename Invalid>
std::u16string DecodeUtf8(std::string_view bytes, Invalid invalid) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t len = SequenceLength(bytes, i, cp);
    if (len == 0) {
      out.push_back(invalid(static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

}  // namespace

std::u16string FromUtf8(std::string_view bytes) {
  return DecodeUtf8(bytes, [](unsigned char) { return u'\uFFFD'; });
}

std::u16string FileNameText(std::string_view bytes) {
  return DecodeUtf8(bytes, [](unsigned char b) { return static_cast<char16_t>(0xDC00 | b); });
}

std::string FileNameBytesOf(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf16AsUtf8(
      out, text, [](std::string& o, char c) { o.push_back(c); }, true);
  return out;
}

bool HasEscapedBytes(std::u16string_view text) {
  for (const char16_t u : text) {
    if (IsEscapedByte(u)) return true;
  }
  return false;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    // ASCII runs are the common case: skip them eight bytes at a time.
    while (i + 8 <= bytes.size()) {
      std::uint64_t word = 0;
      for (std::size_t k = 0; k < 8; ++k) {
        word |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i + k])) << (8 * k);
      }
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= bytes.size()) break;
    char32_t cp = 0;
    const std::size_t len = SequenceLength(bytes, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

}  // namespace korvath::platform
