// The target record as the host receives it: copy, time stamps, delivery;
// and the anchored clock that stamps it.
#include <gtest/gtest.h>

#include <cmath>

#include <tuple>

#include "ais/decoders.h"
#include "platform/clock.h"
#include "datapath/record_delivery.h"
#include "datapath/time_stamping.h"
#include "support/fake_clock.h"
#include "support/record_sink.h"
#include "vf_system.h"

namespace {

constexpr const char* kPositionReport = "139>Jh501sOcIa0MqLt1j?wp0000";

TEST(TargetRecord, CloneCopiesEverythingButBit28OfTheDeviceId) {
  const auto numbers = [](CRawDataAis& r) {
    return std::tie(r.m_nContents, r.m_nDeviceId, r.m_dTime, r.m_dTimeOffset, r.m_nMMSI, r.m_nTimeReceived,
                    r.m_nShipType, r.m_nNavStatus, r.m_nClass, r.m_dLatitude, r.m_dLongitude, r.m_dSpeed, r.m_dCourse,
                    r.m_dToBow, r.m_dToStern, r.m_dToPort, r.m_dToStarboard);
  };
  const auto texts = [](const CRawDataAis& r) {
    return std::tuple(r.m_strCallSign.View(), r.m_strName.View(), r.m_strDestination.View());
  };
  CRawDataAis source;
  numbers(source) = std::tuple(kContentsStaticVoyage, 0x10000005, 1700000000.5, -0.25, 211000000u, 1700000000, 70, 5,
                               kClassA, 52.25, -4.5, 12.3, 45.6, 100.0, 20.0, 5.0, 10.0);
  source.m_strCallSign = std::u16string(u"PD1234\0", 7);
  source.m_strName = u"NORTHERN STAR";
  source.m_strDestination = u"ROTTERDAM";

  std::unique_ptr<CRawData> copy(source.Clone());
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->m_nType, RAW_DATA_TYPE_AIS);
  auto& c = static_cast<CRawDataAis&>(*copy);
  EXPECT_EQ(c.m_nDeviceId, 0x00000005);
  c.m_nDeviceId = source.m_nDeviceId;
  EXPECT_EQ(numbers(c), numbers(source));
  EXPECT_EQ(texts(c), texts(source));
  c.m_strName.Append(u" II");  // copy on write
  EXPECT_EQ(source.m_strName.View(), u"NORTHERN STAR");
  EXPECT_EQ(CRawData().Clone(), nullptr) << "a base record clones to nothing";
}

class Delivery : public testing::Test {
 protected:
  Delivery() : m_timeStamping(m_clock) { m_timeStamping.Synchronize(); }

  void Deliver(CTimeStamping* clock, HostWindow window) {
    vf::DeliverRecord(vf::ais::DecodeAisPayload(kPositionReport), window, clock, m_pass);
  }

  vf::test::FakeClock m_clock;
  CTimeStamping m_timeStamping;
  vf::test::RecordSink m_sink;
  vf::PassSettings m_pass;
};

TEST_F(Delivery, StampsTimeOffsetAndDeviceId) {
  m_clock.utcMs = 1700000060000;
  m_timeStamping.Synchronize();
  m_pass.timeOffsetMs = -250;
  m_pass.deviceId = 0x10000007;
  const int64_t before = vf::platform::CalendarTimeSeconds();
  Deliver(&m_timeStamping, m_sink.Window());
  auto records = m_sink.TakeAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_DOUBLE_EQ(records[0]->m_dTimeOffset, -0.25);
  EXPECT_DOUBLE_EQ(records[0]->m_dTime, 1700000059.75);
  EXPECT_EQ(records[0]->m_nDeviceId, 0x10000007);
  EXPECT_EQ(records[0]->m_nContents, kContentsPosition);
  EXPECT_GE(records[0]->m_nTimeReceived, static_cast<int32_t>(before));

  Deliver(nullptr, m_sink.Window());  // without a clock the time is 0, the offset still there
  records = m_sink.TakeAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->m_dTime, 0.0);
  EXPECT_DOUBLE_EQ(records[0]->m_dTimeOffset, -0.25);
}

TEST_F(Delivery, WithoutAWindowOrWithAGoneOneNothingIsPostedOrLeaked) {
  HostWindow gone = VfCreateWindow(u"gone");
  VfDestroyWindow(gone);
  Deliver(&m_timeStamping, gone);
  Deliver(&m_timeStamping, nullptr);
  EXPECT_TRUE(m_sink.TakeAll().empty());
}

// --- the anchored clock: midnight anchor, wrap of the 32-bit timer, no jumps 

using vf::test::FakeClock;
using Anchor = CTimeStamping::Anchor;

// 00:00:00.500 on the 10th in a zone at UTC+1 without daylight saving.
FakeClock HalfASecondPastLocalMidnight() {
  FakeClock clock;
  clock.zoneOffsetMs = 3600 * 1000;
  clock.bootUtcMs = FakeClock::UtcMs(2026, 1, 9, 8, 0, 0);
  clock.utcMs = FakeClock::UtcMs(2026, 1, 9, 23, 0, 0, 500);
  return clock;
}

TEST(TimeStamping, AnchorsAtLocalMidnightWhenAskedTo) {
  FakeClock clock = HalfASecondPastLocalMidnight();
  CTimeStamping stamping(clock, Anchor::kLocalMidnight);
  stamping.Synchronize();
  EXPECT_EQ(stamping.m_dwMidnightTick, clock.TimerMs() - 500);
  EXPECT_EQ(stamping.m_nMidnightUtc, FakeClock::UtcMs(2026, 1, 9, 23, 0, 0) / 1000) << "23:00 UTC of the 9th";
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds());
}

