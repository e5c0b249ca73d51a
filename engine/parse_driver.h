#pragma once
// One whole parse run: search path, resolution pass by pass, clean-up,
// discards and the tree.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"
#include "engine/function_table.h"
#include "engine/run_interfaces.h"
#include "platform/file_system.h"

namespace korvath {

// The state that lives from one run to the next.
struct EngineState {
  Text PathdefFile;
  DiscardTable Discards = EmptyDiscardTable();
  FunctionTable Table;
  // The table as the tree was built from it (".m" stripped, discards blanked).
  std::vector<FunctionRecord> FinalRecords;
  // Where each function's file was found, by function name (without ".m").
  std::unordered_map<Text, Text> FilePaths;
};

struct RunServices {
  platform::FileSystem& fs;
  ProgressSink& progress;
  MessageSink& messages;
  TreeModel& tree;
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
  // Every file read and scanned, in order (a file scanned twice twice).
  std::vector<Text> scannedFiles;
};

enum class RunOutcome {
  TreeBuilt,       // the tree has its root
  PathdefFailed,   // the search path could not be read; the tree is untouched
  StartNotFound,   // the start file was not found or is discarded; no root
};

// Resets the table for `startName` (already ending in ".m") and runs.
RunOutcome ParseAndBuild(EngineState& state, TextView startName, RunServices& services,
                         RunStats* stats = nullptr);

}  // namespace korvath
