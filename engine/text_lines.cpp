#include "engine/text_lines.h"

#include "platform/windows1252.h"

#include <bit>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "platform/utf8.h"

namespace korvath::engine {
namespace {

bool HasUtf8ByteOrderMark(const std::string& bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
         static_cast<unsigned char>(bytes[1]) == 0xBB &&
         static_cast<unsigned char>(bytes[2]) == 0xBF;
}

}  // namespace

TextLines::TextLines(std::string bytes) : bytes_(std::move(bytes)) {
  if (HasUtf8ByteOrderMark(bytes_)) pos_ = 3;
}

bool TextLines::IsUtf8() const {
  if (utf8_ < 0) {
    // Validity is a property of the whole file after its byte-order mark.
    const std::size_t start = HasUtf8ByteOrderMark(bytes_) ? 3 : 0;
    utf8_ = platform::IsValidUtf8(std::string_view(bytes_).substr(start)) ? 1 : 0;
  }
  return utf8_ == 1;
}

bool TextLines::NextBytes(std::string_view& raw) {
  if (AtEnd()) return false;
  const char* const data = bytes_.data();
  const std::size_t size = bytes_.size();
  const std::size_t begin = pos_;
  // The line ends at the first CR or LF, looked for 16 bytes at a time while
  // a whole block lies in the file: lines are short, and a library call per
  // line would cost more than the search.
  std::size_t end = begin;
  bool found = false;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; end + 16 <= size; end += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + end));
    const auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
    if (mask != 0) {
      end += static_cast<std::size_t>(std::countr_zero(mask));
      found = true;
      break;
    }
  }
#endif
  if (!found) {
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
  }
  pos_ = end;
  if (pos_ < size) {
    if (data[pos_] == '\r' && pos_ + 1 < size && data[pos_ + 1] == '\n') ++pos_;
    ++pos_;
  }
  raw = std::string_view(data + begin, end - begin);
  return true;
}

void TextLines::Decode(std::string_view raw, Text& line) const {
  unsigned char high = 0;
  for (const char c : raw) high |= static_cast<unsigned char>(c);
  if (high < 0x80) {
    line.resize(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) line[i] = static_cast<char16_t>(raw[i]);
  } else if (IsUtf8()) {
    line = platform::FromUtf8(raw);
  } else {
    platform::DecodeWindows1252(raw, line);
  }
}

bool TextLines::Next(Text& line) {
  std::string_view raw;
  if (!NextBytes(raw)) {
    line.clear();
    return false;
  }
  Decode(raw, line);
  return true;
}

std::vector<Text> SplitLines(std::string bytes) {
  TextLines lines(std::move(bytes));
  std::vector<Text> out;
  Text line;
  while (lines.Next(line)) out.push_back(line);
  return out;
}

}  // namespace korvath::engine
