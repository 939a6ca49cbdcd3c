// Clocks: millisecond tick counters, the calendar and time-zone conversion.
#pragma once

#include <cstdint>

namespace vf::platform {

struct LocalCalendarTime {
  int year, month, day;  // month 1..12
  int hour, minute, second, millisecond;
};

// Milliseconds since system start, 32 bits, wrapping (the multimedia timer).
uint32_t MultimediaTimerMs();
// Requests and ends a 1 ms timer resolution.
void BeginTimerResolution();
void EndTimerResolution();
// Milliseconds since system start, 32 bits, wrapping (the coarse tick count).
uint32_t TickCountMs();

LocalCalendarTime LocalTimeNow();
// Seconds since 1970-01-01 UTC of local midnight that begins the given date,
// with the daylight-saving rule in force on that date.
int64_t LocalMidnightAsUtcSeconds(int year, int month, int day);

// Seconds since 1970-01-01 UTC, whole milliseconds.
double SystemTimeSeconds();
// Milliseconds since 1970-01-01 UTC.
int64_t SystemTimeMs();
// Whole seconds since 1970-01-01 UTC.
int64_t CalendarTimeSeconds();

void SleepMs(uint32_t milliseconds);

}  // namespace vf::platform
