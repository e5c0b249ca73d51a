#include "engine/parse_driver.h"

#include <chrono>

#include "engine/messages.h"
#include "engine/mfile_scanner.h"
#include "engine/probe_cache.h"
#include "engine/search_path.h"
#include "engine/text_lines.h"
#include "platform/utf8.h"

namespace korvath {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Files every call the scanner finds under the file being scanned.
class TableRecorder final : public CallRecorder {
 public:
  TableRecorder(FunctionTable& table, FunctionTable::NameId caller)
      : table_(table), caller_(caller) {}
  void AddCall(TextView name, std::int32_t line) override { table_.AddCall(caller_, name, line); }
  void AddCalls(const TextView* names, std::size_t count, std::int32_t line) override {
    table_.AddCalls(caller_, names, count, line);
  }

 private:
  FunctionTable& table_;
  FunctionTable::NameId caller_;
};

}  // namespace

RunOutcome ParseAndBuild(EngineState& state, TextView startName, RunServices& services,
                         RunStats* stats) {
  RunStats local;
  RunStats& st = stats != nullptr ? *stats : local;
  st = RunStats{};
  FunctionTable& table = state.Table;
  table.Reset(startName);
  state.FilePaths.clear();

  auto phase = Clock::now();
  std::vector<Text> dirs;
  if (!ReadSearchPath(state.PathdefFile, services.fs, dirs)) {
    st.searchPathMs = MillisecondsSince(phase);
    state.FinalRecords = table.Records();
    services.messages.ShowMessage(MessageIcon::Critical, messages::kPathdefNotFound);
    return RunOutcome::PathdefFailed;
  }
  st.searchPathMs = MillisecondsSince(phase);

  services.progress.Show();
  services.progress.Refresh();

  phase = Clock::now();
  ProbeCache probe(services.fs, std::move(dirs));
  // The search's answer depends on the name alone, and most names (local
  // variables, built-ins) are searched for again under every caller; each
  // name is searched once. By name id: 0 not searched yet, -1 not found,
  // k > 0 the k-th entry of `found`.
  struct FoundFile {
    Text fileName;
    Text path;
    FunctionTable::NameId caller;
  };
  std::vector<std::int32_t> searched;
  std::vector<FoundFile> found;
  bool startNotFound = false;
  for (;;) {
    const FunctionTable::Pass pass = table.RunPass();
    ++st.passes;
    services.progress.SetCounts(pass.parsedCount, pass.totalCount);
    services.progress.Refresh();
    if (pass.candidate == 0) break;

    const int current = pass.candidate;
    const TextView name = table.Pick(current);
    const auto id = static_cast<std::size_t>(table.NameIdAt(current));
    if (id >= searched.size()) searched.resize(table.NameCount(), 0);
    if (searched[id] == 0) {
      Text fileName(name);
      if (!EndsWith(fileName, u".m")) fileName += u".m";
      std::optional<Text> path = probe.Find(fileName);
      if (path) {
        const FunctionTable::NameId caller = table.Intern(fileName);
        found.push_back(FoundFile{std::move(fileName), std::move(*path), caller});
        searched[id] = static_cast<std::int32_t>(found.size());
      } else {
        searched[id] = -1;
      }
    }
    if (searched[id] < 0) {
      if (current == 1) startNotFound = true;
      table.Blank(current);
      continue;
    }
    const FoundFile& file = found[static_cast<std::size_t>(searched[id] - 1)];
    table.MarkFound(current);
    state.FilePaths[Text(file.fileName.data(), file.fileName.size() - 2)] = file.path;
    std::string error;
    std::optional<std::string> bytes = services.fs.ReadFile(file.path, &error);
    if (!bytes) {
      // Counted as scanned, with no calls; the run goes on.
      services.messages.FileUnreadable(file.path, error);
      continue;
    }
    ++st.filesScanned;
    st.bytesRead += bytes->size();
    st.scannedFiles.push_back(file.path);
    TextLines lines(std::move(*bytes));
    TableRecorder recorder(table, file.caller);
    ScanFile(lines, recorder);
  }
  st.records = table.HighestIndex();
  state.FinalRecords = table.Finish(state.Discards);
  st.resolutionMs = MillisecondsSince(phase);

  services.progress.SetCaption(messages::kBuildingTree);
  services.progress.Refresh();

  phase = Clock::now();
  RunOutcome outcome = RunOutcome::TreeBuilt;
  const TreeBuildResult built =
      BuildCallTree(state.FinalRecords, services.tree, services.messages, services.limits);
  if (!built.hasRoot) {
    outcome = RunOutcome::StartNotFound;
    Text startFunction(startName);
    if (EndsWith(startFunction, u".m")) startFunction.resize(startFunction.size() - 2);
    const bool discarded =
        !startNotFound && [&] {
          for (std::size_t d = 1; d < state.Discards.size(); ++d) {
            if (!state.Discards[d].Show && state.Discards[d].Name == startFunction) return true;
          }
          return false;
        }();
    services.messages.ShowMessage(MessageIcon::Information,
                                  discarded ? messages::StartFunctionDiscarded(startFunction)
                                            : messages::StartFileNotFound(startName));
  }
  st.nodes = services.tree.Count();
  st.treeMs = MillisecondsSince(phase);

  services.progress.Close();
  return outcome;
}

}  // namespace korvath
