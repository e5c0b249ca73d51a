#include <cstdlib>

#include "platform/host.h"
#include "platform/null_registry.h"
#include "platform/utf8.h"

namespace korvath::platform {

bool SlashIsSeparator() { return true; }

std::u16string ToHostSeparators(std::u16string path) {
  for (auto& c : path) {
    if (c == u'\\') c = u'/';
  }
  return path;
}

// Through UTF-8 by hand: the library's own conversion throws on an unpaired
// surrogate or an invalid byte, and file names may hold either.
std::filesystem::path NativePath(const std::u16string& path) {
  return std::filesystem::path(ToUtf8(ToHostSeparators(path)));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
  return FromUtf8(path.native());
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

std::FILE* OpenForReading(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "rb");
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

std::unique_ptr<Registry> MakeHostRegistry() { return std::make_unique<NullRegistry>(); }

}  // namespace korvath::platform
