#include "session/workspace.h"

#include "engine/messages.h"
#include "platform/host.h"
#include "platform/utf8.h"
#include "session/listed_paths.h"
#include "session/start_name.h"

namespace korvath::session {
namespace {

using platform::Result;
using platform::Status;

// Passes a run's messages on to the front end's sink and keeps them.
class KeepingSink final : public engine::MessageSink {
 public:
  KeepingSink(engine::MessageSink& shown, LastRun& run) : shown_(shown), run_(run) {}
  void ShowMessage(engine::MessageIcon icon, const Text& text) override {
    run_.messages.Add(text);
    shown_.ShowMessage(icon, text);
  }
  void FileUnreadable(const Text& path, const Result& why) override {
    run_.unreadable.push_back(path + u": " + platform::FromUtf8(why.description));
    shown_.FileUnreadable(path, why);
  }
  void FolderUnlistable(const Text& folder, const Result& why) override {
    run_.unlistable.push_back(folder + u": " + platform::FromUtf8(why.description));
    shown_.FolderUnlistable(folder, why);
  }

 private:
  engine::MessageSink& shown_;
  LastRun& run_;
};

}  // namespace

Workspace::Workspace(platform::FileSystem& fs) : fs_(fs) {}

Text Workspace::AbsolutePath(const Text& path) {
  if (path.empty() || platform::IsAbsolutePath(path)) return path;
  return fs_.JoinPath(fs_.CurrentDirectory(), path);
}

Result Workspace::LoadSettings(const Text& fallbackDir) {
  return LoadStartupSettings(fs_, fallbackDir, settings_);
}

Result Workspace::Run(TextView typedStart, engine::ProgressSink& progress,
                      engine::MessageSink& messages, const engine::TreeLimits& limits,
                      engine::RunGoal goal) {
  const engine::RunInput input{settings_.pathdefFile, settings_.discards,
                               StartNameFromInput(typedStart, platform::SlashIsSeparator()), goal};
  LastRun run;
  KeepingSink keeping(messages, run);
  engine::RunServices services{fs_, progress, keeping, run.tree, limits};
  engine::RunOutput output;
  Result outcome = mode() == ResolutionMode::Matlab
                       ? engine::matlab::ParseAndBuild(input, services, output, {possibleCalls()})
                       : engine::ParseAndBuild(input, services, output);
  // Without a search path the last tree stays, as it was shown.
  if (outcome.status == Status::NoSearchPath) return outcome;
  run.records = std::move(output.records);
  run.filePaths = std::move(output.filePaths);
  run.stats = std::move(output.stats);
  if (replacing) replacing(true);
  lastRun_ = std::move(run);
  if (replacing) replacing(false);
  return outcome;
}

Result Workspace::RefreshIndex(engine::ProgramIndex::Control* control,
                               const std::vector<Text>* changed) {
  indexed_ = false;
  const engine::matlab::Options matlab{possibleCalls()};
  Result refreshed = index_.Refresh(fs_, settings_.pathdefFile, control,
                                    mode() == ResolutionMode::Matlab ? &matlab : nullptr, changed);
  if (refreshed.status == Status::NoSearchPath) {
    refreshed.description = platform::ToUtf8(engine::messages::kPathdefNotFound);
  }
  indexed_ = refreshed.ok();
  return refreshed;
}

int Workspace::FindProgram(TextView typed) {
  const std::vector<int> found = index_.Find(fs_, typed);
  return found.size() == 1 ? found.front() : -1;
}

std::vector<int> Workspace::ProgramsNamed(TextView typed) { return index_.Find(fs_, typed); }

int Workspace::ProgramAt(const Text& path) const {
  return indexed_ && !path.empty() ? index_.index().ProgramAt(path) : -1;
}

std::vector<int> Workspace::ProgramsIn(const Text& path) const {
  return indexed_ ? index_.ProgramsIn(path) : std::vector<int>();
}

int Workspace::ProgramIn(const Text& path, TextView name) const {
  const std::vector<int> programs = ProgramsIn(path);
  for (const int p : programs) {
    if (index().Programs()[static_cast<std::size_t>(p)].name == name) return p;
  }
  return programs.empty() ? -1 : programs.front();
}

std::optional<Workspace::CallSite> Workspace::CallAt(const Text& path, std::int32_t line,
                                                     std::int32_t column) const {
  const auto& programs = index().Programs();
  for (const int p : ProgramsIn(path)) {
    for (const auto& calls : programs[static_cast<std::size_t>(p)].callees) {
      const auto& sites = index().SitesOf(p, calls);
      for (const auto& site : sites.sites) {
        if (site.line == line && site.column <= column && column <= site.column + site.length) {
          return CallSite{p, calls.program, site, &calls, &sites};
        }
      }
    }
  }
  return std::nullopt;
}

int Workspace::FunctionAt(const Text& path, std::int32_t line) const {
  int best = -1;
  for (const int p : ProgramsIn(path)) {
    const auto& function = index().FunctionOf(p);
    if (function.firstLine == 0 || line < function.firstLine || line > function.lastLine) continue;
    // Nested and class members lie inside their parent: the latest start is innermost.
    if (best < 0 || function.firstLine > index().FunctionOf(best).firstLine) best = p;
  }
  return best;
}

void Workspace::CallersOf(int program, engine::CallersTree& tree, engine::MessageSink& messages,
                          const engine::TreeLimits& limits) const {
  tree.Build(index_.index(), program, settings_.discards, messages, limits);
}

Result Workspace::CallersOfName(TextView typed, engine::CallersTree& tree,
                                engine::MessageSink& messages, const engine::TreeLimits& limits) {
  const std::vector<int> found = ProgramsNamed(typed);
  if (found.size() > 1) {
    std::string list;
    for (const int p : found) {
      list +=
          "\n  " + platform::ToUtf8(index_.index().Programs()[static_cast<std::size_t>(p)].name);
    }
    return Result::Failure(Status::UsageError,
                           platform::ToUtf8(typed) + " names several functions:" + list);
  }
  const int program = found.empty() ? -1 : found.front();
  if (program < 0) {
    messages.ShowMessage(engine::MessageIcon::Critical,
                         engine::messages::StartFileNotFound(
                             StartNameFromInput(typed, platform::SlashIsSeparator())));
    return Result::Failure(Status::NoStartFile, "not found");
  }
  CallersOf(program, tree, messages, limits);
  return {};
}

std::vector<engine::NamedFile> Workspace::UncalledFunctions(bool userOnly) const {
  const ListedPaths paths(settings_.pathdefFile, userOnly);
  std::vector<engine::NamedFile> uncalled;
  Text listed;
  for (const int p : index_.index().Uncalled()) {
    const auto& program = index_.index().Programs()[static_cast<std::size_t>(p)];
    if (paths.Take(program.path, listed)) uncalled.push_back({program.name, listed});
  }
  return uncalled;
}

std::vector<Text> Workspace::FoundFiles(bool userOnly) const {
  return session::FoundFiles(lastRun_.filePaths, ListedPaths(settings_.pathdefFile, userOnly));
}

Result Workspace::WriteFoundFiles(std::FILE* out, bool userOnly) const {
  return engine::WritePaths(out, FoundFiles(userOnly));
}

Result Workspace::Export(std::FILE* out, OutputFormat format, const engine::NodeTree& tree,
                         engine::TreeKind kind, const std::vector<Text>& messages,
                         const GraphRenderer& renderer, const GraphLimits& limits) const {
  if (format == OutputFormat::Files) return WriteFoundFiles(out, false);
  return WriteTree(out, format, tree, kind, messages, renderer, limits);
}

Result Workspace::ExportToFile(const Text& path, OutputFormat format, const engine::NodeTree& tree,
                               engine::TreeKind kind, const std::vector<Text>& messages,
                               const GraphRenderer& renderer) {
  return WriteFileWith(AbsolutePath(path), [&](std::FILE* out) {
    return Export(out, format, tree, kind, messages, renderer);
  });
}

}  // namespace korvath::session
