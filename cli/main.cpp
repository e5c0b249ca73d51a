// korvath-tree: the call tree of one MATLAB file on the command line.

#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/graph_output.h"
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

using platform::FromUtf8;
using platform::Result;
using platform::Status;
using platform::ToUtf8;

class StderrProgress final : public engine::ProgressSink {
 public:
  explicit StderrProgress(bool enabled) : enabled_(enabled) {}
  void Show() override {}
  void SetCaption(const Text& caption) override {
    if (enabled_) std::fprintf(stderr, "%s\n", ToUtf8(caption).c_str());
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
// an unreadable file is said at once.
class CollectedMessages final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override { tally.Add(text); }
  void FileUnreadable(const Text& path, const Result& why) override {
    std::fprintf(stderr, "korvath-tree: warning: cannot read %s: %s\n", ToUtf8(path).c_str(),
                 why.description.c_str());
  }
  session::MessageTally tally;
};

// A message that repeats is printed once with its count.
void PrintMessages(const session::MessageTally& tally) {
  for (const auto& [text, count] : tally.Distinct()) {
    if (count == 1) {
      std::fprintf(stderr, "korvath-tree: %s\n", ToUtf8(text).c_str());
    } else {
      std::fprintf(stderr, "korvath-tree: %s (%d times)\n", ToUtf8(text).c_str(), count);
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
      cl.pathdef ? std::optional<Text>(ws.AbsolutePath(FromUtf8(*cl.pathdef))) : std::nullopt;
  const std::optional<Text> discard =
      cl.discard ? std::optional<Text>(ws.AbsolutePath(FromUtf8(*cl.discard))) : std::nullopt;
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
Result WriteTree(const session::Workspace& ws, OutputFormat format, const Result& outcome,
                 const engine::NodeTree& tree, engine::TreeKind kind,
                 const session::MessageTally& messages) {
  Result written;
  if (format == OutputFormat::Json || outcome.status != Status::NoSearchPath) {
    written = ws.Export(stdout, format, tree, kind, messages.All(), GraphRenderer());
  }
  if (format != OutputFormat::Json || !outcome) PrintMessages(messages);
  return written;
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

int ReportWritten(const Result& written) {
  // A reader that stops early (korvath-tree ... | head) is no error to report.
  if (written.status == Status::OutputClosed) return kCannotWrite;
  if (written.status == Status::Invalid) {  // Graphviz refused the graph
    std::fprintf(stderr, "korvath-tree: %s\n", written.description.c_str());
    return 1;
  }
  std::fprintf(stderr, "korvath-tree: cannot write output: %s\n", written.description.c_str());
  return kCannotWrite;
}

// The callers tree of the function --callers names, found as a start is.
int ShowCallers(const CommandLine& cl, session::Workspace& ws) {
  CollectedMessages messages;
  engine::CallersTree tree;
  Result outcome = ws.RefreshIndex();
  if (outcome) {
    outcome = ws.CallersOfName(FromUtf8(*cl.callers), tree, messages);
  } else {
    messages.tally.Add(FromUtf8(outcome.description));
  }
  if (outcome.status == Status::UsageError) {  // a name several functions have
    std::fprintf(stderr, "korvath-tree: %s\n", outcome.description.c_str());
    return 2;
  }
  for (const Text& unreadable : ws.indexUnreadable()) {
    std::fprintf(stderr, "korvath-tree: warning: cannot read %s\n", ToUtf8(unreadable).c_str());
  }
  const Result written =
      WriteTree(ws, cl.format, outcome, tree, engine::TreeKind::Callers, messages.tally);
  if (!written) return ReportWritten(written);
  return outcome ? 0 : 1;
}

// Every program file of the search path that no other one calls.
int ListUncalled(const CommandLine& cl, session::Workspace& ws) {
  if (const Result refreshed = ws.RefreshIndex(); !refreshed) {
    std::fprintf(stderr, "korvath-tree: %s\n", refreshed.description.c_str());
    return 1;
  }
  const Result written = engine::WriteNamedFiles(stdout, ws.UncalledFunctions(cl.userOnly),
                                                 cl.format == OutputFormat::Json);
  return written ? 0 : ReportWritten(written);
}

int ShowTree(const CommandLine& cl, session::Workspace& ws) {
  StderrProgress progress(cl.progress);
  CollectedMessages messages;
  const Result outcome = ws.Run(FromUtf8(cl.start), progress, messages);

  const auto writeStart = std::chrono::steady_clock::now();
  Result written;
  if (cl.format == OutputFormat::Files) {
    written = ws.WriteFoundFiles(stdout, cl.userOnly);
    PrintMessages(messages.tally);
  } else {
    written =
        WriteTree(ws, cl.format, outcome, ws.lastTree(), engine::TreeKind::Calls, messages.tally);
  }
  if (!written) return ReportWritten(written);
  const double writeMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - writeStart)
          .count();
  if (cl.listFiles) {
    for (const Text& path : ws.lastRun().stats.scannedFiles) {
      std::fprintf(stderr, "%s\n", ToUtf8(path).c_str());
    }
  }
  if (cl.stats) {
    PrintStats(ws.lastRun().stats, writeMs, ws.mode() == session::ResolutionMode::Matlab);
  }
  return outcome ? 0 : 1;
}

int Run(const CommandLine& cl) {
  platform::HostFileSystem fs;
  if (cl.directory && !fs.SetCurrentDirectory(FromUtf8(*cl.directory))) {
    return UsageError("cannot change to directory '" + *cl.directory + "'");
  }
  if (const Result available = session::FormatAvailable(cl.format, GraphRenderer()); !available) {
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
