#pragma once
// A shared library loaded at run time, for the parts of a program that only
// some of its runs need: they and their dependencies are not mapped by the
// runs that never ask for them.

#include <filesystem>

#include "platform/result.h"

namespace korvath::platform {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // Loads the library at `path` with all its symbols bound at once, so that a
  // missing dependency fails here rather than at a call. Unreadable, with the
  // system's reason, when it cannot be loaded.
  Result Open(const std::filesystem::path& path);
  // The address of the exported C symbol `name`; null when it has none or
  // nothing is loaded.
  void* Symbol(const char* name) const;
  bool IsOpen() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace korvath::platform
