#pragma once
// Cuts one cleaned statement into names at the delimiters and parentheses.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/text.h"

namespace korvath::engine {

// The 16 characters that end a name: = + - * ^ ~ & / < > \ | ' : , and blank.
inline constexpr TextView Delimiters = u"=+-*^~&/<>\\|':, ";
// A table, since every character of every statement is tested.
inline constexpr std::array<bool, 128> kIsDelimiterTable = [] {
  std::array<bool, 128> table{};
  for (const char16_t c : Delimiters) table[c] = true;
  return table;
}();
inline bool IsDelimiter(char16_t c) { return c < 128 && kIsDelimiterTable[c]; }

class CallRecorder {
 public:
  CallRecorder() = default;
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;
  virtual ~CallRecorder() = default;
  virtual void AddCall(TextView name, std::int32_t line) = 0;
  // Names of one statement, in order (a long statement in several batches);
  // by default one AddCall each. A recorder may look ahead to fetch what the
  // later names need.
  virtual void AddCalls(const TextView* names, std::size_t count, std::int32_t line) {
    for (std::size_t i = 0; i < count; ++i) AddCall(names[i], line);
  }
  // The same for names of ASCII bytes, which stand for the same units
  // widened; by default widened and handed to AddCalls. A recorder that can
  // take bytes as they are saves the widening.
  virtual void AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line);
  // Whether AddAsciiCalls is this recorder's own: the scanner hands ASCII
  // statements' names over as bytes only then, and otherwise widens each
  // cleaned statement at once.
  virtual bool TakesAscii() const { return false; }
};

// Hands every name of `text` to `out`, left to right, each name ahead of the
// names inside its own argument list. A "(" without its ")" takes the rest of
// the text as its argument list. Runs in linear time without recursion. The
// byte form takes ASCII text and hands its names to AddAsciiCalls.
void FindCalls(TextView text, std::int32_t line, CallRecorder& out);
void FindCalls(std::string_view text, std::int32_t line, CallRecorder& out);
// The byte form for a text whose buffer goes on for at least 15 bytes past
// its end: those may be read (never written), so the text's last bytes are
// searched a block at a time as well.
void FindCallsPadded(std::string_view text, std::int32_t line, CallRecorder& out);

}  // namespace korvath::engine
