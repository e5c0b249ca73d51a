// korvath-tree: the call tree of one MATLAB file on the command line.

#include <chrono>
#include <cstdio>
#include <future>
#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/graph_output.h"
#include "engine/buffered_output.h"
#include "engine/messages.h"
#include "engine/text_lines.h"
#include "platform/host.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"
#include "session/discard_list.h"
#include "session/message_tally.h"
#include "session/workspace.h"

namespace korvath::cli {
namespace {

using platform::FileNameText;
using platform::FromUtf8;
using platform::Result;
using platform::Status;
using platform::ToUtf8;

using engine::LineText;

class StderrProgress final : public engine::ProgressSink {
 public:
  explicit StderrProgress(bool enabled) : enabled_(enabled) {}
  void Show() override {}
  void SetCaption(const Text& caption) override {
    if (enabled_) std::fprintf(stderr, "%s\n", LineText(caption).c_str());
  }
  // Called once per pass, often a hundred thousand times a run: no caption
  // text is built unless it is printed.
  void SetCounts(int parsed, int total) override {
    if (enabled_) SetCaption(engine::messages::ProgressCaption(parsed, total));
  }
  void Refresh() override {}
  void Close() override {}

 private:
  bool enabled_;
};

// Message boxes the window would show are counted and printed at the end;
// a file or folder that could not be read is warned of at once.
class CollectedMessages final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override { tally.Add(text); }
  void FileUnreadable(const Text& path, const Result& why) override {
    Warn(engine::messages::CannotRead(path, why.description));
  }
  void FolderUnlistable(const Text& folder, const Result& why) override {
    Warn(engine::messages::CannotList(folder, why.description));
  }
  void Warn(const Text& warning) {
    std::fprintf(stderr, "korvath-tree: warning: %s\n", LineText(warning).c_str());
    warnings_.push_back(warning);
  }
  // For the JSON object: the warnings, which come first, then the messages.
  std::vector<Text> All() const {
    std::vector<Text> all = warnings_;
    all.insert(all.end(), tally.All().begin(), tally.All().end());
    return all;
  }
  session::MessageTally tally;

