#pragma once
// Reads an .m file statement by statement and strips what cannot hold a call:
// declarations, comments, string literals and assignment targets.

#include <cstdint>

#include "engine/call_extraction.h"
#include "engine/text.h"
#include "engine/text_lines.h"

namespace korvath::engine {

// The characters after which a quote opens a string: the delimiters and ([{.
bool IsQuoteOpener(char16_t c);

// Removes string literals; an unterminated one drops the whole statement.
// Linear in the length of the text.
void RemoveStringLiterals(Text& text);

// Cleans one joined statement (its first line already trimmed and
// lower-cased) in place, so that a scan allocates nothing per line, and
// reports whether it makes a "For" entry.
void CleanStatement(Text& text, bool& forEntry);

// Scans a whole file. Line numbers are the physical numbers (1-based) of each
// statement's first line.
void ScanFile(TextLines& lines, CallRecorder& out);

}  // namespace korvath::engine
