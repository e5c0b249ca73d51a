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

FileFinder::FileFinder(platform::FileSystem& fs, std::vector<Text> dirs)
    : fs_(fs), dirs_(std::move(dirs)) {}

// Lists the directories in search order. Names are only ever wanted with
// ".m" at the end, so other files are left out. A directory that cannot be
// listed ends every search that reaches it, so nothing after it counts.
void FileFinder::ListUpTo(std::size_t dir) {
  while (listed_ < dir && !stopped_) {
    const std::size_t k = listed_ + 1;
    std::vector<std::string> files;
    const platform::Result listed = fs_.ListDirectory(dirs_[k], files);
    if (listed.status == platform::Status::Unreadable) {
      stopped_ = true;
      break;
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
    listed_ = k;
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
    wanted_ = platform::ToUtf8(fileName);
  }
  platform::FileNameCaseKey(wanted_, key_);
  const auto it = index_.find(std::string_view(key_));
  if (it == index_.end()) return std::nullopt;
  const Hit& hit = it->second;
  const bool exact = std::binary_search(hit.names.begin(), hit.names.end(), wanted_);
  const std::string& chosen = exact ? wanted_ : hit.names.front();
  return fs_.JoinPath(dirs_[hit.dir], platform::FromUtf8(chosen));
}

}  // namespace korvath::engine
