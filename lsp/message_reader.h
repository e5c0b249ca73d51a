#pragma once
// The framing of the language server protocol: messages as "Content-Length"
// headers, a blank line, then that many bytes of JSON.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvath::lsp {

// No message body is larger; a bigger one is skipped unread.
inline constexpr std::uint64_t kMaxMessageBytes = std::uint64_t{64} << 20;

// Where the bytes come from: standard input, or memory in the tests.
class ByteSource {
 public:
  ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;
  virtual ~ByteSource() = default;
  // Up to `most` bytes into `into`; 0 only at the end of the input.
  virtual std::size_t Read(char* into, std::size_t most) = 0;
};

class StringSource final : public ByteSource {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* into, std::size_t most) override;

 private:
  std::string_view bytes_;
};

class MessageReader {
 public:
  enum class Outcome {
    Message,    // `body` holds one message
    TooLarge,   // the body was over kMaxMessageBytes and skipped; `body`
                // holds its first bytes, where the id usually is
    BadHeader,  // a header block without a usable Content-Length, skipped
    End,        // the input ended (maybe in the middle of a message)
  };
  explicit MessageReader(ByteSource& source) : source_(source) {}
  Outcome Next(std::string& body);

 private:
  // One header line without its CR LF (a lone LF is accepted too); false
  // at the end of the input. Lines longer than a few KiB are cut short.
  bool ReadLine(std::string& line);
  bool Fill();
  // Moves up to `count` bytes to `into` (or drops them when null); the
  // count moved.
  std::uint64_t Take(std::uint64_t count, std::string* into);

  ByteSource& source_;
  std::string buffer_;
  std::size_t pos_ = 0;
};

// The "id" of a JSON-RPC message as its JSON text ("7", "\"a\""), found
// without parsing the whole of `prefix` (the first bytes of a body too large
// to read): a top-level member whose value is a number or a string.
std::optional<std::string> FindMessageId(std::string_view prefix);

// `body` framed for the output.
std::string Frame(std::string_view body);

}  // namespace korvath::lsp
