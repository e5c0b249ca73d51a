#pragma once
// Writes the lists of the command line: files, and functions with their files.

#include <cstdio>
#include <vector>

#include "engine/text.h"
#include "platform/result.h"

namespace korvath::engine {

struct NamedFile {
  Text name;
  Text file;
};

// One path per line.
platform::Result WritePaths(std::FILE* file, const std::vector<Text>& paths);
// One "name<TAB>file" per line, or a JSON array of {"name", "file"} objects.
platform::Result WriteNamedFiles(std::FILE* file, const std::vector<NamedFile>& files, bool json);

}  // namespace korvath::engine
