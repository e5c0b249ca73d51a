#include "platform/absolute_path.h"

#include <filesystem>
#include <system_error>

#include "platform/host.h"

namespace korvath::platform {

std::u16string AbsoluteNormalPath(const std::u16string& path) {
  if (IsAbsoluteNormalPath(path)) return path;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(NativePath(path), ec);
  if (ec) absolute = NativePath(path);
  return FromNativePath(absolute.lexically_normal());
}

}  // namespace korvath::platform
