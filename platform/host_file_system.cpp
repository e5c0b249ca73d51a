#include "platform/host_file_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/utf8.h"

namespace korvath::platform {
namespace {

std::filesystem::path HostPath(const std::u16string& path) {
  return std::filesystem::path(ToUtf8(ToHostSeparators(path)));
}

}  // namespace

std::u16string ToHostSeparators(std::u16string path) {
#ifndef _WIN32
  for (auto& c : path) {
    if (c == u'\\') c = u'/';
  }
#endif
  return path;
}

std::optional<std::string> HostFileSystem::ReadFile(const std::u16string& path,
                                                    std::string* error) {
  const std::filesystem::path p = HostPath(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) {
    if (error != nullptr) *error = "is a directory";
    return std::nullopt;
  }
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (f == nullptr) {
    if (error != nullptr) *error = std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  const auto size = std::filesystem::file_size(p, ec);
  if (!ec) bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
  bytes.resize(got);
  // The size may have changed since it was asked for: read whatever follows.
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    if (error != nullptr) *error = "read error";
    return std::nullopt;
  }
  return bytes;
}

DirectoryListing HostFileSystem::ListDirectory(const std::u16string& dir) {
  DirectoryListing out;
  const std::filesystem::path p = HostPath(dir.empty() ? std::u16string(u".") : dir);
  std::error_code ec;
  if (!std::filesystem::is_directory(p, ec)) return out;  // Missing
  std::filesystem::directory_iterator it(p, ec);
  if (ec) {
    out.status = DirectoryListing::Status::Unreadable;
    return out;
  }
  out.status = DirectoryListing::Status::Ok;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) {
      out.status = DirectoryListing::Status::Unreadable;
      out.files.clear();
      return out;
    }
    std::error_code typeError;
    if (it->is_regular_file(typeError)) out.files.push_back(it->path().filename().string());
  }
  if (ec) {
    out.status = DirectoryListing::Status::Unreadable;
    out.files.clear();
  }
  return out;
}

std::u16string HostFileSystem::CurrentDirectory() {
  std::error_code ec;
  const auto p = std::filesystem::current_path(ec);
  if (ec) return {};
  return FromUtf8(p.string());
}

bool HostFileSystem::SetCurrentDirectory(const std::u16string& dir) {
  std::error_code ec;
  std::filesystem::current_path(HostPath(dir), ec);
  return !ec;
}

std::u16string HostFileSystem::JoinPath(const std::u16string& dir,
                                        const std::u16string& file) const {
  std::u16string joined = ToHostSeparators(dir);
  if (joined.empty()) return file;
#ifdef _WIN32
  constexpr char16_t kSeparator = u'\\';
#else
  constexpr char16_t kSeparator = u'/';
#endif
  if (joined.back() != kSeparator) joined.push_back(kSeparator);
  return joined + file;
}

}  // namespace korvath::platform