TEST(TimeStamping, AnchorsAtUtcMidnightByDefault) {
  FakeClock clock = HalfASecondPastLocalMidnight();
  CTimeStamping stamping(clock);
  stamping.Synchronize();
  EXPECT_EQ(stamping.m_dwMidnightTick, clock.TimerMs() - (23 * 3600 * 1000 + 500));
  EXPECT_EQ(stamping.m_nMidnightUtc, FakeClock::UtcMs(2026, 1, 9, 0, 0, 0) / 1000) << "00:00 UTC of the 9th";
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds());
  stamping.UseAnchor(Anchor::kLocalMidnight);
  EXPECT_EQ(stamping.m_nMidnightUtc, FakeClock::UtcMs(2026, 1, 9, 23, 0, 0) / 1000) << "a new anchor synchronises";
}

class TimeStampingAnchors : public testing::TestWithParam<Anchor> {};

TEST_P(TimeStampingAnchors, AnchorWrapsWhenTheSystemStartedAfterMidnight) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 3, 1, 10, 0, 0);
  clock.bootUtcMs = clock.utcMs - 1000;  // started one second ago
  CTimeStamping stamping(clock, GetParam());
  stamping.Synchronize();
  EXPECT_EQ(stamping.m_dwMidnightTick, static_cast<uint32_t>(1000 - 10 * 3600 * 1000));
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds());
}

// Across midnight and the days after it, without synchronising again.
TEST_P(TimeStampingAnchors, NonDecreasingInMillisecondStepsAcrossDays) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 6, 1, 23, 59, 59);
  CTimeStamping stamping(clock, GetParam());
  stamping.Synchronize();
  const uint32_t anchor = stamping.m_dwMidnightTick;
  double previous = stamping.GetTime();
  for (int step = 0; step < 2000; ++step) {
    clock.utcMs += step % 3;
    const double now = stamping.GetTime();
    EXPECT_GE(now, previous);
    EXPECT_DOUBLE_EQ(now, clock.UtcSeconds());
    previous = now;
  }
  clock.utcMs += 3LL * 86400 * 1000;
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds());
  EXPECT_EQ(stamping.m_dwMidnightTick, anchor) << "no re-synchronisation at midnight";
}

TEST_P(TimeStampingAnchors, TimerWrapResynchronisesInsteadOfGoingBack) {
  FakeClock clock;
  clock.utcMs = FakeClock::UtcMs(2026, 6, 1, 0, 0, 0, 250);
  CTimeStamping stamping(clock, GetParam());
  stamping.Synchronize();
  const int64_t start = clock.utcMs;
  clock.utcMs = start + 4294967295LL - 1000;  // just before the anchor's 2^32 ms
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds());
  clock.utcMs = start + 4294967296LL + 5000;  // past it: the difference wrapped
  EXPECT_DOUBLE_EQ(stamping.GetTime(), clock.UtcSeconds()) << "not 49.7 days too early";
  EXPECT_NE(stamping.m_dLastTime, 0.0);
}

TEST_P(TimeStampingAnchors, DaylightSavingChangeCausesNoJump) {
  FakeClock clock;
  clock.zoneOffsetMs = 3600 * 1000;
  clock.utcMs = FakeClock::UtcMs(2026, 3, 29, 0, 30, 0);
  CTimeStamping stamping(clock, GetParam());
  stamping.Synchronize();
  const double before = stamping.GetTime();
  clock.zoneOffsetMs = 7200 * 1000;  // clocks go forward
  clock.utcMs += 60 * 60 * 1000;
  EXPECT_DOUBLE_EQ(stamping.GetTime() - before, 3600.0);
}

// Following the system's clock (the default), stamps are right after it was
// set late and when the plug-in starts long after the clock was anchored;
// without (the contract's clock), they keep the anchor's error.
TEST(TimeStamping, FollowingTheSystemClockMendsWhatTheAnchorGotWrong) {
  constexpr int64_t kDayMs = 86400 * 1000;
  const struct Case {
    const char* what;
    int64_t wallErrorAtAnchorMs;
    int64_t laterMs;  // from the anchor to the stamp
  } cases[] = {
      {"the clock set by NTP an hour later after the anchor", -3600 * 1000, 10},
      {"the clock set back by a minute", 60 * 1000, 5000},
      {"a start 50 days after the load", 0, 50 * kDayMs},
  };
  for (const Case& c : cases) {
    for (const bool follow : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (follow ? ", following" : ", anchored"));
      FakeClock clock;
      clock.utcMs = FakeClock::UtcMs(2026, 6, 1, 12, 0, 0);
      clock.wallErrorMs = c.wallErrorAtAnchorMs;
      CTimeStamping stamping(clock);
      stamping.FollowWallClock(follow);
      stamping.Synchronize();
      clock.utcMs += c.laterMs;
      clock.wallErrorMs = 0;
      const double error = stamping.GetTime() - clock.UtcSeconds();
      if (follow) {
        EXPECT_DOUBLE_EQ(error, 0.0);
      } else {
        EXPECT_GT(std::fabs(error), 2.0);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Both, TimeStampingAnchors, testing::Values(Anchor::kUtcMidnight, Anchor::kLocalMidnight),
                         [](const testing::TestParamInfo<Anchor>& anchor) {
                           return anchor.param == Anchor::kUtcMidnight ? "Utc" : "Local";
                         });

}  // namespace
