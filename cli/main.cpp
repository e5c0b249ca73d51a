// korvath-tree: the call tree of one MATLAB file on the command line.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/graph_output.h"
#include "engine/callers_tree.h"
#include "engine/list_writers.h"
#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "engine/text_lines.h"
#include "engine/tree_writers.h"
#include "platform/host.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"
#include "session/discard_list.h"
#include "session/listed_paths.h"
#include "session/message_tally.h"
#include "session/search_path_index.h"
#include "session/start_name.h"
#include "session/startup_settings.h"

namespace korvath::cli {
namespace {

using platform::FromUtf8;
using platform::Result;
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

class CollectedMessages final : public engine::MessageSink {
 public:
  void ShowMessage(engine::MessageIcon /*icon*/, const Text& text) override { tally.Add(text); }
  void FileUnreadable(const Text& path, const Result& why) override {
    std::fprintf(stderr, "korvath-tree: warning: cannot read %s: %s\n", ToUtf8(path).c_str(),
                 why.description.c_str());
  }
  session::MessageTally tally;
};

// Message boxes the window would show, on standard error; a message that
// repeats is printed once with its count.
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

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

// The run's input from the settings and the options; a failure is a usage
// error, already described.
Result MakeRunInput(const CommandLine& cl, platform::FileSystem& fs, engine::RunInput& input) {
  // Start-up may move to the fallback directory: fix named files first.
  const std::optional<std::string> pathdef =
      cl.pathdef ? std::optional<std::string>(Absolute(*cl.pathdef)) : std::nullopt;
  const std::optional<std::string> discard =
      cl.discard ? std::optional<std::string>(Absolute(*cl.discard)) : std::nullopt;

  session::Settings settings;
  // Unusable settings leave the pathdef.m location empty, and the run says
  // that pathdef.m is missing unless --pathdef names one.
  static_cast<void>(
      session::LoadStartupSettings(fs, platform::DefaultFallbackDirectory(), settings));
  input.pathdefFile = pathdef ? FromUtf8(*pathdef) : settings.pathdefFile;
  input.discards = std::move(settings.discards);
  if (discard) {
    std::string bytes;
    if (const Result read = fs.ReadFile(FromUtf8(*discard), bytes); !read) {
      return Result::Failure(platform::Status::UsageError,
                             "cannot read discard list " + *discard + ": " + read.description);
    }
    input.discards = session::ParseDiscardList(engine::SplitLines(std::move(bytes)));
  }
  std::vector<Text> groups;
  for (const std::string& group : cl.showGroups) groups.push_back(FromUtf8(group));
  if (cl.showAll) groups = session::DiscardGroups(input.discards);
  session::ShowOnlyGroups(input.discards, groups);
  input.startName = session::StartNameFromInput(FromUtf8(cl.start), platform::SlashIsSeparator());
  return {};
}

// A tree in the format asked for; messages in the JSON object, or on
// standard error. Without a search path there is no tree to draw.
Result WriteTree(OutputFormat format, const Result& outcome, const engine::NodeTree& tree,
                 const session::MessageTally& messages,
                 engine::TreeKind kind = engine::TreeKind::Calls) {
  Result written;
  if (format == OutputFormat::Json) written = engine::WriteJson(stdout, tree, messages.All());
  if (outcome.status == platform::Status::NoSearchPath) {
    PrintMessages(messages);
    return written;
  }
  if (format == OutputFormat::Text) {
    written = engine::WriteTextTree(stdout, tree);
  } else if (format == OutputFormat::Dot) {
    written = engine::WriteDot(stdout, tree);
  } else if (format == OutputFormat::Graph || format == OutputFormat::Svg) {
    written = WriteGraph(stdout, tree, kind, format == OutputFormat::Svg);
  }
  if (format != OutputFormat::Json || !outcome) PrintMessages(messages);
  return written;
}

void PrintStats(const engine::RunStats& stats, double writeMs) {
  std::fprintf(stderr,
               "records: %d\npasses: %d\nfiles scanned: %d\nbytes read: %llu\ntree nodes: %d\n"
               "search path ms: %.3f\nresolution ms: %.3f\ntree ms: %.3f\nwrite ms: %.3f\n",
               stats.records, stats.passes, stats.filesScanned,
               static_cast<unsigned long long>(stats.bytesRead), stats.nodes, stats.searchPathMs,
               stats.resolutionMs, stats.treeMs, writeMs);
}

int ReportWritten(const Result& written) {
  // A reader that stops early (korvath-tree ... | head) is no error to report.
  if (written.status == platform::Status::OutputClosed) return kCannotWrite;
  if (written.status == platform::Status::Invalid) {  // Graphviz refused the graph
    std::fprintf(stderr, "korvath-tree: %s\n", written.description.c_str());
    return 1;
  }
  std::fprintf(stderr, "korvath-tree: cannot write output: %s\n", written.description.c_str());
  return kCannotWrite;
}

// The program index of the run's search path; without a search path, the
// message a run gives.
Result IndexSearchPath(platform::FileSystem& fs, const engine::RunInput& input,
                       session::SearchPathIndex& index, session::MessageTally& messages) {
  Result outcome = index.Refresh(fs, input.pathdefFile);
  if (!outcome) messages.Add(engine::messages::kPathdefNotFound);
  return outcome;
}

// The callers tree of the function --callers names, found as a start is.
int ShowCallers(const CommandLine& cl, platform::FileSystem& fs, const engine::RunInput& input) {
  CollectedMessages messages;
  session::SearchPathIndex index;
  engine::CallersTree tree;
  Result outcome = IndexSearchPath(fs, input, index, messages.tally);
  if (outcome) {
    const Text typed = FromUtf8(*cl.callers);
    const int root = index.Find(fs, typed);
    if (root < 0) {
      messages.tally.Add(engine::messages::StartFileNotFound(
          session::StartNameFromInput(typed, platform::SlashIsSeparator())));
      outcome = Result::Failure(platform::Status::NoStartFile, "not found");
    } else {
      tree.Build(index.index(), root, input.discards, messages);
    }
  }
  const Result written =
      WriteTree(cl.format, outcome, tree, messages.tally, engine::TreeKind::Callers);
  if (!written) return ReportWritten(written);
  return outcome ? 0 : 1;
}

// Every program file of the search path that no other one calls.
int ListUncalled(const CommandLine& cl, platform::FileSystem& fs, const engine::RunInput& input) {
  session::SearchPathIndex index;
  session::MessageTally messages;
  if (!IndexSearchPath(fs, input, index, messages)) {
    PrintMessages(messages);
    return 1;
  }
  const session::ListedPaths paths(input.pathdefFile, cl.userOnly);
  std::vector<engine::NamedFile> uncalled;
  Text listed;
  for (const int p : index.index().Uncalled()) {
    const auto& program = index.index().Programs()[static_cast<std::size_t>(p)];
    if (paths.Take(program.path, listed)) uncalled.push_back({program.name, listed});
  }
  const Result written =
      engine::WriteNamedFiles(stdout, uncalled, cl.format == OutputFormat::Json);
  return written ? 0 : ReportWritten(written);
}

int Run(const CommandLine& cl) {
  platform::HostFileSystem fs;
  if (cl.directory && !fs.SetCurrentDirectory(FromUtf8(*cl.directory))) {
    return UsageError("cannot change to directory '" + *cl.directory + "'");
  }
  if (cl.format == OutputFormat::Graph || cl.format == OutputFormat::Svg) {
    if (const Result available = GraphFormatsAvailable(); !available) {
      std::fprintf(stderr, "korvath-tree: %s\n", available.description.c_str());
      return 2;
    }
  }
  engine::RunInput input;
  if (const Result made = MakeRunInput(cl, fs, input); !made) {
    std::fprintf(stderr, "korvath-tree: %s\n", made.description.c_str());
    return 2;
  }
  if (cl.uncalled) return ListUncalled(cl, fs, input);
  if (cl.callers) return ShowCallers(cl, fs, input);
  StderrProgress progress(cl.progress);
  CollectedMessages messages;
  engine::CallTree tree;
  engine::RunServices services{fs, progress, messages, tree};
  engine::RunOutput output;
  const Result outcome = engine::ParseAndBuild(input, services, output);

  const auto writeStart = std::chrono::steady_clock::now();
  Result written;
  if (cl.format == OutputFormat::Files) {
    written = engine::WritePaths(
        stdout, session::FoundFiles(output.filePaths,
                                    session::ListedPaths(input.pathdefFile, cl.userOnly)));
    PrintMessages(messages.tally);
  } else {
    written = WriteTree(cl.format, outcome,
                        engine::RecordTree(tree, output.records, &output.filePaths),
                        messages.tally);
  }
  if (!written) return ReportWritten(written);
  const double writeMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - writeStart)
          .count();
  if (cl.listFiles) {
    for (const Text& path : output.stats.scannedFiles) {
      std::fprintf(stderr, "%s\n", ToUtf8(path).c_str());
    }
  }
  if (cl.stats) PrintStats(output.stats, writeMs);
  return outcome ? 0 : 1;
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