 private:
  std::vector<Text> warnings_;
};

// A message that repeats is printed once with its count.
void PrintMessages(const session::MessageTally& tally) {
  for (const auto& [text, count] : tally.Distinct()) {
    if (count == 1) {
      std::fprintf(stderr, "korvath-tree: %s\n", LineText(text).c_str());
    } else {
      std::fprintf(stderr, "korvath-tree: %s (%d times)\n", LineText(text).c_str(), count);
    }
  }
}

constexpr int kCannotWrite = 3;

int UsageError(const std::string& message) {
  std::fprintf(stderr, "korvath-tree: %s\n\n%s", message.c_str(), UsageText());
  return 2;
}

// The workspace's settings as the options change them; a failure is a
// usage error, already described.
Result ApplyOptions(const CommandLine& cl, session::Workspace& ws) {
  // Start-up may move to the fallback folder: named files are the folder's
  // as it was given.
  const std::optional<Text> pathdef =
      cl.pathdef ? std::optional<Text>(ws.AbsolutePath(FileNameText(*cl.pathdef))) : std::nullopt;
  const std::optional<Text> discard =
      cl.discard ? std::optional<Text>(ws.AbsolutePath(FileNameText(*cl.discard))) : std::nullopt;
  // Unusable settings leave the pathdef location empty, which the run
  // reports; there is nothing more to say here.
  static_cast<void>(ws.LoadSettings(platform::DefaultFallbackDirectory()));
  session::Settings& settings = ws.settings();
  if (pathdef) settings.pathdefFile = *pathdef;
  if (discard) {
    std::string bytes;
    if (const Result read = ws.files().ReadFile(*discard, bytes); !read) {
      return Result::Failure(Status::UsageError, "cannot read discard list " + ToUtf8(*discard) +
                                                     ": " + read.description);
    }
    settings.discards = session::ParseDiscardList(engine::SplitLines(std::move(bytes)));
  }
  std::vector<Text> groups;
  for (const std::string& group : cl.showGroups) groups.push_back(FromUtf8(group));
  if (cl.showAll) groups = session::DiscardGroups(settings.discards);
  session::ShowOnlyGroups(settings.discards, groups);
  return {};
}

// A tree in the format asked for; messages in the JSON object, or on
// standard error. Without a search path there is no tree to draw.
session::GraphLimits GraphLimitsOf(const CommandLine& cl) {
  return cl.maxGraph ? session::GraphLimits::ForFunctions(*cl.maxGraph) : session::GraphLimits{};
}

Result WriteTree(const CommandLine& cl, const session::Workspace& ws, const Result& outcome,
                 const engine::NodeTree& tree, engine::TreeKind kind,
                 const CollectedMessages& messages) {
  Result written;
  if (cl.format == OutputFormat::Json || outcome.status != Status::NoSearchPath) {
    written = ws.Export(stdout, cl.format, tree, kind, messages.All(), GraphRenderer(cl.format),
                        GraphLimitsOf(cl));
  }
  if (cl.format != OutputFormat::Json || !outcome) PrintMessages(messages.tally);
  return written;
}

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintStats(const engine::RunStats& stats, double writeMs, bool matlab) {
  std::fprintf(stderr,
               "records: %d\npasses: %d\nfiles scanned: %d\nbytes read: %llu\ntree nodes: %d\n"
               "search path ms: %.3f\nresolution ms: %.3f\ntree ms: %.3f\nwrite ms: %.3f\n",
               stats.records, stats.passes, stats.filesScanned,
               static_cast<unsigned long long>(stats.bytesRead), stats.nodes, stats.searchPathMs,
               stats.resolutionMs, stats.treeMs, writeMs);
  if (matlab) {
    std::fprintf(stderr,
                 "names matching a file only if case is ignored: %d\n"
                 "feval/eval of names not given as text: %d\n",
                 stats.caseOnlyNames, stats.dynamicCalls);
  }
}

void PrintPaths(const std::vector<Text>& paths) {
  for (const Text& path : paths) std::fprintf(stderr, "%s\n", LineText(path).c_str());
}

// What --stats, --progress and --list-files show of an index: the index's
// counts and its times, and those of the tree (callers only) and the output.
struct IndexTimes {
  double indexMs = 0;
  double treeMs = 0;
  int treeNodes = -1;  // no tree
  double writeMs = 0;
};

void PrintIndexStats(const engine::ProgramIndex::RefreshStats& stats, const IndexTimes& times) {
  std::fprintf(stderr, "programs: %d\nfiles scanned: %zu\nbytes read: %llu\n", stats.programs,
               stats.readPrograms.size(), static_cast<unsigned long long>(stats.bytesRead));
  if (times.treeNodes >= 0) std::fprintf(stderr, "tree nodes: %d\n", times.treeNodes);
  std::fprintf(stderr, "index ms: %.3f\n", times.indexMs);
  if (times.treeNodes >= 0) std::fprintf(stderr, "tree ms: %.3f\n", times.treeMs);
  std::fprintf(stderr, "write ms: %.3f\n", times.writeMs);
}

void PrintIndexFiles(const session::Workspace& ws) {
  for (const int p : ws.indexStats().readPrograms) {
    std::fprintf(stderr, "%s\n",
                 LineText(ws.index().Programs()[static_cast<std::size_t>(p)].path).c_str());
  }
}

// The program index brought up to date, with --progress its steps on
// standard error as they are done, and what it could not read warned of.
// A refresh without a search path is described as a run's message.
Result RefreshIndex(const CommandLine& cl, session::Workspace& ws, CollectedMessages& messages,
                    IndexTimes& times) {
  const auto start = Clock::now();
  engine::ProgramIndex::Control control;
  auto done = std::async(std::launch::async, [&ws, &control] { return ws.RefreshIndex(&control); });
  int shown = -1;
  const auto showProgress = [&] {
    const int now = control.done.load();
    if (!cl.progress || now == shown) return;
    shown = now;
    std::fprintf(stderr, "Indexed %d steps out of %d.\n", now, control.total.load());
  };
  while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) showProgress();
  Result refreshed = done.get();
  if (refreshed) showProgress();
  times.indexMs = MillisecondsSince(start);
  for (const Text& warning : ws.index().Warnings()) messages.Warn(warning);
  return refreshed;
}

int ReportWritten(const CommandLine& cl, const Result& written) {
  // A reader that stops early (korvath-tree ... | head) is no error to report.
  if (written.status == Status::OutputClosed) return kCannotWrite;
  if (written.status == Status::TooLarge) {  // a picture past the limits
    const session::GraphLimits limits = GraphLimitsOf(cl);
    std::fprintf(stderr,
                 "korvath-tree: the call graph has %s, more than the %zu functions and %zu calls "
                 "a picture may hold: draw the callers of one function (--callers NAME), start "
                 "from a smaller function, or raise the limit to N functions and 5N calls "
                 "(--max-graph N)\n",
                 written.description.c_str(), limits.functions, limits.calls);
    return 1;
  }
  if (written.status == Status::Invalid) {  // Graphviz refused the graph
    std::fprintf(stderr, "korvath-tree: %s\n", written.description.c_str());
    return 1;
  }
  std::fprintf(stderr, "korvath-tree: cannot write output: %s\n", written.description.c_str());
  return kCannotWrite;
}

// What an index question did, on standard error as the options ask.
void ReportIndex(const CommandLine& cl, const session::Workspace& ws, const IndexTimes& times) {
  if (cl.listFiles) PrintIndexFiles(ws);
  if (cl.stats) PrintIndexStats(ws.indexStats(), times);
}

