#include "engine/text_lines.h"

#include "platform/windows1252.h"

#include <algorithm>
#include <string_view>

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
  nextLf_ = FindByte('\n', pos_);
  nextCr_ = FindByte('\r', pos_);
}

bool TextLines::IsUtf8() const {
  if (utf8_ < 0) {
    // Validity is a property of the whole file after its byte-order mark.
    const std::size_t start = HasUtf8ByteOrderMark(bytes_) ? 3 : 0;
    utf8_ = platform::IsValidUtf8(std::string_view(bytes_).substr(start)) ? 1 : 0;
  }
  return utf8_ == 1;
}

std::size_t TextLines::FindByte(char byte, std::size_t from) const {
  const std::size_t at = std::string_view(bytes_).find(byte, from);
  return at == std::string_view::npos ? bytes_.size() : at;
}

bool TextLines::NextBytes(std::string_view& raw) {
  if (AtEnd()) return false;
  const char* const data = bytes_.data();
  const std::size_t size = bytes_.size();
  const std::size_t begin = pos_;
  // The line ends at the first CR or LF. The next of each is remembered, so
  // a file that uses only one of them is still searched once.
  if (nextLf_ < begin) nextLf_ = FindByte('\n', begin);
  if (nextCr_ < begin) nextCr_ = FindByte('\r', begin);
  const std::size_t end = std::min(nextLf_, nextCr_);
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
