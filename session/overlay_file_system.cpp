#include "session/overlay_file_system.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "platform/host.h"

namespace korvath::session {
namespace {

// Never the identity of a file on disk, so a held file's stamp differs from
// the stamp of the file it hides, and from its own earlier versions.
constexpr std::uint64_t kHeldIdentity = 0xC0DE'0000'0000'0000ULL;

// Whether `path` is absolute and already as lexically_normal leaves it: the
// host's separators only, none doubled or last, no "." or "..". Most paths
// asked about are (the index stats every file of the path each refresh), and
// a round trip through std::filesystem would cost more than the lookup.
bool AlreadyNormal(const std::u16string& path) {
  if (!platform::IsAbsolutePath(path)) return false;
  constexpr auto kSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
  if (kSeparator != u'/' && path.find(u'/') != std::u16string::npos) return false;
  if (path.back() == kSeparator) return false;
  // Every segment after the first separator: not empty, not "." or "..".
  std::size_t begin = path.find(kSeparator);
  if (begin == std::u16string::npos) return false;
  while (begin != std::u16string::npos) {
    const std::size_t end = path.find(kSeparator, begin + 1);
    const std::u16string_view segment = std::u16string_view(path).substr(
        begin + 1, (end == std::u16string::npos ? path.size() : end) - begin - 1);
    if (segment.empty() || segment == u"." || segment == u"..") return false;
    begin = end;
  }
  return true;
}

}  // namespace

std::u16string OverlayFileSystem::Key(const std::u16string& path) {
  if (AlreadyNormal(path)) return path;
  std::filesystem::path p = platform::NativePath(path);
  if (!platform::IsAbsolutePath(path)) {
    p = platform::NativePath(base_.CurrentDirectory()) / p;
  }
  return platform::FromNativePath(p.lexically_normal());
}

void OverlayFileSystem::Set(const std::u16string& path, std::string bytes) {
  held_[Key(path)] = Held{std::move(bytes), ++generation_};
}

void OverlayFileSystem::Remove(const std::u16string& path) { held_.erase(Key(path)); }

bool OverlayFileSystem::Holds(const std::u16string& path) { return held_.count(Key(path)) != 0; }

platform::Result OverlayFileSystem::ReadFile(const std::u16string& path, std::string& bytes) {
  if (!held_.empty()) {
    if (const auto it = held_.find(Key(path)); it != held_.end()) {
      if (it->second.bytes.size() > platform::kMaxFileBytes) {
        return platform::Result::Failure(platform::Status::TooLarge, "larger than 64 MiB");
      }
      bytes = it->second.bytes;
      return {};
    }
  }
  return base_.ReadFile(path, bytes);
}

platform::Result OverlayFileSystem::ListDirectory(const std::u16string& dir,
                                                  std::vector<std::string>& files) {
  platform::Result listed = base_.ListDirectory(dir, files);
  if (listed) AddHeld(dir, files);
  return listed;
}

platform::Result OverlayFileSystem::ListEntries(const std::u16string& dir,
                                                std::vector<std::string>& files,
                                                std::vector<std::string>& folders) {
  platform::Result listed = base_.ListEntries(dir, files, folders);
  if (listed) AddHeld(dir, files);
  return listed;
}

void OverlayFileSystem::AddHeld(const std::u16string& dir, std::vector<std::string>& files) {
  if (held_.empty()) return;
  const std::u16string key = Key(dir);
  for (const auto& [path, held] : held_) {
    const std::filesystem::path p = platform::NativePath(path);
    if (platform::FromNativePath(p.parent_path()) != key) continue;
    std::string name = platform::FileNameBytes(p.filename());
    if (std::find(files.begin(), files.end(), name) == files.end()) {
      files.push_back(std::move(name));
    }
  }
}

platform::Result OverlayFileSystem::StatFile(const std::u16string& path,
                                             platform::FileStamp& stamp) {
  if (!held_.empty()) {
    if (const auto it = held_.find(Key(path)); it != held_.end()) {
      stamp = {it->second.bytes.size(), static_cast<std::int64_t>(it->second.generation),
               kHeldIdentity | it->second.generation};
      return {};
    }
  }
  return base_.StatFile(path, stamp);
}

}  // namespace korvath::session
