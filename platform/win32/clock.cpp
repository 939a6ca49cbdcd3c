#include "clock.h"
#include "native_calls.h"

#include <windows.h>
#include <mmsystem.h>

namespace vf::platform {

uint32_t native::MultimediaTimerMs() { return timeGetTime(); }
void BeginTimerResolution() { timeBeginPeriod(1); }
void EndTimerResolution() { timeEndPeriod(1); }
uint32_t native::TickCountMs() { return GetTickCount(); }

LocalCalendarTime LocalTimeNow() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return LocalCalendarTime{local.wYear, local.wMonth,  local.wDay,         local.wHour,
                           local.wMinute, local.wSecond, local.wMilliseconds};
}

namespace {

constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000;  // 1970-01-01 in 100 ns since 1601

int64_t FileTimeTicks(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

int64_t LocalMidnightAsUtcSeconds(int year, int month, int day) {
  SYSTEMTIME midnight{};
  midnight.wYear = static_cast<WORD>(year);
  midnight.wMonth = static_cast<WORD>(month);
  midnight.wDay = static_cast<WORD>(day);
  SYSTEMTIME utc{};
  FILETIME asFileTime{};
  // The zone's rule for that date decides the offset.
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &midnight, &utc) || !SystemTimeToFileTime(&utc, &asFileTime)) {
    return 0;
  }
  return (FileTimeTicks(asFileTime) - kFileTimeOfUnixEpoch) / kFileTimeTicksPerSecond;
}

int64_t SystemTimeMs() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (FileTimeTicks(now) - kFileTimeOfUnixEpoch) / 10000;
}

double SystemTimeSeconds() { return static_cast<double>(SystemTimeMs()) / 1000.0; }

int64_t CalendarTimeSeconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (FileTimeTicks(now) - kFileTimeOfUnixEpoch) / kFileTimeTicksPerSecond;
}

void native::SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace vf::platform
