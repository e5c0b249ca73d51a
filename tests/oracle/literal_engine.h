#pragma once
// The analysis loops written out as plain linear scans over a vector of
// records, with 1-based positions, exactly as the algorithms read. Slow on
// purpose: it exists only so that the indexed engine can be checked against
// it on many small projects.

#include "engine/parse_driver.h"

namespace korvath::literal {

// A whole run as engine::ParseAndBuild makes it: search path, resolution
// loop, ".m" strip, discards, tree; the same result, output and sink calls
// (the tree size hint aside). Only the search path reader, the line reader,
// the number test, the case mapping and the message texts are the engine's.
platform::Result LiteralParseAndBuild(const engine::RunInput& input, engine::RunServices& services,
                                      engine::RunOutput& output);

}  // namespace korvath::literal
