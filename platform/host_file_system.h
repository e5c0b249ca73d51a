#pragma once
// The real file system of the machine Korvath runs on.

#include "platform/file_system.h"

namespace korvath::platform {

class HostFileSystem final : public FileSystem {
 public:
  Result ReadFile(const std::u16string& path, std::string& bytes) override;
  Result ListDirectory(const std::u16string& dir, std::vector<std::string>& files) override;
  Result StatFile(const std::u16string& path, FileStamp& stamp) override;
  std::u16string CurrentDirectory() override;
  Result SetCurrentDirectory(const std::u16string& dir) override;
  std::u16string JoinPath(const std::u16string& dir,
                          const std::u16string& file) const override;
};

}  // namespace korvath::platform
