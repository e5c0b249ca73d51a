#pragma once
// The options of korvath-tree.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"
#include "session/output_format.h"

namespace korvath::cli {

using session::OutputFormat;

struct CommandLine {
  std::optional<std::string> pathdef;
  std::optional<std::string> discard;
  std::vector<std::string> showGroups;
  bool showAll = false;
  std::optional<std::string> directory;
  OutputFormat format = OutputFormat::Text;
  bool progress = false;
  bool stats = false;
  bool listFiles = false;
  bool uncalled = false;               // in place of START
  std::optional<std::string> callers;  // in place of START: whose callers
  bool userOnly = false;
  std::string resolve = "path";         // the resolution mode's name
  bool dispatch = false;                // MATLAB mode: possible calls on objects
  std::optional<std::size_t> maxGraph;  // the picture's limit of functions
  bool help = false;
  std::string start;
};

// A UsageError, described, when `args` cannot be run.
platform::Result ParseCommandLine(const std::vector<std::string>& args, CommandLine& cl);
const char* UsageText();

}  // namespace korvath::cli
