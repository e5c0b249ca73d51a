#include "platform/host_program_launcher.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

#include "platform/utf8.h"

extern char** environ;
#endif

namespace korvath::platform {

#ifdef _WIN32

namespace {
const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
}  // namespace

bool HostProgramLauncher::IsNormalFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool HostProgramLauncher::Start(const std::u16string& path) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(Wide(path), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

#else

bool HostProgramLauncher::IsNormalFile(const std::u16string& path) {
  struct stat status {};
  return ::stat(ToUtf8(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool HostProgramLauncher::Start(const std::u16string& path) {
  const std::string file = ToUtf8(path);
  char* argv[] = {const_cast<char*>(file.c_str()), nullptr};
  pid_t child = 0;
  // posix_spawn reports a failed exec as its result, so a path that is not
  // a program fails here rather than in the child.
  if (::posix_spawn(&child, file.c_str(), nullptr, nullptr, argv, environ) != 0) {
    return false;
  }
  // Nobody waits for the program, but its exit status must be collected or
  // it stays behind as a zombie until Korvath ends.
  std::thread([child] {
    int status = 0;
    while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
  }).detach();
  return true;
}

#endif

}  // namespace korvath::platform
