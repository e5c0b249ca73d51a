#pragma once
// Turns the bytes of a text file into lines. Files are UTF-8 when they are
// valid UTF-8 (a leading byte-order mark is dropped), otherwise Windows-1252.
// CR, CR LF and a lone LF each end a line; a terminator at the very end does
// not make an extra empty line.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/text.h"

namespace korvath {

class TextLines {
 public:
  explicit TextLines(std::string bytes);

  bool AtEnd() const { return pos_ >= bytes_.size(); }
  // Reads the next line into `line` (without its terminator). Returns false
  // at the end of the file.
  bool Next(Text& line);
  bool IsUtf8() const { return utf8_; }
  std::size_t ByteCount() const { return bytes_.size(); }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  bool utf8_ = true;
};

// All lines of a file's bytes at once (small files: settings, lists).
std::vector<Text> SplitLines(std::string bytes);

// One byte of Windows-1252 as UTF-16 (the five unassigned bytes map to the
// C1 control of the same value, as Windows does).
char16_t Windows1252ToUnit(unsigned char byte);

}  // namespace korvath
