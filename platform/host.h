#pragma once
// Conventions of the operating system Korvath runs on. Each system has its
// own implementation file, chosen by the build.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

namespace korvath::platform {

class Registry;

// Whether "/" separates directories in paths the user types or pathdef.m
// holds; "\" always does.
bool SlashIsSeparator();

// Paths as pathdef.m writes them ("\" separators) in this system's form.
std::u16string ToHostSeparators(std::u16string path);

// A path of the engine's text as this system's file functions want it, and
// back; on POSIX byte for byte (as platform::FileNameText decodes names).
std::filesystem::path NativePath(const std::u16string& path);
std::u16string FromNativePath(const std::filesystem::path& path);

// A directory entry's name as the engine keeps it: its bytes on POSIX, UTF-8
// on Windows. As text it is platform::FileNameText of them.
std::string FileNameBytes(const std::filesystem::path& name);

// `name` (as FileNameBytes gives it) in the form in which names that differ
// only in case become equal: ASCII letters lowered on POSIX, where file
// systems distinguish case; on Windows every letter upper-cased as its file
// systems compare names. `key` is reused to spare an allocation per lookup.
void FileNameCaseKey(std::string_view name, std::string& key);

// Whether `path` names a place without the current directory's help: "/x"
// on POSIX; "C:\x", "C:x", "\x" or "\\server\x" on Windows.
bool IsAbsolutePath(std::u16string_view path);

// Whether `path` is absolute and already as lexically_normal would write it,
// in ASCII (so its text and its bytes are one): the common case, which then
// needs no std::filesystem::path. False whenever unsure.
bool IsAbsoluteNormalPath(std::u16string_view path);

// Where the settings are looked for when the current directory has none.
std::u16string DefaultFallbackDirectory();

// The system's name as the splash screen shows it: "Linux", "Windows NT".
std::u16string HostSystemName();

// The running program's own file, links resolved; empty when the system
// cannot tell. Parts a program ships beside itself are found from it.
std::filesystem::path ExecutablePath();

// The regular files of the directory `path` (links followed), and its
// directories when `folders` is given, as FileNameBytes names them, in the
// order the system lists them. NotFound when `path` is no directory;
// Unreadable, with the system's reason, when it cannot be listed.
Result ListFolder(const std::filesystem::path& path, std::vector<std::string>& files,
                  std::vector<std::string>* folders);

// Reads the regular file at `path`, at most `maxBytes` of it, checking what
// was opened rather than the name (which may change in between). Never
// blocks on a FIFO or device.
Result ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                       std::string& bytes);

#ifndef _WIN32
// The rest of the open file `fd` from where it stands, `size` (as fstat gave
// it) read at once, then on to its end; only the bytes read are kept, so a
// file that shrank meanwhile is not padded.
Result ReadOpenFile(int fd, std::uint64_t size, std::uint64_t maxBytes, std::string& bytes);
#endif

// The stamp of the regular file at `path` (NotFound, NotRegularFile).
Result StatRegularFile(const std::filesystem::path& path, FileStamp& stamp);

// `path` opened for writing in binary mode, emptied; null with errno set
// when it cannot be.
std::FILE* OpenFileForWriting(const std::filesystem::path& path);

// The broken-down local time of `time`.
std::tm LocalTime(std::time_t time);

// The machine's registry: the real one on Windows, an empty one elsewhere.
std::unique_ptr<Registry> MakeHostRegistry();

}  // namespace korvath::platform
