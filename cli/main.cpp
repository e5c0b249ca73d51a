// korvath-tree: the call tree of one MATLAB file on the command line.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/tree_writers.h"
#include "engine/messages.h"
#include "engine/parse_driver.h"
#include "engine/text_lines.h"
#include "platform/host_file_system.h"
#include "platform/utf8.h"
#include "shell/start_name.h"
#include "shell/startup_settings.h"

namespace {

using korvath::Text;
using korvath::platform::FromUtf8;
using korvath::platform::ToUtf8;

#ifdef _WIN32
constexpr bool kSlashIsSeparator = false;
#else
constexpr bool kSlashIsSeparator = true;
#endif

class StderrProgress final : public korvath::ProgressSink {
 public:
  explicit StderrProgress(bool enabled) : enabled_(enabled) {}
  void Show() override {}
  void SetCaption(const Text& caption) override {
    if (enabled_) std::fprintf(stderr, "%s\n", ToUtf8(caption).c_str());
  }
  // Called once per pass, often a hundred thousand times a run: no caption
  // text is built unless it is printed.
  void SetCounts(int parsed, int total) override {
    if (enabled_) SetCaption(korvath::messages::ProgressCaption(parsed, total));
  }
  void Refresh() override {}
  void Close() override {}

 private:
  bool enabled_;
};

class CollectedMessages final : public korvath::MessageSink {
 public:
  void ShowMessage(korvath::MessageIcon /*icon*/, const Text& text) override {
    texts.push_back(text);
  }
  void FileUnreadable(const Text& path, const std::string& reason) override {
    std::fprintf(stderr, "korvath-tree: warning: cannot read %s: %s\n", ToUtf8(path).c_str(),
                 reason.c_str());
  }
  std::vector<Text> texts;
};

// Message boxes the window would show, on standard error; a message that
// repeats is printed once with its count.
void PrintMessages(const std::vector<Text>& texts) {
  std::vector<std::pair<Text, int>> distinct;
  for (const Text& text : texts) {
    bool seen = false;
    for (auto& [known, count] : distinct) {
      if (known == text) {
        ++count;
        seen = true;
        break;
      }
    }
    if (!seen) distinct.emplace_back(text, 1);
  }
  for (const auto& [text, count] : distinct) {
    if (count == 1) {
      std::fprintf(stderr, "korvath-tree: %s\n", ToUtf8(text).c_str());
    } else {
      std::fprintf(stderr, "korvath-tree: %s (%d times)\n", ToUtf8(text).c_str(), count);
    }
  }
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "korvath-tree: %s\n\n%s", message.c_str(), korvath::cli::UsageText());
  return 2;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

int Run(const korvath::cli::CommandLine& cl) {
  korvath::platform::HostFileSystem fs;
  if (cl.directory && !fs.SetCurrentDirectory(FromUtf8(*cl.directory))) {
    return UsageError("cannot change to directory '" + *cl.directory + "'");
  }
  // Start-up may move to the fallback directory: fix named files first.
  const std::optional<std::string> pathdef =
      cl.pathdef ? std::optional<std::string>(Absolute(*cl.pathdef)) : std::nullopt;
  const std::optional<std::string> discard =
      cl.discard ? std::optional<std::string>(Absolute(*cl.discard)) : std::nullopt;

  korvath::StartupSettings settings =
      korvath::LoadStartupSettings(fs, korvath::DefaultFallbackDirectory());
  korvath::EngineState state;
  state.PathdefFile = pathdef ? FromUtf8(*pathdef) : settings.PathdefFile;
  state.Discards = std::move(settings.Discards);
  if (discard) {
    std::string error;
    std::optional<std::string> bytes = fs.ReadFile(FromUtf8(*discard), &error);
    if (!bytes) {
      std::fprintf(stderr, "korvath-tree: cannot read discard list %s: %s\n", discard->c_str(),
                   error.c_str());
      return 2;
    }
    state.Discards = korvath::ParseDiscardList(korvath::SplitLines(std::move(*bytes)));
  }
  for (std::size_t d = 1; d < state.Discards.size(); ++d) {
    korvath::DiscardEntry& entry = state.Discards[d];
    if (cl.showAll) entry.Show = true;
    for (const std::string& group : cl.showGroups) {
      if (entry.FileType == FromUtf8(group)) entry.Show = true;
    }
  }

  const Text startName = korvath::StartNameFromInput(FromUtf8(cl.start), kSlashIsSeparator);
  StderrProgress progress(cl.progress);
  CollectedMessages messages;
  korvath::CallTree tree;
  korvath::RunServices services{fs, progress, messages, tree};
  korvath::RunStats stats;
  const korvath::RunOutcome outcome = korvath::ParseAndBuild(state, startName, services, &stats);
  const auto writeStart = std::chrono::steady_clock::now();

  if (cl.format == korvath::cli::OutputFormat::Json) {
    korvath::cli::WriteJson(stdout, tree, state.FinalRecords, messages.texts);
  }
  if (outcome == korvath::RunOutcome::PathdefFailed) {
    // The tree of the window stays as it was; here there is none to print.
    PrintMessages(messages.texts);
  } else {
    if (cl.format == korvath::cli::OutputFormat::Text) {
      korvath::cli::WriteTextTree(stdout, tree, state.FinalRecords);
    } else if (cl.format == korvath::cli::OutputFormat::Dot) {
      korvath::cli::WriteDot(stdout, tree, state.FinalRecords);
    }
    if (cl.format != korvath::cli::OutputFormat::Json || outcome != korvath::RunOutcome::TreeBuilt) {
      PrintMessages(messages.texts);
    }
  }
  std::fflush(stdout);
  const double writeMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - writeStart)
          .count();
  if (cl.listFiles) {
    for (const Text& path : stats.scannedFiles) std::fprintf(stderr, "%s\n", ToUtf8(path).c_str());
  }
  if (cl.stats) {
    std::fprintf(stderr,
                 "records: %d\npasses: %d\nfiles scanned: %d\nbytes read: %llu\ntree nodes: %d\n"
                 "search path ms: %.3f\nresolution ms: %.3f\ntree ms: %.3f\nwrite ms: %.3f\n",
                 stats.records, stats.passes, stats.filesScanned,
                 static_cast<unsigned long long>(stats.bytesRead), stats.nodes, stats.searchPathMs,
                 stats.resolutionMs, stats.treeMs, writeMs);
  }
  return outcome == korvath::RunOutcome::TreeBuilt ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const korvath::cli::ParseResult parsed = korvath::cli::ParseCommandLine(args);
  if (!parsed.commandLine) return UsageError(parsed.error);
  if (parsed.commandLine->help) {
    std::fputs(korvath::cli::UsageText(), stdout);
    return 0;
  }
  try {
    return Run(*parsed.commandLine);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvath-tree: %s\n", e.what());
    return 1;
  }
}
