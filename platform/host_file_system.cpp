#include "platform/host_file_system.h"

#include <filesystem>
#include <system_error>

#include "platform/host.h"

namespace korvath::platform {

HostFileSystem::HostFileSystem() {
  std::error_code ec;
  folder_ = std::filesystem::current_path(ec);
}

HostFileSystem::HostFileSystem(const std::u16string& folder) : HostFileSystem() {
  // Documented: a folder that is not there leaves it in the process's.
  static_cast<void>(SetCurrentDirectory(folder));
}

std::filesystem::path HostFileSystem::Resolve(const std::u16string& path) const {
  std::filesystem::path p = NativePath(path);
  // An absolute path replaces the folder; "\x" on Windows keeps its drive.
  return p.is_absolute() || folder_.empty() ? p : folder_ / p;
}

Result HostFileSystem::ReadFile(const std::u16string& path, std::string& bytes) {
  return ReadRegularFile(Resolve(path), kMaxFileBytes, bytes);
}

Result HostFileSystem::List(const std::u16string& dir, std::vector<std::string>& files,
                            std::vector<std::string>* folders) const {
  return ListFolder(dir.empty() ? folder_ : Resolve(dir), files, folders);
}

Result HostFileSystem::ListDirectory(const std::u16string& dir, std::vector<std::string>& files) {
  return List(dir, files, nullptr);
}

Result HostFileSystem::ListEntries(const std::u16string& dir, std::vector<std::string>& files,
                                   std::vector<std::string>& folders) {
  return List(dir, files, &folders);
}

Result HostFileSystem::StatFile(const std::u16string& path, FileStamp& stamp) {
  return StatRegularFile(Resolve(path), stamp);
}

std::u16string HostFileSystem::CurrentDirectory() { return FromNativePath(folder_); }

Result HostFileSystem::SetCurrentDirectory(const std::u16string& dir) {
  std::error_code ec;
  const std::filesystem::path resolved = Resolve(dir);
  if (!std::filesystem::is_directory(resolved, ec)) {
    return Result::Failure(Status::NotFound, ec ? ec.message() : "no such directory");
  }
  std::filesystem::path canonical = std::filesystem::canonical(resolved, ec);
  if (ec) return Result::Failure(Status::NotFound, ec.message());
  folder_ = std::move(canonical);
  return {};
}

std::u16string HostFileSystem::JoinPath(const std::u16string& dir,
                                        const std::u16string& file) const {
  if (dir.empty()) return file;
  constexpr auto kSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
  // Made at its size at once: the MATLAB mode joins a path for each name
  // it finds.
  std::u16string joined;
  joined.reserve(dir.size() + 1 + file.size());
  joined = dir;
  if (joined.back() != kSeparator) joined.push_back(kSeparator);
  joined += file;
  return joined;
}

}  // namespace korvath::platform
