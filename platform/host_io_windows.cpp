#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/host_io.h"

namespace korvath::platform {
namespace {

bool IsDriveAt(std::string_view s, std::size_t at) {
  return s.size() >= at + 2 && ((s[at] >= 'a' && s[at] <= 'z') || (s[at] >= 'A' && s[at] <= 'Z')) &&
         s[at + 1] == ':';
}

}  // namespace

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

std::size_t ReadStandardInput(char* into, std::size_t most) {
  const int got = _read(0, into, static_cast<unsigned>(most));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::optional<std::string> PathOfFileUri(std::string_view host, std::string path) {
  if (!host.empty() && host != "localhost") path = "//" + std::string(host) + path;
  // "/c:/x" names "C:\x"; the drive letter as the system spells it.
  if (path.front() == '/' && IsDriveAt(path, 1)) {
    path.erase(0, 1);
    if (path[0] >= 'a' && path[0] <= 'z') path[0] = static_cast<char>(path[0] - 32);
  }
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string FileUriPathOf(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  // "C:/x" is "/C:/x"; "//server/x" stays as it is: file://server/x.
  if (IsDriveAt(path, 0)) path.insert(0, 1, '/');
  return path;
}

}  // namespace korvath::platform
