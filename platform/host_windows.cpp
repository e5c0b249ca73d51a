#include "platform/host.h"

#include <windows.h>

#include <algorithm>

#include "platform/utf8.h"

namespace korvath::platform {

std::FILE* OpenFileForWriting(const std::filesystem::path& path) {
  return _wfopen(path.c_str(), L"wb");
}

bool SlashIsSeparator() { return false; }

std::u16string ToHostSeparators(std::u16string path) { return path; }

std::filesystem::path NativePath(const std::u16string& path) {
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::string FileNameBytes(const std::filesystem::path& name) {
  return ToUtf8(FromNativePath(name));
}

// The invariant locale's upper case, which is what NTFS and FAT compare.
void FileNameCaseKey(std::string_view name, std::string& key) {
  std::u16string wide = FromUtf8(name);
  if (!wide.empty()) {
    auto* units = reinterpret_cast<wchar_t*>(wide.data());
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units, static_cast<int>(wide.size()),
                  units, static_cast<int>(wide.size()), nullptr, nullptr, 0);
  }
  key = ToUtf8(wide);
}

// A drive letter counts even without a separator after it: "C:x" does not
// depend on the folder that was current when the settings were read.
bool IsAbsolutePath(std::u16string_view path) {
  if (!path.empty() && (path.front() == u'\\' || path.front() == u'/')) return true;
  return path.size() >= 2 && path[1] == u':' &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

// Drive letters, both separators and UNC names: always the long way.
bool IsAbsoluteNormalPath(std::u16string_view) { return false; }

std::u16string DefaultFallbackDirectory() { return u"E:\\Korvath"; }

std::u16string HostSystemName() { return u"Windows NT"; }

std::filesystem::path ExecutablePath() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name);
    }
    name.resize(name.size() * 2);  // cut short: a longer path
  }
}

Result ListFolder(const std::filesystem::path& path, std::vector<std::string>& files,
                  std::vector<std::string>* folders) {
  files.clear();
  if (folders != nullptr) folders->clear();
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) {
    return Result::Failure(Status::NotFound, "no such directory");
  }
  std::filesystem::directory_iterator it(path, ec);
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) {
      files.push_back(FileNameBytes(it->path().filename()));
    } else if (folders != nullptr && it->is_directory(typeError)) {
      folders->push_back(FileNameBytes(it->path().filename()));
    }
  }
  if (ec) {
    files.clear();
    if (folders != nullptr) folders->clear();
    return Result::Failure(Status::Unreadable, ec.message());
  }
  return {};
}

Result ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                       std::string& bytes) {
  bytes.clear();
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return Result::Failure(Status::NotFound, "no such file");
    }
    if (error == ERROR_ACCESS_DENIED && std::filesystem::is_directory(path)) {
      return Result::Failure(Status::NotRegularFile, "is a directory");
    }
    return Result::Failure(Status::Unreadable, "cannot open (error " + std::to_string(error) + ")");
  }
  struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() { CloseHandle(handle); }
  } closer{file};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    return Result::Failure(Status::NotRegularFile, "not a regular file");
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return Result::Failure(Status::Unreadable, "cannot size");
  if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    return Result::Failure(Status::TooLarge,
                           "larger than " + std::to_string(maxBytes >> 20) + " MiB");
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t used = 0;
  while (used < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - used, 1u << 30));
    if (!ReadFile(file, bytes.data() + used, want, &got, nullptr)) {
      bytes.clear();
      return Result::Failure(Status::Unreadable, "read error");
    }
    if (got == 0) break;
    used += got;
  }
  bytes.resize(used);
  return {};
}

Result StatRegularFile(const std::filesystem::path& path, FileStamp& stamp) {
  // No access rights asked for: the attributes can be read even of a file
  // another program holds open for writing.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE file = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Result::Failure(Status::NotFound, "cannot open");
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  const bool got = GetFileInformationByHandle(file, &info) != 0 &&
                   GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) != 0;
  CloseHandle(file);
  if (!got) return Result::Failure(Status::Unreadable, "cannot read its attributes");
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Result::Failure(Status::NotRegularFile, "is a directory");
  }
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  // FILETIME counts 100 ns steps from 1601; in nanoseconds that overflows
  // 64 bits, so count from the Unix epoch as POSIX does.
  const auto unixNs = [](std::int64_t fileTime) {
    constexpr std::int64_t kUnixEpoch = 116444736000000000;
    return (fileTime - kUnixEpoch) * 100;
  };
  stamp =
      FileStamp{join(info.nFileSizeHigh, info.nFileSizeLow),
                unixNs(static_cast<std::int64_t>(
                    join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))),
                join(info.nFileIndexHigh, info.nFileIndexLow), unixNs(basic.ChangeTime.QuadPart)};
  return {};
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_s(&local, &time);
  return local;
}

}  // namespace korvath::platform
