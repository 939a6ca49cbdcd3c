#include "datapath/time_stamping.h"

#include <cmath>

namespace vf {
ClockSource& ClockSource::System() {
  static ClockSource system;
  return system;
}
}  // namespace vf

CTimeStamping::~CTimeStamping() = default;

// The 1 ms timer resolution is asked for by each run for its duration, not
// here: a resynchronisation must not stack up requests.
int32_t CTimeStamping::Synchronize() {
  const uint32_t timer = m_source.TimerMs();
  m_dLastTime = 0.0;
  if (m_anchor == Anchor::kUtcMidnight) {
    constexpr int64_t kDayMs = 86400 * 1000;
    const int64_t utcMs = m_source.UtcNowMs();
    const int64_t sinceMidnight = ((utcMs % kDayMs) + kDayMs) % kDayMs;
    m_dwMidnightTick = timer - static_cast<uint32_t>(sinceMidnight);
    m_nMidnightUtc = static_cast<uint32_t>((utcMs - sinceMidnight) / 1000);
    return 0;
  }
  const vf::platform::LocalCalendarTime now = m_source.LocalNow();
  const uint32_t since_midnight =
      static_cast<uint32_t>(((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.millisecond);
  m_dwMidnightTick = timer - since_midnight;  // wraps when the system started after midnight
  m_nMidnightUtc = static_cast<uint32_t>(m_source.LocalMidnightAsUtc(now.year, now.month, now.day));
  return 0;
}

void CTimeStamping::UseAnchor(Anchor anchor) {
  if (anchor == m_anchor) return;
  m_anchor = anchor;
  Synchronize();
}

double CTimeStamping::TimeSinceAnchor() {
  const uint32_t elapsed = m_source.TimerMs() - m_dwMidnightTick;
  return static_cast<double>(elapsed) / 1000.0 + static_cast<double>(m_nMidnightUtc);
}

double CTimeStamping::GetTime() {
  double time = TimeSinceAnchor();
  const auto stepped = [&] {
    return std::fabs(static_cast<double>(m_source.UtcNowMs()) - time * 1000.0) > static_cast<double>(kWallClockStepMs);
  };
  // The timer wrapped, the anchor was disturbed, or the wall clock stepped.
  if (m_dLastTime > time || (m_bFollowWallClock && stepped())) {
    Synchronize();
    time = TimeSinceAnchor();
  }
  m_dLastTime = time;
  return time;
}
