#include "session/search_path_index.h"

#include <algorithm>

#include "engine/file_finder.h"
#include "engine/search_path.h"
#include "platform/host.h"
#include "platform/utf8.h"
#include "session/start_name.h"

namespace korvath::session {

platform::Result SearchPathIndex::Refresh(platform::FileSystem& fs, const Text& pathdefFile,
                                          engine::ProgramIndex::Control* control,
                                          const engine::matlab::Options* matlab,
                                          const std::vector<Text>* changed) {
  std::vector<Text> dirs;
  if (const platform::Result read = engine::ReadSearchPath(pathdefFile, fs, dirs); !read) {
    return platform::Result::Failure(platform::Status::NoSearchPath, read.description);
  }
  const bool sameFolders = dirs == dirs_;
  dirs_ = std::move(dirs);
  if (matlab != nullptr) {
    if (control != nullptr && control->cancel) {
      index_ = engine::ProgramIndex();
      matlab_ = false;
      return platform::Result::Failure(platform::Status::Cancelled, "stopped");
    }
    if (changed != nullptr && matlab_ && sameFolders && possibleCalls_ == matlab->possibleCalls &&
        RefreshFiles(fs, *matlab, *changed)) {
      return {};
    }
    engine::matlab::IndexedFunctions found = engine::matlab::IndexFunctions(fs, dirs_, *matlab);
    stats_ = engine::ProgramIndex::RefreshStats{};
    stats_.programs = static_cast<int>(found.programs.size());
    stats_.scanned = found.filesRead;
    stats_.bytesRead = found.bytesRead;
    index_.Assign(std::move(found.programs), std::move(found.functions), std::move(found.implicit),
                  std::move(found.warnings));
    matlab_ = true;
    possibleCalls_ = matlab->possibleCalls;
    byFile_.clear();
    const auto& programs = index_.Programs();
    for (std::size_t p = 0; p < programs.size(); ++p) {
      byFile_[programs[p].path].push_back(static_cast<int>(p));
    }
    if (control != nullptr) {
      control->total = 1;
      control->done = 1;
    }
    return {};
  }
  // The path mode's index keeps its scans between refreshes; one the MATLAB
  // mode filled is started afresh by Refresh itself.
  matlab_ = false;
  byFile_.clear();
  stats_ = index_.Refresh(fs, dirs_, control, changed);
  if (stats_.cancelled) {
    return platform::Result::Failure(platform::Status::Cancelled, "stopped");
  }
  return {};
}

bool SearchPathIndex::RefreshFiles(platform::FileSystem& fs, const engine::matlab::Options& matlab,
                                   const std::vector<Text>& changed) {
  if (!index_.Warnings().empty()) return false;
  // Every file worked out before any is applied: on the first that cannot
  // be, the whole index is made again and nothing here counts.
  std::vector<engine::matlab::RefreshedFunction> refreshed;
  std::vector<Text> done;
  for (const Text& path : changed) {
    if (std::find(done.begin(), done.end(), path) != done.end()) continue;
    done.push_back(path);
    const auto ofFile = byFile_.find(path);
    if (ofFile == byFile_.end()) return false;
    auto functions = engine::matlab::RefreshFile(fs, dirs_, matlab, path, index_, ofFile->second);
    if (!functions) return false;
    for (auto& f : *functions) refreshed.push_back(std::move(f));
  }
  for (auto& f : refreshed) {
    index_.ReplaceCalls(f.program, std::move(f.callees), std::move(f.sites), f.firstLine,
                        f.lastLine);
  }
  stats_ = engine::ProgramIndex::RefreshStats{};
  stats_.programs = static_cast<int>(index_.Programs().size());
  stats_.scanned = static_cast<int>(done.size());
  return true;
}

std::vector<int> SearchPathIndex::Find(platform::FileSystem& fs, TextView typed) const {
  if (dirs_.empty()) return {};
  const Text name = StartNameFromInput(typed, platform::SlashIsSeparator());
  if (!matlab_) {
    const std::optional<Text> path = engine::FileFinder(fs, dirs_).Find(name);
    const int program = path ? index_.ProgramAt(*path) : -1;
    if (program < 0) return {};
    return {program};
  }
  // MATLAB's notation first ("C.method", "p.f", "f>local", "private/f"),
  // then a file's path, then the plain name.
  const Text notation(engine::WithoutMExtension(typed));
  const auto& programs = index_.Programs();
  for (std::size_t p = 0; p < programs.size(); ++p) {
    if (programs[p].name == notation) return {static_cast<int>(p)};
  }
  const Text path = platform::IsAbsolutePath(typed)
                        ? Text(typed)
                        : fs.JoinPath(fs.CurrentDirectory(), Text(typed));
  if (const int at = index_.ProgramAt(path); at >= 0) return {at};
  const Text plain(engine::WithoutMExtension(name));
  std::vector<int> found;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    if (index_.FunctionOf(static_cast<int>(p)).plainName == plain) {
      found.push_back(static_cast<int>(p));
    }
  }
  return found;
}

std::vector<int> SearchPathIndex::ProgramsIn(const Text& path) const {
  if (!matlab_) {
    const int program = index_.ProgramAt(path);
    if (program < 0) return {};
    return {program};
  }
  const auto found = byFile_.find(path);
  return found == byFile_.end() ? std::vector<int>() : found->second;
}

}  // namespace korvath::session
