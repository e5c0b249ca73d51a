#include "session/search_path_index.h"

#include "engine/file_finder.h"
#include "engine/search_path.h"
#include "platform/host.h"
#include "session/start_name.h"

namespace korvath::session {

platform::Result SearchPathIndex::Refresh(platform::FileSystem& fs, const Text& pathdefFile,
                                          engine::ProgramIndex::Control* control) {
  std::vector<Text> dirs;
  if (const platform::Result read = engine::ReadSearchPath(pathdefFile, fs, dirs); !read) {
    return platform::Result::Failure(platform::Status::NoSearchPath, read.description);
  }
  dirs_ = std::move(dirs);
  stats_ = index_.Refresh(fs, dirs_, control);
  if (stats_.cancelled) {
    return platform::Result::Failure(platform::Status::Cancelled, "stopped");
  }
  return {};
}

int SearchPathIndex::Find(platform::FileSystem& fs, TextView typed) const {
  if (dirs_.empty()) return -1;
  const Text name = StartNameFromInput(typed, platform::SlashIsSeparator());
  const std::optional<Text> path = engine::FileFinder(fs, dirs_).Find(name);
  return path ? index_.ProgramAt(*path) : -1;
}

}  // namespace korvath::session
