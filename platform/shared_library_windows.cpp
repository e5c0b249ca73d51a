#include <windows.h>

#include <system_error>

#include "platform/shared_library.h"

namespace korvath::platform {

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

Result SharedLibrary::Open(const std::filesystem::path& path) {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  // Its dependencies are looked for beside it first, then where the system
  // looks by default.
  handle_ = LoadLibraryExW(path.c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (handle_ == nullptr) {
    return Result::Failure(Status::Unreadable,
                           std::system_category().message(static_cast<int>(GetLastError())));
  }
  return {};
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace korvath::platform
