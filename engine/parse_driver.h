#pragma once
// One whole parse run: search path, resolution pass by pass, clean-up,
// discards and the tree.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"
#include "engine/discard_table.h"
#include "engine/function_table.h"
#include "engine/run_interfaces.h"
#include "platform/file_system.h"

namespace korvath::engine {

// What a run makes: the call tree, or only the resolution (the files found
// and the table), for outputs that print no tree; the tree's node and depth
// budgets then have nothing to say.
enum class RunGoal { Tree, Files };

// What a run starts from.
struct RunInput {
  Text pathdefFile;
  DiscardTable discards = EmptyDiscardTable();
  Text startName;  // the start file's name, ending in ".m"
  RunGoal goal = RunGoal::Tree;
};

struct RunServices {
  platform::FileSystem& fs;
  ProgressSink& progress;
  MessageSink& messages;
  TreeSink& tree;
  TreeLimits limits{};
};

struct RunStats {
  int records = 0;
  int passes = 0;
  int filesScanned = 0;
  std::uint64_t bytesRead = 0;
  int nodes = 0;
  double searchPathMs = 0;
  double resolutionMs = 0;
  double treeMs = 0;
  // The MATLAB resolution mode's: names that match a file only when case
  // is ignored, and feval/eval of names not given as text.
  int caseOnlyNames = 0;
  int dynamicCalls = 0;
  // Every file read and scanned, in order (a file scanned twice twice).
  std::vector<Text> scannedFiles;
};

// What a run leaves besides the tree.
struct RunOutput {
  // The table as the tree was built from it (".m" stripped, discards
  // blanked); for RunGoal::Files the path mode keeps records 0 and 1 only.
  std::vector<FunctionRecord> records;
  // Where each function's file was found, by function name (without ".m").
  std::unordered_map<Text, Text> filePaths;
  RunStats stats;
};

// Ok with a tree (an empty one for RunGoal::Files); NoSearchPath when
// pathdef.m could not be used (the tree is untouched); NoStartFile when the
// start file was not found or is discarded (the tree is empty). Every
// failure has also been shown through the sinks.
Result ParseAndBuild(const RunInput& input, RunServices& services, RunOutput& output);

}  // namespace korvath::engine
