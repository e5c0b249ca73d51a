#include "engine/file_finder.h"

#include <algorithm>

#include "platform/host.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

bool HasMExtension(const std::string& name) {
  return name.size() >= 2 && name[name.size() - 2] == '.' &&
         (name.back() == 'm' || name.back() == 'M');
}

}  // namespace

FileFinder::FileFinder(platform::FileSystem& fs, std::vector<Text> dirs, Unlistable unlistable)
    : fs_(fs), dirs_(std::move(dirs)), unlistable_(std::move(unlistable)) {}

// Lists the directories in search order. Names are only ever wanted with
// ".m" at the end, so other files are left out. A directory that cannot be
// listed adds nothing: searches go on past it, as they do past a missing one.
void FileFinder::ListUpTo(std::size_t dir) {
  while (listed_ < dir) {
    const std::size_t k = listed_ + 1;
    listed_ = k;
    std::vector<std::string> files;
    platform::Result listed = fs_.ListDirectory(dirs_[k], files);
    if (listed.status == platform::Status::Unreadable) {
      const bool again = std::any_of(failures_.begin(), failures_.end(),
                                     [&](const Failure& f) { return dirs_[f.dir] == dirs_[k]; });
      if (!again) failures_.push_back({k, std::move(listed)});
      continue;
    }
    std::vector<Hit*> added;
    for (std::string& name : files) {
      if (!HasMExtension(name)) continue;
      platform::FileNameCaseKey(name, key_);
      Hit& hit = index_[key_];
      if (hit.names.empty()) {
        hit.dir = k;
        added.push_back(&hit);
      }
      if (hit.dir == k) hit.names.push_back(std::move(name));
    }
    for (Hit* hit : added) std::sort(hit->names.begin(), hit->names.end());
  }
}

void FileFinder::Passed(std::size_t dir) {
  for (; told_ < failures_.size() && failures_[told_].dir < dir; ++told_) {
    if (unlistable_) unlistable_(dirs_[failures_[told_].dir], failures_[told_].why);
  }
}

std::optional<Text> FileFinder::Find(TextView fileName) {
  if (dirs_.size() < 2) return std::nullopt;
  ListUpTo(dirs_.size() - 1);
  // Most names searched for are variables with no file: the lookup reuses
  // two buffers and converts ASCII directly.
  wanted_.clear();
  bool ascii = true;
  for (const char16_t c : fileName) ascii = ascii && c < 0x80;
  if (ascii) {
    for (const char16_t c : fileName) wanted_.push_back(static_cast<char>(c));
  } else {
    wanted_ = platform::FileNameBytesOf(fileName);
  }
  platform::FileNameCaseKey(wanted_, key_);
  const auto it = index_.find(std::string_view(key_));
  if (it == index_.end()) {
    Passed(dirs_.size());
    return std::nullopt;
  }
  const Hit& hit = it->second;
  Passed(hit.dir);
  const bool exact = std::binary_search(hit.names.begin(), hit.names.end(), wanted_);
  const std::string& chosen = exact ? wanted_ : hit.names.front();
  return fs_.JoinPath(dirs_[hit.dir], platform::FileNameText(chosen));
}

}  // namespace korvath::engine
