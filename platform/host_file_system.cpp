#include "platform/host_file_system.h"

#include <filesystem>
#include <system_error>

#include "platform/host.h"

namespace korvath::platform {

Result HostFileSystem::ReadFile(const std::u16string& path, std::string& bytes) {
  return ReadRegularFile(NativePath(path), kMaxFileBytes, bytes);
}

Result HostFileSystem::ListDirectory(const std::u16string& dir, std::vector<std::string>& files) {
  files.clear();
  const std::filesystem::path p = NativePath(dir.empty() ? std::u16string(u".") : dir);
  std::error_code ec;
  if (!std::filesystem::is_directory(p, ec)) {
    return Result::Failure(Status::NotFound, "no such directory");
  }
  std::filesystem::directory_iterator it(p, ec);
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) files.push_back(FileNameBytes(it->path().filename()));
  }
  if (ec) {
    files.clear();
    return Result::Failure(Status::Unreadable, ec.message());
  }
  return {};
}

Result HostFileSystem::StatFile(const std::u16string& path, FileStamp& stamp) {
  return StatRegularFile(NativePath(path), stamp);
}

std::u16string HostFileSystem::CurrentDirectory() {
  std::error_code ec;
  const auto p = std::filesystem::current_path(ec);
  if (ec) return {};
  return FromNativePath(p);
}

Result HostFileSystem::SetCurrentDirectory(const std::u16string& dir) {
  std::error_code ec;
  std::filesystem::current_path(NativePath(dir), ec);
  if (ec) return Result::Failure(Status::NotFound, ec.message());
  return {};
}

std::u16string HostFileSystem::JoinPath(const std::u16string& dir,
                                        const std::u16string& file) const {
  std::u16string joined = ToHostSeparators(dir);
  if (joined.empty()) return file;
  constexpr auto kSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
  if (joined.back() != kSeparator) joined.push_back(kSeparator);
  return joined + file;
}

}  // namespace korvath::platform
