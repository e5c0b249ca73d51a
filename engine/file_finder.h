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
  // `visit(dir, name)` gets the directory's index and the name as listed
  // (a view valid until the next search).
  template <typename Visit>
  void ForEachFile(Visit visit) {
    if (dirs_.size() < 2) return;
    ListUpTo(dirs_.size() - 1);
    Passed(dirs_.size());
    for (const Hit& hit : hits_) {
      for (std::uint32_t n = hit.first; n != kNoName; n = names_[n].next) {
        visit(std::size_t{hit.dir}, NameText(n));
      }
    }
  }
  const std::vector<Text>& Directories() const { return dirs_; }

 private:
  // The index is flat: a path of 200,000 files is filed in one pass over
  // vectors, with no allocation per name, the names and keys end to end in
  // one buffer each (a program index keeps a finder through its link).
  static constexpr std::uint32_t kNoName = 0xFFFFFFFF;
  struct Name {
    std::uint32_t end;   // of its text (as listed) in names_text_, from the previous one's end
    std::uint32_t next;  // the next name of the same key and folder, or kNoName
  };
  struct Hit {  // one case key, in the first folder holding it
    std::size_t hash;
    std::uint32_t keyEnd;  // in keys_, from the previous one's end
    std::uint32_t dir;
    std::uint32_t first;  // its names, chained through Name::next
  };
  std::string_view NameText(std::uint32_t n) const {
    const std::uint32_t begin = n == 0 ? 0 : names_[n - 1].end;
    return std::string_view(namesText_).substr(begin, names_[n].end - begin);
  }
  std::string_view Key(const Hit& hit) const {
    const auto h = static_cast<std::size_t>(&hit - hits_.data());
    const std::uint32_t begin = h == 0 ? 0 : hits_[h - 1].keyEnd;
    return std::string_view(keys_).substr(begin, hit.keyEnd - begin);
  }
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
  std::string namesText_;
  std::vector<Hit> hits_;
  std::string keys_;
  // Open addressing, linear probing, a power of two at most half full:
  // an index into hits_ plus one, 0 for an empty slot.
  std::vector<std::uint32_t> table_;
  std::string wanted_;  // reused by Find
  std::string key_;
};

}  // namespace korvath::engine
