#pragma once
// What the writers share: a buffered output that reports the first failed
// write, and text escaped for a line, JSON or DOT on its way to UTF-8.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/text.h"
#include "platform/result.h"

namespace korvath::engine {

// A large buffer written out in big blocks; a tree can run to a gigabyte of
// text, so every byte goes through a plain memcpy and nothing else.
class BufferedOutput {
 public:
  explicit BufferedOutput(std::FILE* file) : file_(file), buffer_(new char[kSize]) {}
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;
  ~BufferedOutput() { Flush(); }

  // Everything written out, the stream flushed: the first failure, if any.
  platform::Result Finish() {
    Flush();
    if (std::fflush(file_) != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
    if (error_ == 0 && std::ferror(file_) != 0) error_ = EIO;
    if (error_ == 0) return {};
    return platform::Result::Failure(
        error_ == EPIPE ? platform::Status::OutputClosed : platform::Status::Unwritable,
        std::generic_category().message(error_));
  }

  BufferedOutput& operator<<(std::string_view text) {
    Append(text.data(), text.size());
    return *this;
  }
  BufferedOutput& operator<<(int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append(digits, static_cast<std::size_t>(end - digits));
    return *this;
  }
  void Append(const char* data, std::size_t size) {
    if (used_ + size > kSize) {
      Flush();
      if (size > kSize) {
        Write(data, size);
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
  }
  void Flush() {
    if (used_ != 0) Write(buffer_.get(), used_);
    used_ = 0;
  }

 private:
  // After the first failure nothing more is tried: a full disk or a closed
  // pipe would fail every later block too.
  void Write(const char* data, std::size_t size) {
    if (error_ != 0) return;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size) error_ = errno != 0 ? errno : EIO;
  }

  static constexpr std::size_t kSize = 1 << 18;
  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  int error_ = 0;
};

// Control characters (U+0000 to U+001F, U+007F) in a name could break a
// line, a list's columns or the XML of a picture, or steer a terminal: a
// line and DOT show them as "\xNN", JSON as "\u00NN". Nothing else changes,
// backslashes in Windows paths included. Bytes of a file name that is not
// UTF-8 stay as they are in a line, and are U+FFFD in JSON and DOT.
enum class Escape {
  Line,  // a line of text
  Json,  // inside a JSON string
  Dot,   // inside a DOT string
};

// UTF-16 straight to escaped UTF-8; only ASCII characters ever need escaping.
void AppendText(std::string& out, TextView text, Escape escape);
// `text` as a JSON string, quotes included.
std::string JsonString(TextView text);
// `text` as a line of text shows it (without the line's end).
std::string LineText(TextView text);

}  // namespace korvath::engine
