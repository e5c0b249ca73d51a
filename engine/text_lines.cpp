#include "engine/text_lines.h"

#include "platform/utf8.h"

namespace korvath {
namespace {

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool HasUtf8ByteOrderMark(const std::string& bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
         static_cast<unsigned char>(bytes[1]) == 0xBB &&
         static_cast<unsigned char>(bytes[2]) == 0xBF;
}

}  // namespace

char16_t Windows1252ToUnit(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
  return static_cast<char16_t>(byte);
}

TextLines::TextLines(std::string bytes) : bytes_(std::move(bytes)) {
  if (HasUtf8ByteOrderMark(bytes_)) pos_ = 3;
  utf8_ = platform::IsValidUtf8(std::string_view(bytes_).substr(pos_));
}

bool TextLines::Next(Text& line) {
  line.clear();
  if (AtEnd()) return false;
  const std::size_t begin = pos_;
  std::size_t end = begin;
  while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
  pos_ = end;
  if (pos_ < bytes_.size()) {
    if (bytes_[pos_] == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
  }
  const std::string_view raw(bytes_.data() + begin, end - begin);
  bool ascii = true;
  for (const char c : raw) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    line.resize(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) line[i] = static_cast<char16_t>(raw[i]);
  } else if (utf8_) {
    line = platform::FromUtf8(raw);
  } else {
    line.resize(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
      line[i] = Windows1252ToUnit(static_cast<unsigned char>(raw[i]));
    }
  }
  return true;
}

std::vector<Text> SplitLines(std::string bytes) {
  TextLines lines(std::move(bytes));
  std::vector<Text> out;
  Text line;
  while (lines.Next(line)) out.push_back(line);
  return out;
}

}  // namespace korvath
