#pragma once
// The wall clock as the splash screen uses it, behind an interface so that
// tests can run its timed close without waiting.

namespace korvath::platform {

class Clock {
 public:
  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;
  virtual ~Clock() = default;

  // The second of the current minute, 0 to 59, in local time.
  virtual int SecondOfMinute() = 0;
  // Blocks the calling thread for about `milliseconds`.
  virtual void Sleep(int milliseconds) = 0;
};

}  // namespace korvath::platform
