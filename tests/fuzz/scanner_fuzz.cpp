// Random bytes through the file reader, the statement cleaner, the scanner
// and the call extraction. Every name handed on must be non-empty and free
// of delimiters and "("; statements come in file order with line numbers
// inside the file; cleaned statements hold nothing the cleaner removes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/call_extraction.h"
#include "engine/mfile_scanner.h"
#include "engine/text.h"
#include "engine/text_lines.h"

namespace {

using korvath::Text;
using korvath::TextView;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class CheckingRecorder final : public korvath::CallRecorder {
 public:
  CheckingRecorder(std::int32_t firstLine, std::int32_t lastLine)
      : firstLine_(firstLine), lastLine_(lastLine), previous_(firstLine) {}

  void AddCall(TextView name, std::int32_t line) override {
    Check(!name.empty());
    for (char16_t c : name) Check(c != u'(' && !korvath::IsDelimiter(c));
    Check(line >= firstLine_ && line <= lastLine_);
    Check(line >= previous_);
    previous_ = line;
  }

 private:
  std::int32_t firstLine_;
  std::int32_t lastLine_;
  std::int32_t previous_;
};

void CheckClosingParens(TextView text) {
  int checked = 0;
  for (std::size_t start = 0; start < text.size() && checked < 8; ++start) {
    if (text[start] != u'(') continue;
    ++checked;
    const auto close = korvath::FindClosingParen(text, start);
    if (!close) continue;
    Check(*close > start && *close < text.size() && text[*close] == u')');
    // Balanced in between, and nowhere closed earlier.
    long depth = 0;
    for (std::size_t i = start; i <= *close; ++i) {
      if (text[i] == u'(') ++depth;
      if (text[i] == u')') {
        --depth;
        Check(depth > 0 || i == *close);
      }
    }
    Check(depth == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The file as lines: no terminator inside a line.
  std::int32_t lineCount = 0;
  {
    korvath::TextLines lines(bytes);
    Text line;
    while (lines.Next(line)) {
      ++lineCount;
      Check(line.find(u'\r') == Text::npos && line.find(u'\n') == Text::npos);
      Text cleaned = line;
      korvath::RemoveStringLiterals(cleaned);
      Check(cleaned.size() <= line.size());
      bool forEntry = false;
      cleaned = korvath::CleanStatement(line, forEntry);
      for (char16_t c : cleaned) {
        Check(c != u'\t' && c != u'[' && c != u']' && c != u'{' && c != u'}' && c != u';' &&
              c != u'%');
      }
      CheckingRecorder recorder(1, 1);
      korvath::FindCalls(cleaned, 1, recorder);
    }
    Check(lines.AtEnd());
  }

  // The whole file through the scanner.
  {
    korvath::TextLines lines(bytes);
    CheckingRecorder recorder(1, lineCount);
    korvath::ScanFile(lines, recorder);
  }

  // The raw bytes as one statement, byte by byte.
  Text raw;
  raw.reserve(size);
  for (std::size_t i = 0; i < size; ++i) raw.push_back(static_cast<char16_t>(data[i]));
  CheckingRecorder recorder(7, 7);
  korvath::FindCalls(raw, 7, recorder);
  CheckClosingParens(raw);
  return 0;
}
