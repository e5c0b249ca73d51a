#pragma once
// A stand-in for the clock, so that the splash screen runs without waiting on
// the machine's; the registry and the launcher are in system_info_fakes.h.

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace korvath::testing {

// Plays back `seconds`, one per read. Reading past the end is a fault: it is
// counted, and the clock jumps half a minute a time so that a wait ends.
struct FakeClock final : platform::Clock {
  int SecondOfMinute() override {
    if (reads < seconds.size()) {
      if (onRead) onRead();
      return seconds[reads++];
    }
    return ((seconds.empty() ? 0 : seconds.front()) + 30 * ++overruns) % 60;
  }
  void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
  std::vector<int> seconds;
  std::size_t reads = 0;
  std::function<void()> onRead;  // called before a read is answered
  std::vector<int> sleeps;
  int overruns = 0;
};

}  // namespace korvath::testing
