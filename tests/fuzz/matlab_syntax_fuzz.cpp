// Random bytes through the MATLAB mode's reader: every use is a name (parts of
// letters, digits and "_" joined by "."), on a line of the file, at a column
// within that line where its first part is written (a ByName use at its
// string's first character); a nested function's parent comes before it; a
// second reading of the same bytes reads the same.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/matlab_syntax.h"

namespace {

namespace matlab = korvath::engine::matlab;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

void CheckName(std::string_view name) {
  Check(!name.empty() && !(name[0] >= '0' && name[0] <= '9'));
  bool afterDot = true;
  for (const char c : name) {
    if (c == '.') {
      Check(!afterDot);
      afterDot = true;
    } else {
      Check(IsNameChar(c));
      afterDot = false;
    }
  }
  Check(!afterDot);
}

// The byte offset of UTF-16 column `column` in `line`, or npos past its end.
// A lead byte of four starts two units; a stray continuation byte none.
std::size_t ByteOfColumn(std::string_view line, std::int32_t column) {
  std::int32_t units = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if ((b & 0xC0U) == 0x80U) continue;
    if (units == column) return i;
    units += b >= 0xF0U ? 2 : 1;
    if (units > column) return std::string_view::npos;
  }
  return std::string_view::npos;
}

bool SameUses(const matlab::FileSyntax& a, const matlab::FileSyntax& b) {
  if (a.functions.size() != b.functions.size() || a.dynamicCalls != b.dynamicCalls) return false;
  for (std::size_t f = 0; f < a.functions.size(); ++f) {
    const auto& x = a.functions[f].uses;
    const auto& y = b.functions[f].uses;
    if (x.size() != y.size()) return false;
    for (std::size_t u = 0; u < x.size(); ++u) {
      if (x[u].name != y[u].name || x[u].line != y[u].line || x[u].column != y[u].column ||
          x[u].kind != y[u].kind || x[u].hasArguments != y[u].hasArguments) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = bytes.find('\n', start);
    lines.push_back(bytes.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const matlab::FileSyntax syntax = matlab::ReadFileSyntax(bytes, "f");
  Check(!syntax.functions.empty());
  for (std::size_t f = 0; f < syntax.functions.size(); ++f) {
    const matlab::FunctionSyntax& fn = syntax.functions[f];
    Check(fn.parent < static_cast<int>(f));
    for (const matlab::NameUse& use : fn.uses) {
      CheckName(use.name);
      Check(use.line >= 1 && static_cast<std::size_t>(use.line) <= lines.size());
      const std::string_view line = lines[static_cast<std::size_t>(use.line - 1)];
      const std::size_t at = ByteOfColumn(line, use.column);
      Check(at != std::string_view::npos);
      const std::string_view first = use.name.substr(0, use.name.find('.'));
      Check(line.substr(at, first.size()) == first);
    }
  }
  Check(SameUses(syntax, matlab::ReadFileSyntax(bytes, "f")));
  return 0;
}
