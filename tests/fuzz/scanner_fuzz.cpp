// Random bytes through the file reader, the statement cleaner, the scanner
// and the call extraction. Every name handed on must be non-empty and free
// of delimiters and "("; statements come in file order with line numbers
// inside the file; cleaned statements hold nothing the cleaner removes; the
// names of one statement are pieces of it, in order, cut only at delimiters
// and parentheses.

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
namespace engine = korvath::engine;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class CheckingRecorder final : public engine::CallRecorder {
 public:
  // With `statement`, the names must be views into it.
  CheckingRecorder(std::int32_t firstLine, std::int32_t lastLine, TextView statement = {})
      : firstLine_(firstLine), lastLine_(lastLine), previous_(firstLine), statement_(statement) {}

  void AddCall(TextView name, std::int32_t line) override {
    Check(!name.empty());
    for (char16_t c : name) Check(c != u'(' && !engine::IsDelimiter(c));
    Check(line >= firstLine_ && line <= lastLine_);
    Check(line >= previous_);
    previous_ = line;
    if (statement_.data() == nullptr) return;
    const char16_t* begin = statement_.data();
    Check(name.data() >= begin + cut_ && name.data() + name.size() <= begin + statement_.size());
    for (const char16_t* c = begin + cut_; c < name.data(); ++c) {
      Check(*c == u'(' || *c == u')' || engine::IsDelimiter(*c));
    }
    cut_ = static_cast<std::size_t>(name.data() + name.size() - begin);
  }

 private:
  std::int32_t firstLine_;
  std::int32_t lastLine_;
  std::int32_t previous_;
  TextView statement_;
  std::size_t cut_ = 0;  // end of the previous name within the statement
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The file as lines: no terminator inside a line.
  std::int32_t lineCount = 0;
  {
    engine::TextLines lines(bytes);
    Text line;
    while (lines.Next(line)) {
      ++lineCount;
      Check(line.find(u'\r') == Text::npos && line.find(u'\n') == Text::npos);
      Text cleaned = line;
      engine::RemoveStringLiterals(cleaned);
      Check(cleaned.size() <= line.size());
      bool forEntry = false;
      cleaned = line;
      engine::CleanStatement(cleaned, forEntry);
      for (char16_t c : cleaned) {
        Check(c != u'\t' && c != u'[' && c != u']' && c != u'{' && c != u'}' && c != u';' &&
              c != u'%');
      }
      CheckingRecorder recorder(1, 1, cleaned);
      engine::FindCalls(cleaned, 1, recorder);
    }
    Check(lines.AtEnd());
  }

  // The whole file through the scanner.
  {
    engine::TextLines lines(bytes);
    CheckingRecorder recorder(1, lineCount);
    engine::ScanFile(lines, recorder);
  }

  // The raw bytes as one statement, byte by byte.
  Text raw;
  raw.reserve(size);
  for (std::size_t i = 0; i < size; ++i) raw.push_back(static_cast<char16_t>(data[i]));
  CheckingRecorder recorder(7, 7, raw);
  engine::FindCalls(raw, 7, recorder);
  return 0;
}
