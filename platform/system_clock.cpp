#include "platform/system_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace korvath::platform {

int SystemClock::SecondOfMinute() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  // A leap second reads as 60; keep to the documented range.
  return local.tm_sec > 59 ? 59 : local.tm_sec;
}

void SystemClock::Sleep(int milliseconds) {
  if (milliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace korvath::platform