// The callers tree of the function --callers names, found as a start is.
int ShowCallers(const CommandLine& cl, session::Workspace& ws) {
  CollectedMessages messages;
  engine::CallersTree tree;
  IndexTimes times;
  Result outcome = RefreshIndex(cl, ws, messages, times);
  if (outcome) {
    const auto start = Clock::now();
    outcome = ws.CallersOfName(FileNameText(*cl.callers), tree, messages);
    times.treeMs = MillisecondsSince(start);
    times.treeNodes = tree.Count();
  } else {
    messages.tally.Add(FromUtf8(outcome.description));
  }
  if (outcome.status == Status::UsageError) {  // a name several functions have
    std::fprintf(stderr, "korvath-tree: %s\n", outcome.description.c_str());
    return 2;
  }
  const auto writeStart = Clock::now();
  const Result written = WriteTree(cl, ws, outcome, tree, engine::TreeKind::Callers, messages);
  if (!written) return ReportWritten(cl, written);
  times.writeMs = MillisecondsSince(writeStart);
  if (ws.indexed()) ReportIndex(cl, ws, times);
  return outcome ? 0 : 1;
}

// Every program file of the search path that no other one calls.
int ListUncalled(const CommandLine& cl, session::Workspace& ws) {
  CollectedMessages messages;
  IndexTimes times;
  if (const Result refreshed = RefreshIndex(cl, ws, messages, times); !refreshed) {
    std::fprintf(stderr, "korvath-tree: %s\n", refreshed.description.c_str());
    return 1;
  }
  const std::vector<engine::NamedFile> uncalled = ws.UncalledFunctions(cl.userOnly);
  // The list has no messages of its own: what JSON cannot hold exactly is said here.
  if (cl.format == OutputFormat::Json) {
    for (const engine::NamedFile& file : uncalled) {
      if (platform::HasEscapedBytes(file.file)) {
        messages.Warn(engine::messages::FileNameNotUtf8(file.file));
      }
    }
  }
  const auto writeStart = Clock::now();
  const Result written = engine::WriteNamedFiles(stdout, uncalled, cl.format == OutputFormat::Json);
  if (!written) return ReportWritten(cl, written);
  times.writeMs = MillisecondsSince(writeStart);
  ReportIndex(cl, ws, times);
  return 0;
}

int ShowTree(const CommandLine& cl, session::Workspace& ws) {
  StderrProgress progress(cl.progress);
  CollectedMessages messages;
  // A files list is the resolution's: no tree is built for it.
  const engine::RunGoal goal =
      cl.format == OutputFormat::Files ? engine::RunGoal::Files : engine::RunGoal::Tree;
  const Result outcome = ws.Run(FileNameText(cl.start), progress, messages, {}, goal);

  const auto writeStart = Clock::now();
  Result written;
  if (cl.format == OutputFormat::Files) {
    written = ws.WriteFoundFiles(stdout, cl.userOnly);
    PrintMessages(messages.tally);
  } else {
    written = WriteTree(cl, ws, outcome, ws.lastTree(), engine::TreeKind::Calls, messages);
  }
  if (!written) return ReportWritten(cl, written);
  const double writeMs = MillisecondsSince(writeStart);
  if (cl.listFiles) PrintPaths(ws.lastRun().stats.scannedFiles);
  if (cl.stats) {
    PrintStats(ws.lastRun().stats, writeMs, ws.mode() == session::ResolutionMode::Matlab);
  }
  return outcome ? 0 : 1;
}

int Run(const CommandLine& cl) {
  platform::HostFileSystem fs;
  if (cl.directory && !fs.SetCurrentDirectory(FileNameText(*cl.directory))) {
    return UsageError("cannot change to directory '" + *cl.directory + "'");
  }
  if (const Result available = session::FormatAvailable(cl.format, GraphRenderer(cl.format));
      !available) {
    std::fprintf(stderr, "korvath-tree: %s\n", available.description.c_str());
    return 2;
  }
  session::Workspace ws(fs);
  ws.setMode(session::ResolutionModeNamed(cl.resolve).value_or(session::ResolutionMode::Path));
  ws.setPossibleCalls(cl.dispatch);
  if (const Result applied = ApplyOptions(cl, ws); !applied) {
    std::fprintf(stderr, "korvath-tree: %s\n", applied.description.c_str());
    return 2;
  }
  if (cl.uncalled) return ListUncalled(cl, ws);
  if (cl.callers) return ShowCallers(cl, ws);
  return ShowTree(cl, ws);
}

}  // namespace
}  // namespace korvath::cli

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  korvath::cli::CommandLine commandLine;
  if (const korvath::platform::Result parsed = korvath::cli::ParseCommandLine(args, commandLine);
      !parsed) {
    return korvath::cli::UsageError(parsed.description);
  }
  if (commandLine.help) {
    std::fputs(korvath::cli::UsageText(), stdout);
    return 0;
  }
  try {
    return korvath::cli::Run(commandLine);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "korvath-tree: out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvath-tree: %s\n", e.what());
    return 1;
  }
}
