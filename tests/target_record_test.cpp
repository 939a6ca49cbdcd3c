// The target record as the host receives it: copy, time stamps, delivery.
#include <gtest/gtest.h>

#include "ais/decoders.h"
#include "platform/clock.h"
#include "plugin/record_delivery.h"
#include "support/fake_clock.h"
#include "support/record_sink.h"
#include "vf_system.h"

namespace {

constexpr const char* kPositionReport = "139>Jh501sOcIa0MqLt1j?wp0000";

TEST(TargetRecord, CloneCopiesEverythingButBit28OfTheDeviceId) {
  CRawDataAis source;
  source.m_nDeviceId = 0x10000005;
  source.m_nContents = kContentsStaticVoyage;
  source.m_dTime = 1700000000.5;
  source.m_dTimeOffset = -0.25;
  source.m_nMMSI = 211000000;
  source.m_nTimeReceived = 1700000000;
  source.m_nShipType = 70;
  source.m_nNavStatus = 5;
  source.m_nClass = kClassA;
  source.m_dLatitude = 52.25;
  source.m_dLongitude = -4.5;
  source.m_dSpeed = 12.3;
  source.m_dCourse = 45.6;
  source.m_dToBow = 100;
  source.m_dToStern = 20;
  source.m_dToPort = 5;
  source.m_dToStarboard = 10;
  source.m_strCallSign = std::u16string(u"PD1234\0", 7);
  source.m_strName = u"NORTHERN STAR";
  source.m_strDestination = u"ROTTERDAM";

  std::unique_ptr<CRawData> copy(source.Clone());
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->m_nType, RAW_DATA_TYPE_AIS);
  const auto& c = static_cast<const CRawDataAis&>(*copy);
  EXPECT_EQ(c.m_nDeviceId, 0x00000005);
  EXPECT_EQ(c.m_nContents, source.m_nContents);
  EXPECT_EQ(c.m_dTime, source.m_dTime);
  EXPECT_EQ(c.m_dTimeOffset, source.m_dTimeOffset);
  EXPECT_EQ(c.m_nMMSI, source.m_nMMSI);
  EXPECT_EQ(c.m_nTimeReceived, source.m_nTimeReceived);
  EXPECT_EQ(c.m_nShipType, source.m_nShipType);
  EXPECT_EQ(c.m_nNavStatus, source.m_nNavStatus);
  EXPECT_EQ(c.m_nClass, source.m_nClass);
  EXPECT_EQ(c.m_dLatitude, source.m_dLatitude);
  EXPECT_EQ(c.m_dLongitude, source.m_dLongitude);
  EXPECT_EQ(c.m_dSpeed, source.m_dSpeed);
  EXPECT_EQ(c.m_dCourse, source.m_dCourse);
  EXPECT_EQ(c.m_dToBow, source.m_dToBow);
  EXPECT_EQ(c.m_dToStern, source.m_dToStern);
  EXPECT_EQ(c.m_dToPort, source.m_dToPort);
  EXPECT_EQ(c.m_dToStarboard, source.m_dToStarboard);
  EXPECT_EQ(c.m_strCallSign.View(), source.m_strCallSign.View());
  EXPECT_EQ(c.m_strName.View(), source.m_strName.View());
  EXPECT_EQ(c.m_strDestination.View(), source.m_strDestination.View());
  static_cast<CRawDataAis&>(*copy).m_strName.Append(u" II");  // copy on write
  EXPECT_EQ(source.m_strName.View(), u"NORTHERN STAR");
}

TEST(TargetRecord, BaseRecordClonesToNothing) {
  CRawData base;
  EXPECT_EQ(base.Clone(), nullptr);
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
}

TEST_F(Delivery, WithoutAClockTheTimeIsZeroButTheOffsetIsCarried) {
  m_pass.timeOffsetMs = 1500;
  Deliver(nullptr, m_sink.Window());
  auto records = m_sink.TakeAll();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->m_dTime, 0.0);
  EXPECT_DOUBLE_EQ(records[0]->m_dTimeOffset, 1.5);
}

TEST_F(Delivery, AFullQueueDropsTheRecordWithoutLeakingIt) {
  // The window's queue takes a bounded number of messages; what could not
  // be posted is freed (LeakSanitizer checks).
  for (int i = 0; i < 10050; ++i) Deliver(&m_timeStamping, m_sink.Window());
  const size_t posted = m_sink.TakeAll().size();
  if (posted == 10050) GTEST_SKIP() << "this window system's queues take more than 10000 messages (Wine)";
  EXPECT_EQ(posted, 10000u);
}

TEST_F(Delivery, WithoutAWindowOrWithAGoneOneNothingIsPostedOrLeaked) {
  HostWindow gone = VfCreateWindow(u"gone");
  VfDestroyWindow(gone);
  Deliver(&m_timeStamping, gone);
  Deliver(&m_timeStamping, nullptr);
  EXPECT_TRUE(m_sink.TakeAll().empty());
}

}  // namespace
