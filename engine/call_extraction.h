#pragma once
// Cuts one cleaned statement into names at the delimiters and parentheses.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/text.h"

namespace korvath {

// The 16 characters that end a name: = + - * ^ ~ & / < > \ | ' : , and blank.
inline constexpr TextView kDelimiters = u"=+-*^~&/<>\\|':, ";
bool IsDelimiter(char16_t c);

class CallRecorder {
 public:
  CallRecorder() = default;
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;
  virtual ~CallRecorder() = default;
  virtual void AddCall(TextView name, std::int32_t line) = 0;
};

// Hands every name of `text` to `out`, left to right, each name ahead of the
// names inside its own argument list. A "(" without its ")" takes the rest of
// the text as its argument list. Runs in linear time without recursion.
void FindCalls(TextView text, std::int32_t line, CallRecorder& out);

// 0-based index of the ")" closing the "(" at `start`, or nullopt when the
// text ends first.
std::optional<std::size_t> FindClosingParen(TextView text, std::size_t start);

}  // namespace korvath
