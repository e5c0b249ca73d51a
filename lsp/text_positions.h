#pragma once
// Where things stand in a file's text: lines as the engine reads them,
// columns in the unit the client counts in, names at identifier boundaries.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace korvath::lsp {

// What a position's character counts: UTF-8 bytes, UTF-16 units (the
// protocol's default) or code points.
enum class PositionEncoding { Utf8, Utf16, Utf32 };
std::string_view EncodingName(PositionEncoding encoding);
std::optional<PositionEncoding> EncodingNamed(std::string_view name);

// A file's lines, split and decoded as the scanner splits and decodes them,
// so a line number of the index is an index here (less one).
std::vector<Text> FileLines(std::string bytes);

// The column of UTF-16 unit `unit` of `line` in `encoding`.
std::uint32_t ColumnOf(TextView line, std::size_t unit, PositionEncoding encoding);
// The UTF-16 unit at `column` (counted in `encoding`), the line's end when
// the column lies past it.
std::size_t UnitAt(TextView line, std::uint64_t column, PositionEncoding encoding);

struct Span {
  std::size_t begin = 0;  // UTF-16 units
  std::size_t end = 0;
};

// The first `name` in `line` standing on its own (no name character on
// either side), ignoring case as the path mode's file names do.
std::optional<Span> FindName(TextView line, TextView name, std::size_t from = 0);
// The name around UTF-16 unit `unit` (or ending just before it).
std::optional<Span> NameAround(TextView line, std::size_t unit);

// The number (0-based) of the first line declaring a function, or nullopt
// for a script.
std::optional<std::size_t> FunctionLine(const std::vector<Text>& lines);
// Every line declaring a function, with its name, in file order.
struct DeclaredFunction {
  std::size_t line = 0;
  Span name;
};
std::vector<DeclaredFunction> DeclaredFunctions(const std::vector<Text>& lines);

}  // namespace korvath::lsp
