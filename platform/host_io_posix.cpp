#include <unistd.h>

#include <cerrno>

#include "platform/host_io.h"

namespace korvath::platform {

void UseBinaryStandardStreams() {}

std::size_t ReadStandardInput(char* into, std::size_t most) {
  while (true) {
    const ssize_t got = read(0, into, most);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

std::optional<std::string> PathOfFileUri(std::string_view host, std::string path) {
  if (!host.empty() && host != "localhost") return std::nullopt;
  return path;
}

std::string FileUriPathOf(std::string path) { return path; }

}  // namespace korvath::platform
