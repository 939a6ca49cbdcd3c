// The target record as the host receives it: copy, time stamps, delivery.
#include <gtest/gtest.h>

#include <tuple>

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
  auto& c = static_cast<CRawDataAis&>(*copy);
  EXPECT_EQ(c.m_nDeviceId, 0x00000005);
  c.m_nDeviceId = source.m_nDeviceId;
  const auto fields = [](const CRawDataAis& r) {
    return std::tuple(r.m_nContents, r.m_nDeviceId, r.m_dTime, r.m_dTimeOffset, r.m_nMMSI, r.m_nTimeReceived,
                      r.m_nShipType, r.m_nNavStatus, r.m_nClass, r.m_dLatitude, r.m_dLongitude, r.m_dSpeed, r.m_dCourse,
                      r.m_dToBow, r.m_dToStern, r.m_dToPort, r.m_dToStarboard, r.m_strCallSign.View(),
                      r.m_strName.View(), r.m_strDestination.View());
  };
  EXPECT_EQ(fields(c), fields(source));
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

}  // namespace
