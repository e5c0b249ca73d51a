#include "lsp/text_positions.h"

#include "engine/text_lines.h"

namespace korvath::lsp {
namespace {

// MATLAB names are ASCII letters, digits and "_"; other characters of a
// file's name count too, so such a name is not cut in two.
bool IsNameUnit(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c >= 0x80;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The UTF-8 length of the character starting at `i`, and how many units it
// takes.
std::uint32_t Utf8Length(TextView line, std::size_t i, std::size_t& units) {
  const char16_t c = line[i];
  units = 1;
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  if (IsHighSurrogate(c) && i + 1 < line.size() && IsLowSurrogate(line[i + 1])) {
    units = 2;
    return 4;
  }
  return 3;
}

std::size_t SkipBlanks(TextView line, std::size_t at) {
  while (at < line.size() && (line[at] == u' ' || line[at] == u'\t')) ++at;
  return at;
}

}  // namespace

std::string_view EncodingName(PositionEncoding encoding) {
  switch (encoding) {
    case PositionEncoding::Utf8:
      return "utf-8";
    case PositionEncoding::Utf32:
      return "utf-32";
    case PositionEncoding::Utf16:
      break;
  }
  return "utf-16";
}

std::optional<PositionEncoding> EncodingNamed(std::string_view name) {
  if (name == "utf-8") return PositionEncoding::Utf8;
  if (name == "utf-16") return PositionEncoding::Utf16;
  if (name == "utf-32") return PositionEncoding::Utf32;
  return std::nullopt;
}

std::vector<Text> FileLines(std::string bytes) { return engine::SplitLines(std::move(bytes)); }

std::uint32_t ColumnOf(TextView line, std::size_t unit, PositionEncoding encoding) {
  if (unit > line.size()) unit = line.size();
  if (encoding == PositionEncoding::Utf16) return static_cast<std::uint32_t>(unit);
  std::uint32_t column = 0;
  for (std::size_t i = 0; i < unit;) {
    std::size_t units = 1;
    const std::uint32_t bytes = Utf8Length(line, i, units);
    column += encoding == PositionEncoding::Utf8 ? bytes : 1;
    i += units;
  }
  return column;
}

std::size_t UnitAt(TextView line, std::uint64_t column, PositionEncoding encoding) {
  if (encoding == PositionEncoding::Utf16) {
    return column < line.size() ? static_cast<std::size_t>(column) : line.size();
  }
  std::uint64_t counted = 0;
  std::size_t i = 0;
  while (i < line.size() && counted < column) {
    std::size_t units = 1;
    const std::uint32_t bytes = Utf8Length(line, i, units);
    counted += encoding == PositionEncoding::Utf8 ? bytes : 1;
    i += units;
  }
  return i;
}

std::optional<Span> FindName(TextView line, TextView name, std::size_t from) {
  if (name.empty() || name.size() > line.size()) return std::nullopt;
  for (std::size_t at = from; at + name.size() <= line.size(); ++at) {
    if (at > 0 && IsNameUnit(line[at - 1])) continue;
    const std::size_t end = at + name.size();
    if (end < line.size() && IsNameUnit(line[end])) continue;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) {
      same = engine::LowerUnit(line[at + k]) == engine::LowerUnit(name[k]);
    }
    if (same) return Span{at, end};
  }
  return std::nullopt;
}

std::optional<Span> NameAround(TextView line, std::size_t unit) {
  if (unit > line.size()) return std::nullopt;
  std::size_t begin = unit;
  // A cursor just after a name is still on it.
  if ((begin == line.size() || !IsNameUnit(line[begin])) && begin > 0 &&
      IsNameUnit(line[begin - 1])) {
    --begin;
  }
  if (begin >= line.size() || !IsNameUnit(line[begin])) return std::nullopt;
  while (begin > 0 && IsNameUnit(line[begin - 1])) --begin;
  std::size_t end = begin;
  while (end < line.size() && IsNameUnit(line[end])) ++end;
  return Span{begin, end};
}

std::vector<DeclaredFunction> DeclaredFunctions(const std::vector<Text>& lines) {
  constexpr TextView kKeyword = u"function";
  std::vector<DeclaredFunction> found;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const TextView line = lines[n];
    const std::size_t start = SkipBlanks(line, 0);
    if (line.substr(start, kKeyword.size()) != kKeyword) continue;
    std::size_t at = start + kKeyword.size();
    if (at < line.size() && IsNameUnit(line[at])) continue;  // "functions = 1"
    // "function [a, b] = name(...)" or "function a = name": the name follows "=".
    const std::size_t paren = line.find(u'(', at);
    const std::size_t equals = line.find(u'=', at);
    if (equals != TextView::npos && (paren == TextView::npos || equals < paren)) at = equals + 1;
    at = SkipBlanks(line, at);
    std::size_t end = at;
    while (end < line.size() && (IsNameUnit(line[end]) || line[end] == u'.')) ++end;
    found.push_back({n, end > at ? Span{at, end} : Span{0, line.size()}});
  }
  return found;
}

std::optional<std::size_t> FunctionLine(const std::vector<Text>& lines) {
  const auto found = DeclaredFunctions(lines);
  if (found.empty()) return std::nullopt;
  return found.front().line;
}

}  // namespace korvath::lsp
