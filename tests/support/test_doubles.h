#pragma once
// Recording stand-ins for the front end's tree and message boxes, and call
// recorders for the scanner and the call extraction.

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/call_extraction.h"
#include "engine/function_table.h"
#include "engine/number_text.h"
#include "engine/run_interfaces.h"
#include "engine/table_recorder.h"
#include "engine/text.h"

namespace korvath::testing {

using namespace korvath::engine;  // NOLINT(google-build-using-namespace)

struct Call {
  Text name;
  std::int32_t line = 0;
  bool operator==(const Call&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Call& c) {
  os << "{";
  for (char16_t u : c.name) os << (u < 128 ? static_cast<char>(u) : '?');
  return os << " @" << c.line << "}";
}

inline bool IsAscii(TextView text) {
  for (const char16_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}
// ASCII text as its bytes, for the scanner's byte forms.
inline std::string Narrow(TextView ascii) {
  std::string bytes;
  for (const char16_t c : ascii) bytes.push_back(static_cast<char>(c));
  return bytes;
}

// Every name handed over. Whether numbers are dropped here or by the table is
// the table's business, so the comparisons use Names().
class CallLog final : public CallRecorder {
 public:
  void AddCall(TextView name, std::int32_t line) override { all.push_back({Text(name), line}); }
  std::vector<Call> Names() const {
    std::vector<Call> out;
    for (const Call& c : all) {
      if (!ReadsAsNumber(c.name)) out.push_back(c);
    }
    return out;
  }
  std::vector<Text> NameTexts() const {
    std::vector<Text> out;
    for (const Call& c : Names()) out.push_back(c.name);
    return out;
  }
  std::vector<Call> all;
};

class RecordingMessages final : public MessageSink {
 public:
  void ShowMessage(MessageIcon icon, const Text& text) override { shown.emplace_back(icon, text); }
  void FileUnreadable(const Text&, const platform::Result&) override {}
  std::vector<Text> Texts() const {
    std::vector<Text> out;
    for (const auto& m : shown) out.push_back(m.second);
    return out;
  }
  std::vector<std::pair<MessageIcon, Text>> shown;
};

// Keeps every node's text and parent (index 0 unused).
class RecordingTree final : public TreeSink {
 public:
  void Clear() override {
    texts.assign(1, Text());
    parents.assign(1, 0);
    rootKey.clear();
    cut.clear();
  }
  int AddRoot(TextView key, TextView text) override {
    rootKey = Text(key);
    texts.emplace_back(text);
    parents.push_back(0);
    return Count();
  }
  platform::Result AddChild(int parent, const NodeLabel& label, int& node) override {
    texts.push_back(label.ToText());
    parents.push_back(parent);
    node = Count();
    return {};
  }
  int Count() const override { return static_cast<int>(texts.size()) - 1; }
  void CutShort(int node, int calls, int /*limit*/) override { cut.emplace_back(node, calls); }

  std::vector<Text> texts{Text()};
  std::vector<int> parents{0};
  Text rootKey;
  std::vector<std::pair<int, int>> cut;  // node, calls left out
};

}  // namespace korvath::testing
