#pragma once
// A session of any front end: its folder and settings, the resolution mode,
// the last run, the program index of the search path, and the questions the
// front ends ask of them. Front ends parse input and present output; what
// is asked and answered lives here, once.

#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/call_tree.h"
#include "engine/callers_tree.h"
#include "engine/function_table.h"
#include "engine/list_writers.h"
#include "engine/parse_driver.h"
#include "engine/program_index.h"
#include "engine/run_interfaces.h"
#include "engine/tree_writers.h"
#include "platform/file_system.h"
#include "platform/result.h"
#include "session/message_tally.h"
#include "session/output_format.h"
#include "session/search_path_index.h"
#include "session/startup_settings.h"

namespace korvath::session {

// What a run left besides its outcome.
struct LastRun {
  engine::CallTree tree;
  // The table as the tree was built from it (".m" stripped, discards blanked;
  // after a path-mode run for RunGoal::Files, the start's record alone).
  std::vector<engine::FunctionRecord> records;
  // Where each function's file was found, by function name.
  std::unordered_map<Text, Text> filePaths;
  MessageTally messages;
  // "folder: reason" of each search folder that could not be listed.
  std::vector<Text> unlistable;
  // "path: reason" of each found file that could not be read.
  std::vector<Text> unreadable;
  engine::RunStats stats;
};

class Workspace {
 public:
  // `fs` is this workspace's own and outlives it: its current directory is
  // the workspace's folder, where relative names are found and a start is
  // searched last. Give each workspace a file system of its own.
  explicit Workspace(platform::FileSystem& fs);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  platform::FileSystem& files() { return fs_; }
  Text folder() { return fs_.CurrentDirectory(); }
  // `path` made absolute against the folder.
  Text AbsolutePath(const Text& path);

  // korvath.ini and discardables.txt from the folder, else once from
  // `fallbackDir` (which then becomes the folder). A failure means the
  // settings file could not be used; what could be read is kept.
  platform::Result LoadSettings(const Text& fallbackDir);
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  // The resolution mode and its switch are settings, held for the session.
  ResolutionMode mode() const { return settings_.resolution; }
  void setMode(ResolutionMode mode) { settings_.resolution = mode; }
  bool possibleCalls() const { return settings_.possibleCalls; }
  void setPossibleCalls(bool on) { settings_.possibleCalls = on; }

  // --- runs
  // The call tree of the start the user typed ("name" or "name.m", maybe
  // with folders). Messages go to `messages` as the run raises them and are
  // counted in the last run. The run replaces the last one unless there was
  // no search path; `replacing` (when set) is called just before and after,
  // so a view over the last run can let go of it. RunGoal::Files resolves
  // only: the last run then has an empty tree, and what only the tree's walk
  // says (its budgets) is not said.
  platform::Result Run(TextView typedStart, engine::ProgressSink& progress,
                       engine::MessageSink& messages, const engine::TreeLimits& limits = {},
                       engine::RunGoal goal = engine::RunGoal::Tree);
  const LastRun& lastRun() const { return lastRun_; }
  // The last run's tree as the writers and the windows read it.
  const engine::NodeTree& lastTree() const { return lastTree_; }
  std::function<void(bool before)> replacing;

  // --- the program index of the search path
  // Brought up to date with the folders pathdef.m names now. NoSearchPath
  // (described with the message a run gives) when there are none; the index
  // is then kept as it was but no longer counts as current. `changed`, when
  // given, are the only files that may have changed since the last refresh,
  // each in its contents only (see ProgramIndex::Refresh).
  platform::Result RefreshIndex(engine::ProgramIndex::Control* control = nullptr,
                                const std::vector<Text>* changed = nullptr);
  bool indexed() const { return indexed_; }
  const engine::ProgramIndex& index() const { return index_.index(); }
  const engine::ProgramIndex::RefreshStats& indexStats() const { return index_.stats(); }
  // The program a typed name finds, as a start is found; -1 when none (or,
  // in the MATLAB mode, when it names several: see ProgramsNamed).
  int FindProgram(TextView typed);
  // Every program a typed name finds: in the MATLAB mode also a notation
  // ("C.method", "p.f", "f>local", "private/f") or a file's path; a bare
  // name finds every function that has it.
  std::vector<int> ProgramsNamed(TextView typed);
  // The program whose file is at `path`; -1 when none or not indexed.
  int ProgramAt(const Text& path) const;

  // --- places in files: the MATLAB mode's index knows where each function
  // stands and where each call's name is; in the path mode a file is one
  // program and calls have no sites.
  // Every program of the file at `path` (main first); none when not indexed.
  std::vector<int> ProgramsIn(const Text& path) const;
  // The program of that file named `name` (its notation), else its main one.
  int ProgramIn(const Text& path, TextView name) const;
  struct CallSite {
    int caller = -1;
    int callee = -1;
    engine::ProgramIndex::Site site;
    // The caller's calls and where and why they are, valid until a refresh.
    const engine::ProgramIndex::Calls* calls = nullptr;
    const engine::ProgramIndex::CallSites* sites = nullptr;
  };
  // The call whose name covers `line` (1-based), `column` (UTF-16 units,
  // 0-based; the unit just after the name counts) in the file at `path`.
  std::optional<CallSite> CallAt(const Text& path, std::int32_t line, std::int32_t column) const;
  // The innermost function of the file whose lines hold `line`; -1 when none.
  int FunctionAt(const Text& path, std::int32_t line) const;

  // --- questions
  // The callers tree of program `program` of the index.
  void CallersOf(int program, engine::CallersTree& tree, engine::MessageSink& messages,
                 const engine::TreeLimits& limits = {}) const;
  // The callers tree of the program a typed name finds; NoStartFile, with
  // the message a run gives added to `messages`, when it finds none;
  // UsageError, listing them, when it finds several.
  platform::Result CallersOfName(TextView typed, engine::CallersTree& tree,
                                 engine::MessageSink& messages,
                                 const engine::TreeLimits& limits = {});
  // Programs of the index that no other calls, with their files; `userOnly`
  // leaves out those under matlabroot.
  std::vector<engine::NamedFile> UncalledFunctions(bool userOnly) const;
  // Every file the last run found, each once, in byte order.
  std::vector<Text> FoundFiles(bool userOnly) const;
  platform::Result WriteFoundFiles(std::FILE* out, bool userOnly) const;

  // --- exports
  // `tree` in `format` to `out`; Files writes the last run's file list.
  platform::Result Export(std::FILE* out, OutputFormat format, const engine::NodeTree& tree,
                          engine::TreeKind kind, const std::vector<Text>& messages,
                          const GraphRenderer& renderer = {}, const GraphLimits& limits = {}) const;
  // The same into the file at `path` (relative to the folder).
  platform::Result ExportToFile(const Text& path, OutputFormat format, const engine::NodeTree& tree,
                                engine::TreeKind kind, const std::vector<Text>& messages,
                                const GraphRenderer& renderer = {});

 private:
  platform::FileSystem& fs_;
  Settings settings_;
  LastRun lastRun_;
  engine::RecordTree lastTree_{lastRun_.tree, lastRun_.records, &lastRun_.filePaths};
  SearchPathIndex index_;
  bool indexed_ = false;
};

}  // namespace korvath::session
