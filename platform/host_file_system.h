#pragma once
// The real file system of the machine Korvath runs on.

#include "platform/file_system.h"

namespace korvath::platform {

class HostFileSystem final : public FileSystem {
 public:
  std::optional<std::string> ReadFile(const std::u16string& path,
                                      std::string* error) override;
  DirectoryListing ListDirectory(const std::u16string& dir) override;
  std::u16string CurrentDirectory() override;
  bool SetCurrentDirectory(const std::u16string& dir) override;
  std::u16string JoinPath(const std::u16string& dir,
                          const std::u16string& file) const override;
};

// Directory entries in pathdef.m use "\"; on POSIX hosts that becomes "/".
std::u16string ToHostSeparators(std::u16string path);

}  // namespace korvath::platform
