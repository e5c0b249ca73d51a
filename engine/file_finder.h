#pragma once
// Finds the file of a called function in the search directories. Each
// directory is listed at most once per run; names match ignoring case as the
// host's file systems do, and an exact match wins over the others.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
    for (const Hit& hit : hits_) {
      for (std::uint32_t n = hit.first; n != kNoName; n = names_[n].next) {
        visit(hit.dir, names_[n].text);
      }
    }
  }
  const std::vector<Text>& Directories() const { return dirs_; }

 private:
  // The index is flat: a path of 200,000 files is filed in one pass over
  // vectors, with no allocation per name beyond a long name's text.
  static constexpr std::uint32_t kNoName = 0xFFFFFFFF;
  struct Name {
    std::string text;    // as listed
    std::uint32_t next;  // the next name of the same key and folder, or kNoName
  };
  struct Hit {  // one case key, in the first folder holding it
    std::string key;
    std::size_t hash;
    std::size_t dir;
    std::uint32_t first;  // its names, chained through Name::next
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
  // The hit of `key_` (hashing to `hash`), or null; with `slot` where it
  // is or would go in `table_`.
  Hit* Lookup(std::size_t hash, std::size_t& slot);
  void Grow();

  std::vector<Name> names_;
  std::vector<Hit> hits_;
  // Open addressing, linear probing, a power of two at most half full:
  // an index into hits_ plus one, 0 for an empty slot.
  std::vector<std::uint32_t> table_;
  std::string wanted_;  // reused by Find
  std::string key_;
};

}  // namespace korvath::engine
