#pragma once
// Starting another program, as the About box's system-information button
// does, behind an interface so that tests can see what would be started.

#include <string>

namespace korvath::platform {

class ProgramLauncher {
 public:
  ProgramLauncher() = default;
  ProgramLauncher(const ProgramLauncher&) = delete;
  ProgramLauncher& operator=(const ProgramLauncher&) = delete;
  virtual ~ProgramLauncher() = default;

  // True when a regular file (not a directory) exists at `path`.
  virtual bool IsNormalFile(const std::u16string& path) = 0;
  // Starts the program at `path` without arguments and without waiting for
  // it. False when it could not be started.
  virtual bool Start(const std::u16string& path) = 0;
};

}  // namespace korvath::platform
