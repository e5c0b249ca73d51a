#include "platform/host_program_launcher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

#include "platform/utf8.h"

// POSIX declares it in no header; glibc does with _GNU_SOURCE.
extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace korvath::platform {

bool HostProgramLauncher::IsNormalFile(const std::u16string& path) {
  struct stat status {};
  return ::stat(FileNameBytesOf(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool HostProgramLauncher::Start(const std::u16string& path) {
  const std::string file = FileNameBytesOf(path);
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

}  // namespace korvath::platform
