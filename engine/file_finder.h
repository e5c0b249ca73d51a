#pragma once
// Finds the file of a called function in the search directories. Each
// directory is listed at most once per run; names match ignoring case as the
// host's file systems do, and an exact match wins over the others.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/text.h"
#include "platform/file_system.h"

namespace korvath::engine {

class FileFinder {
 public:
  // Told of a directory that could not be listed, with the reason.
  using Unlistable = std::function<void(const Text& dir, const platform::Result& why)>;

  // `dirs` as the search path reader fills it (entry 0 unused). A directory
  // that cannot be listed is passed over; `unlistable` hears of it once, when
  // a search first gets past it.
  FileFinder(platform::FileSystem& fs, std::vector<Text> dirs, Unlistable unlistable = {});

  // Path of the file for `fileName` in the first directory that holds it.
  std::optional<Text> Find(TextView fileName);

  // Every file a search for its own name finds, in no particular order: the
  // files of each name's first directory, the later ones being shadowed.
  // `visit(dir, name)` gets the directory's index and the name as listed.
  template <typename Visit>
  void ForEachFile(Visit visit) {
    if (dirs_.size() < 2) return;
    ListUpTo(dirs_.size() - 1);
    Passed(dirs_.size());
    for (const auto& [key, hit] : index_) {
      for (const std::string& name : hit.names) visit(hit.dir, name);
    }
  }
  const std::vector<Text>& Directories() const { return dirs_; }

 private:
  struct Hit {
    std::size_t dir = 0;
    std::vector<std::string> names;  // sorted in byte order
  };
  struct Failure {
    std::size_t dir;
    platform::Result why;
  };
  void ListUpTo(std::size_t dir);
  // A search got to directory `dir`: tells of the failures before it.
  void Passed(std::size_t dir);

  platform::FileSystem& fs_;
  std::vector<Text> dirs_;
  Unlistable unlistable_;
  std::size_t listed_ = 0;         // directories 1..listed_ are in `index_`
  std::vector<Failure> failures_;  // in directory order, each folder once
  std::size_t told_ = 0;           // failures_[0..told_) have been told
  // Looked up by string_view, so that a lookup builds no string.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const noexcept {
      return std::hash<std::string_view>{}(key);
    }
  };
  std::unordered_map<std::string, Hit, KeyHash, std::equal_to<>> index_;  // by the name's case key
  std::string wanted_;                                                    // reused by Find
  std::string key_;
};

}  // namespace korvath::engine
