#pragma once
// The real file system of the machine Korvath runs on.

#include <filesystem>

#include "platform/file_system.h"

namespace korvath::platform {

// Its current directory is its own, not the process's: several can be used
// side by side, each with relative paths meaning paths in its folder.
class HostFileSystem final : public FileSystem {
 public:
  // Starts in the process's current directory.
  HostFileSystem();
  // Starts in `folder` (made absolute against the process's); NotFound from
  // SetCurrentDirectory leaves it in the process's.
  explicit HostFileSystem(const std::u16string& folder);

  Result ReadFile(const std::u16string& path, std::string& bytes) override;
  Result ListDirectory(const std::u16string& dir, std::vector<std::string>& files) override;
  Result ListEntries(const std::u16string& dir, std::vector<std::string>& files,
                     std::vector<std::string>& folders) override;
  Result StatFile(const std::u16string& path, FileStamp& stamp) override;
  std::u16string CurrentDirectory() override;
  // Makes `dir` (relative to the current one) current, as the system would
  // name it after changing there: absolute, links resolved.
  Result SetCurrentDirectory(const std::u16string& dir) override;
  std::u16string JoinPath(const std::u16string& dir, const std::u16string& file) const override;

 private:
  std::filesystem::path Resolve(const std::u16string& path) const;
  // The regular files of `dir`, and its directories when `folders` is given.
  Result List(const std::u16string& dir, std::vector<std::string>& files,
              std::vector<std::string>* folders) const;

  std::filesystem::path folder_;
};

}  // namespace korvath::platform
