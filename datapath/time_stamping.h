// A UTC clock anchored once to the calendar and driven by the millisecond
// timer, so that time stamps never jump with the wall clock and never run
// backwards.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace vf {

// Where the clock gets its readings; tests replace it to step the timer.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual uint32_t TimerMs() { return platform::MultimediaTimerMs(); }
  virtual platform::LocalCalendarTime LocalNow() { return platform::LocalTimeNow(); }
  virtual int64_t LocalMidnightAsUtc(int year, int month, int day) {
    return platform::LocalMidnightAsUtcSeconds(year, month, day);
  }
  virtual int64_t UtcNowMs() { return platform::SystemTimeMs(); }
  static ClockSource& System();
};

}  // namespace vf

class CTimeStamping {
 public:
  // Where the clock is anchored. At the UTC midnight before the
  // synchronisation, no time-zone offset enters the anchor. At local
  // midnight, as the contract has it, the offset in force at midnight is used
  // with the wall-clock time since then, so a synchronisation later on a day
  // the clocks change stamps one hour wrong.
  enum class Anchor { kUtcMidnight, kLocalMidnight };

  explicit CTimeStamping(vf::ClockSource& source = vf::ClockSource::System(), Anchor anchor = Anchor::kUtcMidnight)
      : m_source(source), m_anchor(anchor) {}
  virtual ~CTimeStamping();
  CTimeStamping(const CTimeStamping&) = delete;
  CTimeStamping& operator=(const CTimeStamping&) = delete;

  int32_t Synchronize();
  double GetTime();
  // Synchronises again when the anchor changes.
  void UseAnchor(Anchor anchor);
  // Following, the clock is synchronised again whenever the system's clock
  // and this one differ by more than kWallClockStepMs: a wall clock set after
  // the anchor (by hand, or by NTP after boot) and a timer that wrapped
  // 49.7 days after it are both followed. Not following, the clock keeps its
  // anchor and only never runs backwards.
  void FollowWallClock(bool follow) { m_bFollowWallClock = follow; }
  static constexpr int64_t kWallClockStepMs = 2000;

  uint32_t m_dwMidnightTick = 0;
  uint32_t m_nMidnightUtc = 0;
  double m_dLastTime = 0.0;

 private:
  double TimeSinceAnchor();
  vf::ClockSource& m_source;
  Anchor m_anchor;
  bool m_bFollowWallClock = false;
};
