#include "engine/parse_driver.h"

#include <chrono>

#include "engine/file_finder.h"
#include "engine/messages.h"
#include "engine/mfile_scanner.h"
#include "engine/search_path.h"
#include "engine/table_recorder.h"
#include "engine/text_lines.h"

namespace korvath::engine {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The steps of one run, over the state they share.
class ParseRun {
 public:
  ParseRun(const RunInput& input, RunServices& services, RunOutput& output)
      : input_(input), services_(services), output_(output), stats_(output.stats) {}

  Result Run() {
    output_ = RunOutput{};
    table_.Reset(input_.startName);
    std::vector<Text> dirs;
    if (Result read = ReadDirectories(dirs); !read) return read;
    services_.progress.Show();
    services_.progress.Refresh();
    ResolveCalls(std::move(dirs));
    Result built = BuildTree();
    services_.progress.Close();
    return built;
  }

 private:
  struct FoundFile {
    Text fileName;
    Text path;
    FunctionTable::NameId caller;
  };

  Result ReadDirectories(std::vector<Text>& dirs) {
    const auto start = Clock::now();
    const Result read = ReadSearchPath(input_.pathdefFile, services_.fs, dirs);
    stats_.searchPathMs = MillisecondsSince(start);
    if (!read) {
      output_.records = table_.Records();
      services_.messages.ShowMessage(MessageIcon::Critical, messages::kPathdefNotFound);
      return Result::Failure(Status::NoSearchPath, read.description);
    }
    return {};
  }

  // Pass after pass until no record is left to look up: each pass links
  // what it can and hands back the next record to search for and scan.
  void ResolveCalls(std::vector<Text> dirs) {
    const auto start = Clock::now();
    FileFinder probe(services_.fs, std::move(dirs), [this](const Text& dir, const Result& why) {
      services_.messages.FolderUnlistable(dir, why);
    });
    for (;;) {
      const FunctionTable::Pass pass = table_.RunPass();
      ++stats_.passes;
      services_.progress.SetCounts(pass.parsedCount, pass.totalCount);
      services_.progress.Refresh();
      if (pass.candidate == 0) break;
      const int current = pass.candidate;
      table_.Pick(current);
      const FoundFile* file = FileOf(current, probe);
      if (file == nullptr) {
        if (current == 1) startNotFound_ = true;
        table_.Blank(current);
        continue;
      }
      table_.MarkFound(current);
      output_.filePaths[Text(WithoutMExtension(file->fileName))] = file->path;
      ScanFoundFile(*file);
    }
    stats_.records = table_.HighestIndex();
    output_.records = table_.Finish(input_.discards, input_.goal == RunGoal::Files);
    stats_.resolutionMs = MillisecondsSince(start);
  }

  // The search's answer depends on the name alone, and most names (local
  // variables, built-ins) are searched for again under every caller: each
  // name is searched once.
  const FoundFile* FileOf(int record, FileFinder& probe) {
    const auto id = static_cast<std::size_t>(table_.NameIdAt(record));
    if (id >= searched_.size()) searched_.resize(table_.NameCount(), 0);
    if (searched_[id] == 0) {
      Text fileName = WithMExtension(table_.Name(record));
      if (std::optional<Text> path = probe.Find(fileName)) {
        const FunctionTable::NameId caller = table_.Intern(fileName);
        found_.push_back(FoundFile{std::move(fileName), std::move(*path), caller});
        searched_[id] = static_cast<std::int32_t>(found_.size());
      } else {
        searched_[id] = -1;
      }
    }
    if (searched_[id] < 0) return nullptr;
    return &found_[static_cast<std::size_t>(searched_[id] - 1)];
  }

  void ScanFoundFile(const FoundFile& file) {
    std::string bytes;
    if (const Result read = services_.fs.ReadFile(file.path, bytes); !read) {
      // Counted as scanned, with no calls; the run goes on.
      services_.messages.FileUnreadable(file.path, read);
      return;
    }
    ++stats_.filesScanned;
    stats_.bytesRead += bytes.size();
    stats_.scannedFiles.push_back(file.path);
    TextLines lines(std::move(bytes));
    TableRecorder recorder(table_, file.caller);
    ScanFile(lines, recorder);
  }

  Result BuildTree() {
    Result built;
    const auto start = Clock::now();
    if (input_.goal == RunGoal::Files) {
      services_.tree.Clear();
      built = CheckStartRecord(output_.records);
    } else {
      services_.progress.SetCaption(messages::kBuildingTree);
      services_.progress.Refresh();
      built = BuildCallTree(output_.records, services_.tree, services_.messages, services_.limits);
    }
    if (!built) ReportMissingStart();
    stats_.nodes = services_.tree.Count();
    stats_.treeMs = MillisecondsSince(start);
    return built;
  }

  void ReportMissingStart() {
    const TextView startFunction = WithoutMExtension(input_.startName);
    const bool discarded =
        !startNotFound_ && DiscardedNames(input_.discards).Contains(startFunction);
    services_.messages.ShowMessage(MessageIcon::Information,
                                   discarded ? messages::StartFunctionDiscarded(startFunction)
                                             : messages::StartFileNotFound(input_.startName));
  }

  const RunInput& input_;
  RunServices& services_;
  RunOutput& output_;
  RunStats& stats_;
  FunctionTable table_;
  bool startNotFound_ = false;
  // By name id: 0 not searched yet, -1 not found, k > 0 the k-th entry of
  // `found_`.
  std::vector<std::int32_t> searched_;
  std::vector<FoundFile> found_;
};

}  // namespace

Result ParseAndBuild(const RunInput& input, RunServices& services, RunOutput& output) {
  return ParseRun(input, services, output).Run();
}

}  // namespace korvath::engine
