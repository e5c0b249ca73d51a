// Random bytes through the file reader, the statement cleaner, the scanner and
// the call extraction: names are non-empty, free of delimiters and "(", in line
// order within the file, and pieces of their statement, in order, cut only at
// delimiters and parentheses; cleaned statements hold nothing the cleaner removes;
// the scanner hands over the calls its rules give on the file's lines as UTF-16.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
      : lastLine_(lastLine), previous_(firstLine), statement_(statement) {}

  void AddCall(TextView name, std::int32_t line) override {
    Check(!name.empty() && line >= previous_ && line <= lastLine_);
    for (char16_t c : name) Check(c != u'(' && !engine::IsDelimiter(c));
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
  std::int32_t lastLine_, previous_;  // the line of the previous call, at first firstLine
  TextView statement_;
  std::size_t cut_ = 0;  // end of the previous name within the statement
};

// Every name handed over, as UTF-16.
class NameLog final : public engine::CallRecorder {
 public:
  void AddCall(TextView name, std::int32_t /*line*/) override { names.emplace_back(name); }
  std::vector<Text> names;
};

// Every name with its line; with `bytes`, ASCII statements' names come as
// bytes, as the function table takes them.
class LineLog final : public engine::CallRecorder {
 public:
  explicit LineLog(bool bytes = false) : bytes_(bytes) {}
  void AddCall(TextView name, std::int32_t line) override { calls.emplace_back(Text(name), line); }
  void AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line) override {
    if (!bytes_) {
      CallRecorder::AddAsciiCalls(names, count, line);
      return;
    }
    for (std::size_t i = 0; i < count; ++i) {
      for (const char c : names[i]) Check(static_cast<unsigned char>(c) < 0x80);
      calls.emplace_back(Text(names[i].begin(), names[i].end()), line);
    }
  }
  bool TakesAscii() const override { return bytes_; }
  std::vector<std::pair<Text, std::int32_t>> calls;

 private:
  bool bytes_;
};

// The scanner's rules on UTF-16 lines alone, the way a line that is not
// ASCII goes: what the byte forms and the one-pass cleaning must match.
void ScanAsUtf16(const std::string& bytes, engine::CallRecorder& out) {
  engine::TextLines lines(bytes);
  std::int32_t physical = 0;
  Text text;
  Text next;
  while (lines.Next(text)) {
    ++physical;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i < text.size() && text[i] == u'%' && text.find(u"...", i) == Text::npos) continue;
    const std::int32_t line = physical;
    text = Text(engine::TrimBlanks(text));
    for (char16_t& c : text) c = engine::LowerUnit(c);
    for (;;) {
      const TextView right = engine::TrimBlanksRight(text);
      if (!engine::EndsWith(right, u"...") || lines.AtEnd()) break;
      text.resize(right.size() - 3);
      lines.Next(next);
      ++physical;
      text += next;
    }
    bool forEntry = false;
    engine::CleanStatement(text, forEntry);
    if (forEntry) out.AddCall(u"For", line);
    engine::FindCalls(TextView(text), line, out);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The file as lines, each cleaned and searched for calls on its own.
  std::int32_t lineCount = 0;
  engine::TextLines lines(bytes);
  for (Text line; lines.Next(line); ++lineCount) {
    Check(line.find(u'\r') == Text::npos && line.find(u'\n') == Text::npos);
    Text cleaned = line;
    engine::RemoveStringLiterals(cleaned);
    Check(cleaned.size() <= line.size());
    bool forEntry = false;
    cleaned = line;
    engine::CleanStatement(cleaned, forEntry);
    for (char16_t c : cleaned) Check(TextView(u"\t[]{};%").find(c) == TextView::npos);
    CheckingRecorder recorder(1, 1, cleaned);
    engine::FindCalls(cleaned, 1, recorder);
    // An ASCII line cleans and cuts the same as bytes.
    if (std::all_of(line.begin(), line.end(), [](char16_t c) { return c < 0x80; })) {
      std::string narrow(line.begin(), line.end());
      bool narrowFor = false;
      engine::CleanStatement(narrow, narrowFor);
      Check(narrowFor == forEntry && Text(narrow.begin(), narrow.end()) == cleaned);
      NameLog wide;
      NameLog asBytes;
      engine::FindCalls(cleaned, 1, wide);
      engine::FindCalls(std::string_view(narrow), 1, asBytes);
      Check(wide.names == asBytes.names);
    }
  }
  Check(lines.AtEnd());
  // The whole file through the scanner.
  engine::TextLines again(bytes);
  CheckingRecorder scanned(1, lineCount);
  engine::ScanFile(again, scanned);
  // The same calls whether ASCII lines go as bytes or as UTF-16.
  LineLog expected;
  ScanAsUtf16(bytes, expected);
  for (const bool asBytes : {false, true}) {
    engine::TextLines third(bytes);
    LineLog log(asBytes);
    engine::ScanFile(third, log);
    Check(log.calls == expected.calls);
  }
  // The raw bytes as one statement, byte by byte.
  const Text raw(data, data + size);
  CheckingRecorder recorder(7, 7, raw);
  engine::FindCalls(raw, 7, recorder);
  return 0;
}
