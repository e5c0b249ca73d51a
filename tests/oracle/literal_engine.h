#pragma once
// The analysis loops written out as plain linear scans over a vector of
// records, with 1-based positions, exactly as the algorithms read. Slow on
// purpose: it exists only so that the indexed engine can be checked against
// it on many small projects.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/function_table.h"
#include "engine/parse_driver.h"
#include "engine/run_interfaces.h"
#include "engine/text.h"
#include "engine/text_lines.h"

namespace korvath::literal {

// Element 0 exists and is never used.
using Table = std::vector<FunctionRecord>;

// Files one occurrence of `name` in `caller` at `line`: appends to the record
// of the pair, else fills the first blanked slot, else grows the table by one.
// A name that reads as a number is dropped only after its slot was chosen, so
// on a full table it still leaves one empty, unparsed record behind.
void AddCall(Table& table, TextView caller, TextView name, std::int32_t line);

// 1-based position of the ")" that closes the "(" at `start` (1-based), or 0
// when the text ends first.
std::size_t FindClosingParen(TextView text, std::size_t start);

// Cuts `text` into names, recursively, and files each with AddCall.
void FindCalls(Table& table, TextView text, TextView caller, std::int32_t line);

// Cleans every statement of a file and hands it to FindCalls; `fileName` is
// the caller of every call found.
void ScanFile(Table& table, TextLines& lines, TextView fileName);

// A whole run: search path, resolution loop, ".m" strip, discards, tree.
// Works on its own table (never state.Table) and leaves the result in
// state.FinalRecords.
RunOutcome LiteralParseAndBuild(EngineState& state, TextView startName,
                                RunServices& services);

}  // namespace korvath::literal
