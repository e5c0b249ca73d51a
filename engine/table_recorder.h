#pragma once
// Files every call the scanner finds under the file being scanned.

#include "engine/call_extraction.h"
#include "engine/function_table.h"

namespace korvath::engine {

class TableRecorder final : public CallRecorder {
 public:
  TableRecorder(FunctionTable& table, FunctionTable::NameId caller)
      : table_(table), caller_(caller) {}
  void AddCall(TextView name, std::int32_t line) override { table_.AddCall(caller_, name, line); }
  void AddCalls(const TextView* names, std::size_t count, std::int32_t line) override {
    table_.AddCalls(caller_, names, count, line);
  }
  void AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line) override {
    table_.AddAsciiCalls(caller_, names, count, line);
  }
  bool TakesAscii() const override { return true; }

 private:
  FunctionTable& table_;
  FunctionTable::NameId caller_;
};

}  // namespace korvath::engine
