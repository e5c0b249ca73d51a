#pragma once
// What differs per system in a program that speaks over its standard
// streams and names files by file:// URIs.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvath::platform {

// Standard input and output carry bytes as they are: no line ends added or
// taken away.
void UseBinaryStandardStreams();
// What standard input holds now, at most `most` bytes, waiting only for the
// first; 0 at its end or on an error.
std::size_t ReadStandardInput(char* into, std::size_t most);

// A file URI's host and decoded path ("/x/y") as this system's path (UTF-8);
// nullopt where the system cannot name it (another host on POSIX).
std::optional<std::string> PathOfFileUri(std::string_view host, std::string path);
// This system's path (UTF-8) as a URI's path: "/x/y", "/C:/x", "//server/x".
std::string FileUriPathOf(std::string path);

}  // namespace korvath::platform
