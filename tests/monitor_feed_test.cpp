// The received traffic reaches the communications monitor's trace only while
// its window is open, exactly as received, before any check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/sentence_rig.h"
#include "support/trace_folder.h"

namespace {

using vf::test::EntryLines;
using vf::test::TraceFolder;

double EntryTime(const std::string& line) {
  const size_t first = line.find('|');
  return std::stod(line.substr(first + 1, line.find('|', first + 1) - first - 1));
}

const std::vector<std::u16string> kTraffic = {
    u"!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A",  // bad checksum: still mirrored
    u"$GPGLL,4916.45,N,12311.12,W,225444,A,*1D",           // not a VDM sentence
    u"",                                                   // nothing read: nothing mirrored
    u"garbage 100% <>",
};

// No window, or one whose title only begins like the monitor's.
TEST(MonitorFeed, WithoutTheMonitorWindowTheReceivedTraceIsNeverWritten) {
  TraceFolder folder;
  vf::test::SentenceRig rig;
  for (const auto& line : kTraffic) rig.Feed(line);
  const HostWindow other = VfCreateWindow(u"Communications Monitor 2");
  rig.Feed(kTraffic[0]);
  VfDestroyWindow(other);
  EXPECT_FALSE(folder.Read("AIS.dll").has_value());
}

TEST(MonitorFeed, EveryNonEmptyLineIsMirroredAsReceived) {
  TraceFolder folder;
  const HostWindow monitor = VfCreateWindow(u"Communications Monitor");
  vf::test::SentenceRig rig;
  for (const auto& line : kTraffic) rig.Feed(line);
  VfDestroyWindow(monitor);
  const auto bytes = folder.Read("AIS.dll");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(vf::test::EntryMessages(*bytes), (std::vector<std::string>{"!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A",
                                                        "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D",
                                                        "garbage 100% <>"}));
  EXPECT_NE(EntryLines(*bytes)[0].find("|64|[AIS] "), std::string::npos);
  EXPECT_FALSE(folder.Read("General").has_value());
}

TEST(MonitorFeed, TheTimeOffsetShiftsTheEntryTime) {
  TraceFolder folder;
  const HostWindow monitor = VfCreateWindow(u"Communications Monitor");
  vf::test::FakeClock clock;
  clock.utcMs = vf::test::FakeClock::UtcMs(2026, 12, 6, 10, 0, 0);
  clock.bootUtcMs = clock.utcMs - 5000;
  vf::test::SentenceRig rig(nullptr, clock);
  rig.Feed(u"first");
  rig.pass.timeOffsetMs = 1500;
  rig.Feed(u"second");
  VfDestroyWindow(monitor);
  const auto lines = EntryLines(*folder.Read("AIS.dll"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(EntryTime(lines[1]) - EntryTime(lines[0]), 1.5, 1e-6);
}

}  // namespace
