#pragma once
// Reads an .m file statement by statement and strips what cannot hold a call:
// declarations, comments, string literals and assignment targets.

#include <cstdint>
#include <string>

#include "engine/call_extraction.h"
#include "engine/text.h"
#include "engine/text_lines.h"

namespace korvath::engine {

// The characters after which a quote opens a string: the delimiters and ([{.
bool IsQuoteOpener(char16_t c);

// Removes string literals; an unterminated one drops the whole statement.
// Linear in the length of the text. The byte form takes ASCII text and
// gives what the UTF-16 form gives for its widened units.
void RemoveStringLiterals(Text& text);
void RemoveStringLiterals(std::string& text);

// Cleans one joined statement (its first line already trimmed and
// lower-cased) in place, so that a scan allocates nothing per line, and
// reports whether it makes a "For" entry. The byte form as above.
void CleanStatement(Text& text, bool& forEntry);
void CleanStatement(std::string& text, bool& forEntry);

// Scans a whole file. Line numbers are the physical numbers (1-based) of each
// statement's first line. A statement all of whose lines are ASCII is
// scanned as bytes and its names handed over as such (AddAsciiCalls); the
// others are decoded to UTF-16 first.
void ScanFile(TextLines& lines, CallRecorder& out);

}  // namespace korvath::engine
