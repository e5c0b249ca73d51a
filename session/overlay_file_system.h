#pragma once
// A file system whose files may be replaced by text held in memory: an
// editor's open buffers, so that what the user sees is what is analysed,
// saved or not. Everything else goes to the file system underneath.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace korvath::session {

class OverlayFileSystem final : public platform::FileSystem {
 public:
  // `base` outlives this one and gives its current directory.
  explicit OverlayFileSystem(platform::FileSystem& base) : base_(base) {}

  // `path` (absolute, or relative to the current directory) reads as
  // `bytes` until Remove; each Set gives the file a new stamp.
  void Set(const std::u16string& path, std::string bytes);
  void Remove(const std::u16string& path);
  bool Holds(const std::u16string& path);

  platform::Result ReadFile(const std::u16string& path, std::string& bytes) override;
  // The base's files plus those held here that it lacks.
  platform::Result ListDirectory(const std::u16string& dir,
                                 std::vector<std::string>& files) override;
  // The same, with the base's folders (the MATLAB mode's class, package
  // and private folders).
  platform::Result ListEntries(const std::u16string& dir, std::vector<std::string>& files,
                               std::vector<std::string>& folders) override;
  platform::Result StatFile(const std::u16string& path, platform::FileStamp& stamp) override;
  std::u16string CurrentDirectory() override { return base_.CurrentDirectory(); }
  platform::Result SetCurrentDirectory(const std::u16string& dir) override {
    return base_.SetCurrentDirectory(dir);
  }
  std::u16string JoinPath(const std::u16string& dir, const std::u16string& file) const override {
    return base_.JoinPath(dir, file);
  }

 private:
  struct Held {
    std::string bytes;
    std::uint64_t generation = 0;
  };
  // The key a path is held under: absolute, "." and ".." taken out.
  std::u16string Key(const std::u16string& path);
  // Adds the held files of `dir` that `files` lacks.
  void AddHeld(const std::u16string& dir, std::vector<std::string>& files);

  platform::FileSystem& base_;
  std::map<std::u16string, Held> held_;
  std::uint64_t generation_ = 0;
};

}  // namespace korvath::session
