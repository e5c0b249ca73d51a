#pragma once
// The file-system services the analysis needs, behind an interface so that
// tests can run the engine over an in-memory tree.

#include <optional>
#include <string>
#include <vector>

namespace korvath::platform {

struct DirectoryListing {
  enum class Status { Ok, Missing, Unreadable };
  Status status = Status::Missing;
  // Names (host encoding, UTF-8 on POSIX) of the regular files in the directory.
  std::vector<std::string> files;
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // The whole file in one read. On failure returns nullopt and, if `error`
  // is given, a short reason.
  virtual std::optional<std::string> ReadFile(const std::u16string& path,
                                              std::string* error) = 0;
  // Regular files of one directory. A directory that does not exist is
  // Missing; one that exists but cannot be listed is Unreadable.
  virtual DirectoryListing ListDirectory(const std::u16string& dir) = 0;
  virtual std::u16string CurrentDirectory() = 0;
  virtual bool SetCurrentDirectory(const std::u16string& dir) = 0;
  // Joins a directory (as written in pathdef.m or the settings) and a file
  // name into a path this file system can open.
  virtual std::u16string JoinPath(const std::u16string& dir,
                                  const std::u16string& file) const = 0;
};

}  // namespace korvath::platform
