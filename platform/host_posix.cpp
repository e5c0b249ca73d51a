#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/host.h"
#include "platform/null_registry.h"
#include "platform/utf8.h"

namespace korvath::platform {

std::FILE* OpenFileForWriting(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "wb");
}

bool SlashIsSeparator() { return true; }

std::u16string ToHostSeparators(std::u16string path) {
  for (auto& c : path) {
    if (c == u'\\') c = u'/';
  }
  return path;
}

// By hand, not through the library's conversion, which throws on an
// invalid byte; and byte for byte, "\" included, which is a plain character
// in a POSIX name (only pathdef.m's entries have it as a separator).
std::filesystem::path NativePath(const std::u16string& path) {
  return std::filesystem::path(FileNameBytesOf(path));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
  return FileNameText(path.native());
}

std::string FileNameBytes(const std::filesystem::path& name) { return name.native(); }

void FileNameCaseKey(std::string_view name, std::string& key) {
  key.assign(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

bool IsAbsolutePath(std::u16string_view path) { return !path.empty() && path.front() == u'/'; }

bool IsAbsoluteNormalPath(std::u16string_view path) {
  // "/" first and never last, no empty, "." or ".." part.
  if (path.size() < 2 || path.front() != u'/' || path.back() == u'/') return false;
  std::size_t partStart = 1;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] >= 0x80) return false;
    if (i == path.size() || path[i] == u'/') {
      const std::u16string_view part = path.substr(partStart, i - partStart);
      if (part.empty() || part == u"." || part == u"..") return false;
      partStart = i + 1;
    }
  }
  return true;
}

std::u16string DefaultFallbackDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return FromUtf8(config) + u"/korvath";
  const char* home = std::getenv("HOME");
  return FromUtf8(home != nullptr ? home : "") + u"/.config/korvath";
}

std::u16string HostSystemName() {
#if defined(__APPLE__)
  return u"macOS";
#elif defined(__linux__)
  return u"Linux";
#elif defined(__FreeBSD__)
  return u"FreeBSD";
#else
  return u"Unix";
#endif
}

std::filesystem::path ExecutablePath() {
#if defined(__linux__)
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self;
#endif
  return {};
}

Result ListFolder(const std::filesystem::path& path, std::vector<std::string>& files,
                  std::vector<std::string>* folders) {
  files.clear();
  if (folders != nullptr) folders->clear();
  DIR* const dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    const int error = errno;
    // Only a directory that is there is unreadable; anything else, a parent
    // that cannot be searched included, is no directory.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
      return Result::Failure(Status::NotFound, "no such directory");
    }
    return Result::Failure(Status::Unreadable, std::generic_category().message(error));
  }
  struct DirCloser {
    DIR* dir;
    ~DirCloser() { ::closedir(dir); }
  } closer{dir};
  const int dirFd = ::dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    // The type the directory gives spares a stat per entry; a link, or a file
    // system that gives none, is followed to what it names. An entry that
    // cannot be looked at is left out.
    unsigned char type = entry->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat status {};
      if (::fstatat(dirFd, name, &status, 0) != 0) continue;
      type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG) {
      files.emplace_back(name);
    } else if (type == DT_DIR && folders != nullptr) {
      folders->emplace_back(name);
    }
  }
  if (errno != 0) {
    const int error = errno;
    files.clear();
    if (folders != nullptr) folders->clear();
    return Result::Failure(Status::Unreadable, std::generic_category().message(error));
  }
  return {};
}

namespace {

Result TooLargeToRead(std::uint64_t maxBytes) {
  return Result::Failure(Status::TooLarge,
                         "larger than " + std::to_string(maxBytes >> 20) + " MiB");
}

}  // namespace

Result ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                       std::string& bytes) {
  bytes.clear();
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return Result::Failure(
        error == ENOENT || error == ENOTDIR ? Status::NotFound : Status::Unreadable,
        std::generic_category().message(error));
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    return Result::Failure(Status::Unreadable, std::generic_category().message(errno));
  }
  if (S_ISDIR(status.st_mode)) return Result::Failure(Status::NotRegularFile, "is a directory");
  if (!S_ISREG(status.st_mode))
    return Result::Failure(Status::NotRegularFile, "not a regular file");
  if (static_cast<std::uint64_t>(status.st_size) > maxBytes) return TooLargeToRead(maxBytes);
  return ReadOpenFile(fd, static_cast<std::uint64_t>(status.st_size), maxBytes, bytes);
}

Result ReadOpenFile(int fd, std::uint64_t size, std::uint64_t maxBytes, std::string& bytes) {
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t used = 0;
  // Read to the size fstat gave, then on in small steps through a buffer of
  // its own: the end is found without growing (and copying) the whole file,
  // and a file that grew meanwhile is read up to one byte past the cap.
  char more[4096];
  for (;;) {
    const bool atSize = used == bytes.size();
    const ssize_t n = atSize ? ::read(fd, more, sizeof more)
                             : ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      bytes.clear();
      return Result::Failure(Status::Unreadable, std::generic_category().message(error));
    }
    if (n == 0) break;
    if (atSize) bytes.append(more, static_cast<std::size_t>(n));
    used += static_cast<std::size_t>(n);
    if (used > maxBytes) {
      bytes.clear();
      return TooLargeToRead(maxBytes);
    }
  }
  bytes.resize(used);  // a file that shrank since fstat ends where the reads ended
  return {};
}

Result StatRegularFile(const std::filesystem::path& path, FileStamp& stamp) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return Result::Failure(
        errno == ENOENT || errno == ENOTDIR ? Status::NotFound : Status::Unreadable,
        std::generic_category().message(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    return Result::Failure(Status::NotRegularFile, "not a regular file");
  }
  const auto ns = [](const timespec& t) {
    return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
  };
  stamp = FileStamp{static_cast<std::uint64_t>(status.st_size), ns(status.st_mtim),
                    static_cast<std::uint64_t>(status.st_ino), ns(status.st_ctim)};
  return {};
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

std::unique_ptr<Registry> MakeHostRegistry() { return std::make_unique<NullRegistry>(); }

}  // namespace korvath::platform
