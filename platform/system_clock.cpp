#include "platform/system_clock.h"

#include "platform/host.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace korvath::platform {

int SystemClock::SecondOfMinute() {
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  // A leap second reads as 60; keep to the documented range.
  return local.tm_sec > 59 ? 59 : local.tm_sec;
}

void SystemClock::Sleep(int milliseconds) {
  if (milliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace korvath::platform
