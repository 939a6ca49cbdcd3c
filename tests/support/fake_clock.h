// A clock whose true time the test sets: the millisecond timer and the local
// calendar both follow it, with a fixed or changing time-zone offset.
#pragma once

#include <chrono>
#include <cstdint>

#include "datapath/time_stamping.h"

namespace vf::test {

class FakeClock : public vf::ClockSource {
 public:
  int64_t utcMs = 0;            // the true time, milliseconds since 1970 UTC
  int64_t bootUtcMs = 0;        // when the timer read 0
  int64_t zoneOffsetMs = 0;     // local minus UTC
  int64_t wallErrorMs = 0;      // what the system's clock is off by (not yet set by NTP)

  uint32_t TimerMs() override { return static_cast<uint32_t>(utcMs - bootUtcMs); }
  int64_t UtcNowMs() override { return utcMs + wallErrorMs; }
  double UtcSeconds() const { return static_cast<double>(utcMs) / 1000.0; }  // what a time stamp should read

  vf::platform::LocalCalendarTime LocalNow() override {
    using namespace std::chrono;
    const sys_time<milliseconds> local{milliseconds(utcMs + wallErrorMs + zoneOffsetMs)};
    const sys_days day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{local - day};
    return {int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())), int(clock.hours().count()),
            int(clock.minutes().count()), int(clock.seconds().count()), int(clock.subseconds().count())};
  }

  int64_t LocalMidnightAsUtc(int year, int month, int day) override {
    using namespace std::chrono;
    const sys_days midnight{std::chrono::year(year) / month / day};
    return midnight.time_since_epoch().count() * 86400 - zoneOffsetMs / 1000;
  }

  static int64_t UtcMs(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year(year) / month / day};
    return (date.time_since_epoch().count() * 86400 + hour * 3600 + minute * 60 + second) * 1000 + ms;
  }
};

}  // namespace vf::test
