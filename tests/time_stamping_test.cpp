// The anchored clock: midnight anchor, wrap of the 32-bit timer, and no jumps.
#include <gtest/gtest.h>

#include "plugin/time_stamping.h"
#include "support/fake_clock.h"

namespace {

using vf::test::FakeClock;

TEST(TimeStamping, AnchorsAtLocalMidnight) {
  FakeClock clock;
  clock.zoneOffsetMs = 3600 * 1000;  // UTC+1, no daylight saving
  clock.bootUtcMs = FakeClock::UtcMs(2026, 1, 9, 8, 0, 0);
  clock.utcMs = FakeClock::UtcMs(2026, 1, 9, 23, 0, 0, 500);  // 00:00:00.500 on the 10th, local
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  EXPECT_EQ(stamping.m_dwMidnightTick, clock.TimerMs() - 500);
  EXPECT_EQ(stamping.m_nMidnightUtc, FakeClock::UtcMs(2026, 1, 9, 23, 0, 0) / 1000) << "23:00 UTC of the 9th";
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.utcMs / 1000.0);
}

TEST(TimeStamping, AnchorWrapsWhenTheSystemStartedAfterMidnight) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 3, 1, 10, 0, 0);
  clock.bootUtcMs = clock.utcMs - 1000;  // started one second ago
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  EXPECT_EQ(stamping.m_dwMidnightTick, static_cast<uint32_t>(1000 - 10 * 3600 * 1000));
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.utcMs / 1000.0);
}

// Across midnight and the days after it, without synchronising again.
TEST(TimeStamping, NonDecreasingInMillisecondStepsAcrossDays) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 6, 1, 23, 59, 59);
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  const uint32_t anchor = stamping.m_dwMidnightTick;
  double previous = stamping.GetTime();
  for (int step = 0; step < 2000; ++step) {
    clock.utcMs += step % 3;
    const double now = stamping.GetTime();
    EXPECT_GE(now, previous);
    EXPECT_DOUBLE_EQ(now, clock.utcMs / 1000.0);
    previous = now;
  }
  clock.utcMs += 3LL * 86400 * 1000;
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.utcMs / 1000.0);
  EXPECT_EQ(stamping.m_dwMidnightTick, anchor) << "no re-synchronisation at midnight";
}

TEST(TimeStamping, TimerWrapResynchronisesInsteadOfGoingBack) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 6, 1, 0, 0, 0, 250);
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  const int64_t start = clock.utcMs;
  clock.utcMs = start + 4294967295LL - 1000;  // just before the anchor's 2^32 ms
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.utcMs / 1000.0);
  clock.utcMs = start + 4294967296LL + 5000;  // past it: the difference wrapped
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.utcMs / 1000.0) << "not 49.7 days too early";
  EXPECT_NE(stamping.m_dLastTime, 0.0);
}

TEST(TimeStamping, DaylightSavingChangeCausesNoJump) {
  FakeClock clock;
  clock.zoneOffsetMs = 3600 * 1000;
  clock.utcMs = FakeClock::UtcMs(2026, 3, 29, 0, 30, 0);
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  const double before = stamping.GetTime();
  clock.zoneOffsetMs = 7200 * 1000;  // clocks go forward
  clock.utcMs += 60 * 60 * 1000;
  EXPECT_DOUBLE_EQ(stamping.GetTime() - before, 3600.0);
}

}  // namespace
