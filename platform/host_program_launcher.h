#pragma once
// Starts programs on the machine Korvath runs on. Paths are used exactly as
// given: no search of PATH, no change of separators.

#include "platform/program_launcher.h"

namespace korvath::platform {

class HostProgramLauncher final : public ProgramLauncher {
 public:
  bool IsNormalFile(const std::u16string& path) override;
  bool Start(const std::u16string& path) override;
};

}  // namespace korvath::platform
