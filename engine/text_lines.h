#pragma once
// Turns the bytes of a text file into lines. Files are UTF-8 when they are
// valid UTF-8 (a leading byte-order mark is dropped), otherwise Windows-1252.
// CR, CR LF and a lone LF each end a line; a terminator at the very end does
// not make an extra empty line.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace korvath::engine {

class TextLines {
 public:
  explicit TextLines(std::string bytes);

  bool AtEnd() const { return pos_ >= bytes_.size(); }
  // Reads the next line into `line` (without its terminator). Returns false
  // at the end of the file.
  bool Next(Text& line);
  // The same line as its undecoded bytes, valid as long as this object; a
  // line of ASCII bytes decodes to the same units in either encoding.
  bool NextBytes(std::string_view& raw);
  // One line's bytes decoded in this file's encoding.
  void Decode(std::string_view raw, Text& line) const;
  // One past the file's last byte: the bytes of a line may be read in
  // blocks beyond its end up to here.
  const char* DataEnd() const { return bytes_.data() + bytes_.size(); }
  bool IsUtf8() const;

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  // Whether the file is valid UTF-8, worked out when a line first needs it:
  // lines of ASCII read the same either way. -1 while unknown.
  mutable int utf8_ = -1;
};

// All lines of a file's bytes at once (small files: settings, lists).
std::vector<Text> SplitLines(std::string bytes);

}  // namespace korvath::engine
