#include <dlfcn.h>

#include "platform/shared_library.h"

namespace korvath::platform {

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

Result SharedLibrary::Open(const std::filesystem::path& path) {
  if (handle_ != nullptr) ::dlclose(handle_);
  // RTLD_LOCAL: its symbols (and those of the libraries it brings) stay out of
  // the program's own lookups.
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    return Result::Failure(Status::Unreadable, why != nullptr ? why : "cannot be loaded");
  }
  return {};
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace korvath::platform
