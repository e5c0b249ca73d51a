#include "engine/file_finder.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/host.h"
#include "platform/utf8.h"

namespace korvath::engine {
namespace {

bool HasMExtension(const std::string& name) {
  return name.size() >= 2 && name[name.size() - 2] == '.' &&
         (name.back() == 'm' || name.back() == 'M');
}

template <typename T>
void ReserveFor(std::vector<T>& items, std::size_t more) {
  const std::size_t wanted = items.size() + more;
  if (wanted > items.capacity()) items.reserve(std::max(wanted, 2 * items.capacity()));
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
    // Room for the whole folder at once, but growing at least twofold: an
    // exact reserve per folder copied the whole listing once per folder.
    ReserveFor(names_, files.size());
    ReserveFor(hits_, files.size());
    for (const std::string& name : files) {
      if (!HasMExtension(name)) continue;
      platform::FileNameCaseKey(name, key_);
      const std::size_t hash = std::hash<std::string_view>{}(key_);
      std::size_t slot = 0;
      Hit* hit = Lookup(hash, slot);
      if (hit == nullptr) {
        table_[slot] = static_cast<std::uint32_t>(hits_.size() + 1);
        keys_ += key_;
        hits_.push_back({hash, static_cast<std::uint32_t>(keys_.size()),
                         static_cast<std::uint32_t>(k), kNoName});
        hit = &hits_.back();
      } else if (hit->dir != k) {
        continue;  // shadowed by an earlier folder's
      }
      namesText_ += name;
      names_.push_back({static_cast<std::uint32_t>(namesText_.size()), hit->first});
      hit->first = static_cast<std::uint32_t>(names_.size() - 1);
      if (2 * hits_.size() > table_.size()) Grow();
    }
  }
}

FileFinder::Hit* FileFinder::Lookup(std::size_t hash, std::size_t& slot) {
  if (table_.empty()) table_.assign(1024, 0);
  const std::size_t mask = table_.size() - 1;
  for (slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t at = table_[slot];
    if (at == 0) return nullptr;
    Hit& hit = hits_[at - 1];
    if (hit.hash == hash && Key(hit) == key_) return &hit;
  }
}

void FileFinder::Grow() {
  table_.assign(table_.size() * 2, 0);
  const std::size_t mask = table_.size() - 1;
  for (std::size_t h = 0; h < hits_.size(); ++h) {
    std::size_t slot = hits_[h].hash & mask;
    while (table_[slot] != 0) slot = (slot + 1) & mask;
    table_[slot] = static_cast<std::uint32_t>(h + 1);
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
  std::size_t slot = 0;
  const Hit* hit = Lookup(std::hash<std::string_view>{}(key_), slot);
  if (hit == nullptr) {
    Passed(dirs_.size());
    return std::nullopt;
  }
  Passed(hit->dir);
  // The exact name, else the first of the names in byte order.
  std::optional<std::string_view> chosen;
  for (std::uint32_t n = hit->first; n != kNoName; n = names_[n].next) {
    const std::string_view text = NameText(n);
    if (text == wanted_) {
      chosen = text;
      break;
    }
    if (!chosen || text < *chosen) chosen = text;
  }
  return fs_.JoinPath(dirs_[hit->dir], platform::FileNameText(*chosen));
}

}  // namespace korvath::engine
