#pragma once
// The file-system services the analysis needs, behind an interface so that
// tests can run the engine over an in-memory tree.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace korvath::platform {

// No file Korvath reads is larger than this: a bigger one (or a device that
// never ends) is TooLarge instead of taking all the memory there is.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

// What tells whether a file changed since it was read: equal stamps, same
// contents (as far as the file system can tell). The change time is there
// because the modification time can be put back (cp -p, touch -r) and the
// change time cannot.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // nanoseconds since the epoch
  std::uint64_t identity = 0;   // the inode on POSIX, the file index on Windows
  std::int64_t changedNs = 0;   // the status change time (ChangeTime on Windows)
  bool operator==(const FileStamp&) const = default;
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // The whole file in one read into `bytes`. Only regular files are read
  // (a directory, FIFO or device is NotRegularFile), and none larger than
  // kMaxFileBytes.
  virtual Result ReadFile(const std::u16string& path, std::string& bytes) = 0;
  // Names (host encoding, UTF-8 on POSIX) of the regular files in `dir`. A
  // directory that does not exist is NotFound; one that exists but cannot
  // be listed is Unreadable.
  virtual Result ListDirectory(const std::u16string& dir, std::vector<std::string>& files) = 0;
  // The regular files of `dir`, as ListDirectory, and in one listing the
  // names of its directories. A file system without subdirectories (a
  // test's) has none to give.
  virtual Result ListEntries(const std::u16string& dir, std::vector<std::string>& files,
                             std::vector<std::string>& folders) {
    folders.clear();
    return ListDirectory(dir, files);
  }
  // The stamp of the regular file at `path`, without reading it.
  virtual Result StatFile(const std::u16string& path, FileStamp& stamp) = 0;

  virtual std::u16string CurrentDirectory() = 0;
  virtual Result SetCurrentDirectory(const std::u16string& dir) = 0;
  // Joins a directory (as written in pathdef.m or the settings) and a file
  // name into a path this file system can open.
  virtual std::u16string JoinPath(const std::u16string& dir, const std::u16string& file) const = 0;
};

}  // namespace korvath::platform
