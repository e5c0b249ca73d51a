#include "platform/host.h"
#include "platform/windows_registry.h"

namespace korvath::platform {

bool SlashIsSeparator() { return false; }

std::u16string ToHostSeparators(std::u16string path) { return path; }

std::filesystem::path NativePath(const std::u16string& path) {
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::u16string DefaultFallbackDirectory() { return u"E:\\Korvath"; }

std::u16string HostSystemName() { return u"Windows NT"; }

std::FILE* OpenForReading(const std::filesystem::path& path) {
  return _wfopen(path.c_str(), L"rb");
}

std::tm LocalTime(std::time_t time) {
  std::tm local{};
  localtime_s(&local, &time);
  return local;
}

std::unique_ptr<Registry> MakeHostRegistry() { return std::make_unique<WindowsRegistry>(); }

}  // namespace korvath::platform
