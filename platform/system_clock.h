#pragma once
// The machine's own clock.

#include "platform/clock.h"

namespace korvath::platform {

class SystemClock final : public Clock {
 public:
  int SecondOfMinute() override;
  void Sleep(int milliseconds) override;
};

}  // namespace korvath::platform
