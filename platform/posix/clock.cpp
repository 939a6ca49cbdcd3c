#include "clock.h"
#include "native_calls.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace vf::platform {

static uint32_t MonotonicMs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

uint32_t native::MultimediaTimerMs() { return MonotonicMs(CLOCK_MONOTONIC); }
void BeginTimerResolution() {}  // the monotonic clock already has millisecond resolution
void EndTimerResolution() {}
// Coarse, as the Windows tick count is (10 to 16 ms there, a few ms here),
// and so cheap that deadlines may read it freely.
uint32_t native::TickCountMs() { return MonotonicMs(CLOCK_MONOTONIC_COARSE); }

LocalCalendarTime LocalTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return LocalCalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min,         local.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}

int64_t LocalMidnightAsUtcSeconds(int year, int month, int day) {
  tm midnight{};
  midnight.tm_year = year - 1900;
  midnight.tm_mon = month - 1;
  midnight.tm_mday = day;
  midnight.tm_isdst = -1;  // let the zone's rule for that date decide
  return static_cast<int64_t>(mktime(&midnight));
}

int64_t SystemTimeMs() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count());
}

double SystemTimeSeconds() { return static_cast<double>(SystemTimeMs()) / 1000.0; }

int64_t CalendarTimeSeconds() { return static_cast<int64_t>(time(nullptr)); }

void native::SleepMs(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace vf::platform
