#include "lsp/message_reader.h"

#include <algorithm>
#include <cstring>

namespace korvath::lsp {
namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;
// Header lines are short; a longer one is garbage and is cut.
constexpr std::size_t kMaxHeaderLine = std::size_t{8} * 1024;
// What is kept of a body too large to read, for its id.
constexpr std::size_t kKeptOfTooLarge = std::size_t{64} * 1024;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool NameIs(std::string_view name, std::string_view wanted) {
  return name.size() == wanted.size() &&
         std::equal(name.begin(), name.end(), wanted.begin(),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Decimal digits only, at most 19 of them, so the value cannot overflow.
std::optional<std::uint64_t> ParseLength(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// A scanner over the start of a JSON object; every step stops at the end
// of the text it has.
class IdScanner {
 public:
  explicit IdScanner(std::string_view text) : text_(text) {}

  std::optional<std::string> Find() {
    SkipBlanks();
    if (!Eat('{')) return std::nullopt;
    while (true) {
      SkipBlanks();
      std::string key;
      if (!String(&key)) return std::nullopt;
      SkipBlanks();
      if (!Eat(':')) return std::nullopt;
      SkipBlanks();
      const std::size_t start = pos_;
      if (key == "id") {
        if (pos_ < text_.size() && text_[pos_] == '"') {
          if (!String(nullptr)) return std::nullopt;
        } else {
          while (pos_ < text_.size() && std::strchr("-+.0123456789eE", text_[pos_]) != nullptr) {
            ++pos_;
          }
          if (pos_ == start || pos_ >= text_.size()) return std::nullopt;
        }
        return std::string(text_.substr(start, pos_ - start));
      }
      if (!SkipValue()) return std::nullopt;
      SkipBlanks();
      if (!Eat(',')) return std::nullopt;
    }
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) != nullptr) ++pos_;
  }
  bool Eat(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  // A string with its escapes; the key's text (escapes left as written,
  // which no key this looks for has) into `out` when given.
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (pos_ >= text_.size()) return false;
        if (out != nullptr) {
          out->push_back(c);
          out->push_back(text_[pos_]);
        }
        ++pos_;
        continue;
      }
      if (out != nullptr) out->push_back(c);
    }
    return false;
  }
  // Any value: strings whole, brackets counted.
  bool SkipValue() {
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '"') {
        if (!String(nullptr)) return false;
      } else if (c == '{' || c == '[') {
        ++depth;
        ++pos_;
      } else if (c == '}' || c == ']') {
        if (depth == 0) return true;
        --depth;
        ++pos_;
      } else if (c == ',' && depth == 0) {
        return true;
      } else {
        ++pos_;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::size_t StringSource::Read(char* into, std::size_t most) {
  const std::size_t n = std::min(most, bytes_.size());
  std::memcpy(into, bytes_.data(), n);
  bytes_.remove_prefix(n);
  return n;
}

bool MessageReader::Fill() {
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kChunk);
  const std::size_t got = source_.Read(buffer_.data() + had, kChunk);
  buffer_.resize(had + got);
  return got > 0;
}

bool MessageReader::ReadLine(std::string& line) {
  line.clear();
  while (true) {
    const std::size_t lf = buffer_.find('\n', pos_);
    const std::size_t end = lf == std::string::npos ? buffer_.size() : lf;
    if (line.size() < kMaxHeaderLine) {
      line.append(buffer_, pos_, std::min(end - pos_, kMaxHeaderLine - line.size()));
    }
    if (lf != std::string::npos) {
      pos_ = lf + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    pos_ = buffer_.size();
    if (!Fill()) return !line.empty();
  }
}

std::uint64_t MessageReader::Take(std::uint64_t count, std::string* into) {
  std::uint64_t moved = 0;
  while (moved < count) {
    if (pos_ >= buffer_.size() && !Fill()) break;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - moved, buffer_.size() - pos_));
    if (into != nullptr) into->append(buffer_, pos_, n);
    pos_ += n;
    moved += n;
  }
  return moved;
}

MessageReader::Outcome MessageReader::Next(std::string& body) {
  body.clear();
  std::optional<std::uint64_t> length;
  bool sawHeader = false;
  std::string line;
  while (true) {
    if (!ReadLine(line)) return Outcome::End;
    if (line.empty()) {
      // Blank lines between messages are tolerated.
      if (!sawHeader) continue;
      break;
    }
    sawHeader = true;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (NameIs(Trim(std::string_view(line).substr(0, colon)), "content-length")) {
      length = ParseLength(std::string_view(line).substr(colon + 1));
    }
  }
  if (!length) return Outcome::BadHeader;
  if (*length > kMaxMessageBytes) {
    const std::uint64_t kept = Take(kKeptOfTooLarge, &body);
    if (kept < kKeptOfTooLarge) return Outcome::End;
    if (Take(*length - kept, nullptr) < *length - kept) return Outcome::End;
    return Outcome::TooLarge;
  }
  if (Take(*length, &body) < *length) return Outcome::End;
  return Outcome::Message;
}

std::optional<std::string> FindMessageId(std::string_view prefix) {
  return IdScanner(prefix).Find();
}

std::string Frame(std::string_view body) {
  std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  framed.append(body);
  return framed;
}

}  // namespace korvath::lsp
