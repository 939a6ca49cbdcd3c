// The plug-in started on each kind of link, fed by a real receiver stand-in:
// every good message arrives at the host window, bad lines are dropped, and
// the status trace tells the story of the run.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ais_utf8.h"
#include "plugin/ais_app.h"
#include "datapath/drop_report.h"
#include "support/faulted_feed.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "support/serial_loop.h"
#include "support/test_messages.h"
#include "support/trace_folder.h"
#include "support/wait_until.h"

namespace {

using std::chrono::milliseconds;
using vf::test::StatusCount;

// Three good messages (one over two sentences) among lines that must drop.
std::string Feed() {
  using namespace vf::test;
  return SentenceLines(kType1Payload) +
         "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A\r\n"  // bad checksum
         "!AIVDO,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*17\r\n"  // own ship: not a VDM sentence
         "\x01garbage\r\n" +
         SentenceLines(Type5Payload(), 2, 3, 'B', 40) + SentenceLines("B39>Jh00=p59UhK=C62a7wv5j000", 0, -1, 'B');
}

const std::vector<uint32_t> kExpectedMmsis = {211000000, 235000001, 211000000};

std::vector<uint32_t> ReceiveMmsis(vf::test::RecordSink& sink, size_t count) {
  std::vector<uint32_t> mmsis;
  for (const auto& record : sink.Take(count, milliseconds(10000))) {
    EXPECT_NE(record->m_dTime, 0.0);
    mmsis.push_back(record->m_nMMSI);
  }
  return mmsis;
}

// The link is open once the trace says so; data sent before is lost.
bool WaitForRunning(const vf::test::TraceFolder& folder) {
  return vf::test::WaitUntil([&] { return StatusCount(folder, "Plugin is running successfully") > 0; });
}

struct TestHost {
  TestHost() { app.PutParent(sink.Window()); }
  int32_t Start() {
    app.PutConfig(config);
    return app.StartPlugin();
  }
  // A UDP session on a free port.
  uint16_t UseUdp(const char16_t* options) {
    config = vf::test::UdpSessionConfig(vf::test::UnusedUdpPort(), options);
    return static_cast<uint16_t>(config.m_nIpPort);
  }

  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  CAISApp app;
  CCfgDevice config;
};

TEST(EndToEnd, OverTcp) {
  TestHost run;
  vf::test::TcpServer receiver;
  run.config = vf::test::TcpClientConfig(receiver.Port());
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(receiver.Accept());
  receiver.Send(Feed());
  EXPECT_EQ(ReceiveMmsis(run.sink, kExpectedMmsis.size()), kExpectedMmsis);
  EXPECT_EQ(run.app.GetStatus(), kStatusRunning);
  EXPECT_EQ(run.app.StopPlugin(), 0);
  const auto messages = vf::test::StatusMessages(run.folder);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Plugin started.",
                          "Opening TCP connection to: [127.0.0.1] on port: [" + std::to_string(receiver.Port()) + "]...",
                          "TCP connection established.", "Plugin is running successfully", "Closing TCP session...",
                          "Dropped during this run: 1 with a wrong checksum, 2 not VDM, 0 malformed, 0 fragments out of "
                          "range, 0 fragments pushed out or expired, 0 payloads not decoded, 0 records not posted, 0 "
                          "sentences of messages not received whole, 0 payloads cut short, 0 payloads with a character "
                          "outside the armour, 0 with a wrong fill-bit count, 0 lost below the plug-in, 0 lines dropped for "
                          "want of memory.",
                          "Plugin stopped.", "All plugin background processes have been stopped."}));
}

// By default every line of a datagram is a line, checked on its own: one
// sentence per datagram, as most receivers send them, or the whole feed in
// one. With "LITERAL=1" a datagram is one line, so its CR LF leaves the
// checksum untested and the bad checksum's copy decodes too.
TEST(EndToEnd, OverUdp) {
  const struct {
    const char* what;
    const char16_t* options;
    bool wholeFeed;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"a datagram per sentence", u"", false, kExpectedMmsis},
      {"the whole feed in one datagram", u"", true, kExpectedMmsis},
      {"LITERAL=1, a datagram per sentence", u"LITERAL=1;CRC=1;", false, {211000000, 211000000, 235000001, 211000000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestHost run;
    const uint16_t port = run.UseUdp(c.options);
    ASSERT_EQ(run.Start(), 0);
    ASSERT_TRUE(WaitForRunning(run.folder));
    const std::string feed = Feed();
    for (size_t at = 0; at < feed.size();) {
      const size_t end = c.wholeFeed ? feed.size() : feed.find("\r\n", at) + 2;
      ASSERT_TRUE(vf::test::SendDatagram(port, feed.substr(at, end - at)));
      at = end;
    }
    EXPECT_EQ(ReceiveMmsis(run.sink, c.expected.size()), c.expected);
    EXPECT_EQ(run.app.StopPlugin(), 0);
  }
}

// "COUNTS=N" while the plug-in runs: a line of what was dropped so far comes
// every N seconds, without waiting for the stop.
TEST(EndToEnd, DropCountsComeWhileTheRunGoesOn) {
  TestHost run;
  const uint16_t port = run.UseUdp(u"COUNTS=1");
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(WaitForRunning(run.folder));
  const std::string feed = Feed();
  for (size_t at = 0; at < feed.size();) {
    const size_t end = feed.find("\r\n", at) + 2;
    ASSERT_TRUE(vf::test::SendDatagram(port, feed.substr(at, end - at)));
    at = end;
  }
  EXPECT_EQ(ReceiveMmsis(run.sink, kExpectedMmsis.size()), kExpectedMmsis);
  EXPECT_TRUE(vf::test::WaitUntil([&] {
    return vf::test::StatusCountStartingWith(run.folder, "Dropped so far: 1 with a wrong checksum, 2 not VDM,") > 0;
  }));
  EXPECT_EQ(run.app.StopPlugin(), 0);
}

// CPU time of this process: the plug-in's threads while the test sleeps.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A receiver away for 5 s, past the first attempt at 3 s: meanwhile the
// plug-in's threads sleep; the attempt after it (6 s later) finds the
// receiver back, and records come again.
constexpr auto kAway = std::chrono::seconds(5);
constexpr double kMostCpuWhileAway = 0.1;

TEST(EndToEnd, OverTcpAReceiverAwayPastTheFirstAttemptIsConnectedAgain) {
  TestHost run;
  uint16_t port = 0;
  {
    vf::test::TcpServer receiver;
    port = receiver.Port();
    run.config = vf::test::TcpClientConfig(port, u"");
    ASSERT_EQ(run.Start(), 0);
    ASSERT_TRUE(receiver.Accept());
    receiver.Send(vf::test::SentenceLines(vf::test::kType1Payload));
    EXPECT_EQ(ReceiveMmsis(run.sink, 1), (std::vector<uint32_t>{211000000}));
  }  // the receiver goes, and nothing listens on its port
  const double cpuBefore = ProcessCpuSeconds();
  std::this_thread::sleep_for(kAway);  // the fault itself, not a wait for the plug-in
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, kMostCpuWhileAway);
  vf::test::TcpServer back(port);
  ASSERT_TRUE(back.Accept(15000)) << testing::PrintToString(vf::test::StatusMessages(run.folder));
  back.Send(vf::test::SentenceLines(vf::test::kType1Payload));
  EXPECT_EQ(ReceiveMmsis(run.sink, 1), (std::vector<uint32_t>{211000000}));
  EXPECT_EQ(run.app.GetStatus(), kStatusRunning);
  EXPECT_EQ(run.app.StopPlugin(), 0);
  const std::string where = "TCP [127.0.0.1] on port [" + std::to_string(port) + "]";
  EXPECT_EQ(StatusCount(run.folder, "Connection lost: " + where + "; reconnecting in 3 s."), 1u);
  EXPECT_EQ(StatusCount(run.folder, "Reconnecting failed: " + where +
                                        ": Failed to open TCP connection, timeout while trying to connect to host.; "
                                        "next attempt in 6 s."),
            1u);
  EXPECT_EQ(StatusCount(run.folder, "Reconnected: " + where + " (reconnect 1)."), 1u);
}

TEST(EndToEnd, OverASerialPortAReceiverAwayPastTheFirstAttemptIsReadAgain) {
  TestHost run;
  vf::test::SerialLoop receiver(8);
  run.config.m_nSerialPort = 8;
  run.config.m_nSerialSpeed = 38400;
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(WaitForRunning(run.folder));  // the port is purged as it opens
  receiver.Send(Feed());
  EXPECT_EQ(ReceiveMmsis(run.sink, kExpectedMmsis.size()), kExpectedMmsis);
  receiver.Unplug();
  const double cpuBefore = ProcessCpuSeconds();
  std::this_thread::sleep_for(kAway);  // the fault itself, not a wait for the plug-in
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, kMostCpuWhileAway);
  receiver.PlugIn();
  ASSERT_TRUE(vf::test::WaitUntil(
      [&] { return StatusCount(run.folder, "Reconnected: serial port [COM8] (reconnect 1).") == 1; },
      milliseconds(15000)))
      << testing::PrintToString(vf::test::StatusMessages(run.folder));
  receiver.Send(vf::test::SentenceLines(vf::test::kType1Payload));
  EXPECT_EQ(ReceiveMmsis(run.sink, 1), (std::vector<uint32_t>{211000000}));
  EXPECT_EQ(run.app.GetStatus(), kStatusRunning);
  EXPECT_EQ(run.app.StopPlugin(), 0);
  EXPECT_EQ(StatusCount(run.folder, "Connection lost: serial port [COM8]; reconnecting in 3 s."), 1u);
  EXPECT_EQ(vf::test::StatusCountStartingWith(run.folder, "Reconnecting failed: serial port [COM8]: "), 1u);
}

// "UDPBIND" and "UDPSOURCES": a session bound to one local address takes
// datagrams only from the hosts named (or the configured peer), and counts
// the others.
TEST(EndToEnd, OverUdpOnlyTheAcceptedSourcesAreRead) {
  const struct {
    const char16_t* options;
    bool accepted;
  } cases[] = {{u"CRC=0;UDPBIND=127.0.0.1;UDPSOURCES=PEER;", true},
               {u"CRC=0;UDPSOURCES=192.0.2.1,127.0.0.1", true},
               {u"CRC=0;UDPBIND=127.0.0.1;UDPSOURCES=192.0.2.1;", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(vf::ToUtf8(c.options));
    TestHost run;
    const uint16_t port = run.UseUdp(c.options);
    run.config.m_strHostAddress = u"127.0.0.1";
    ASSERT_EQ(run.Start(), 0);
    ASSERT_TRUE(WaitForRunning(run.folder));
    ASSERT_TRUE(vf::test::SendDatagram(port, vf::test::SentenceLines(vf::test::kType1Payload)));
    if (c.accepted) {
      EXPECT_EQ(ReceiveMmsis(run.sink, 1), (std::vector<uint32_t>{211000000}));
    } else {
      EXPECT_TRUE(vf::test::WaitUntil([&] {
        return StatusCount(run.folder, "A datagram from [127.0.0.1] was refused: it is not from an accepted source.") > 0;
      }));
    }
    EXPECT_EQ(run.app.StopPlugin(), 0);
    EXPECT_EQ(StatusCount(run.folder, "Datagrams refused from other sources: 1."), c.accepted ? 0u : 1u);
    EXPECT_TRUE(run.sink.TakeAll().empty());
  }
}

TEST(EndToEnd, OverUdpALocalAddressThatIsNotThisHostsCannotBeBound) {
  TestHost run;
  run.UseUdp(u"UDPBIND=192.0.2.1;");
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(vf::test::WaitUntil([&] { return run.app.GetStatus() == kStatusLinkFailed; }));
  EXPECT_EQ(run.app.StopPlugin(), 0);
}

// "RECONNECT=2": a receiver that is not there yet when the plug-in starts is
// tried again, with status 1 meanwhile, until it is.
TEST(EndToEnd, OverTcpAReceiverThatComesLaterIsConnectedWithReconnectTwo) {
  TestHost run;
  const uint16_t port = vf::test::UnusedTcpPort();
  run.config = vf::test::TcpClientConfig(port, u"RECONNECT=2;");
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(vf::test::WaitUntil([&] {
    return StatusCount(run.folder, "The TCP connection is tried again until it opens or the plugin is stopped.") == 1;
  }, milliseconds(20000)));
  EXPECT_EQ(run.app.GetStatus(), kStatusRunning);
  vf::test::TcpServer receiver(port);
  ASSERT_TRUE(receiver.Accept(15000));
  receiver.Send(vf::test::SentenceLines(vf::test::kType1Payload));
  EXPECT_EQ(ReceiveMmsis(run.sink, 1), (std::vector<uint32_t>{211000000}));
  EXPECT_EQ(run.app.StopPlugin(), 0);
  EXPECT_EQ(StatusCount(run.folder, "Reconnected: TCP [127.0.0.1] on port [" + std::to_string(port) + "] (reconnect 1)."),
            1u);
}

// The simulator's traffic with every fault of a radio link, over a real TCP
// link: each message sent whole arrives once, in order, and nothing else.
TEST(EndToEnd, OverTcpAFaultedFeedGivesExactlyTheMessagesSentWhole) {
  std::vector<uint32_t> expected;
  vf::test::CapturedLines feed;
  const std::atomic<bool> never{false};
  vf::sim::RunFeed(vf::test::FaultedFeed(9, 2000, 0.05), feed, never,
                   [&](const vf::sim::Transmission& t, std::optional<vf::sim::Fault>, bool spoiled) {
                     if (!spoiled) expected.push_back(t.snapshot.mmsi);
                   });
  TestHost run;
  vf::test::TcpServer receiver;
  run.config = vf::test::TcpClientConfig(receiver.Port());
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(receiver.Accept());
  receiver.Send(feed.Text());
  EXPECT_EQ(ReceiveMmsis(run.sink, expected.size()), expected);
  EXPECT_EQ(run.app.StopPlugin(), 0);
  EXPECT_TRUE(run.sink.TakeAll().empty());
}

TEST(EndToEnd, AFailedOpenReportsStatusTwo) {
  TestHost run;
  run.config.m_nSerialPort = 0;
  ASSERT_EQ(run.Start(), 0);
  ASSERT_TRUE(vf::test::WaitUntil([&] { return run.app.GetStatus() == kStatusLinkFailed; }, milliseconds(10000)));
  EXPECT_EQ(run.app.StopPlugin(), 0);
  const auto messages = vf::test::StatusMessages(run.folder);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Plugin started.",
                          "Failed to open serial port: [COM0]. The requested serial port does not exist on this system.",
                          "Failed to open or initialize device connection", "Closing serial port...", "Plugin stopped.",
                          "All plugin background processes have been stopped."}));
}

// With "WAITFORHOST=0", a host whose window queue is full loses records:
// none of them silently. (Posting works again within 5 s of the first line,
// so no line says so.)
TEST(EndToEnd, RecordsThatCannotBePostedAreCountedInTheTrace) {
  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"WAITFORHOST=0;COUNTS=0");
  const std::string line = "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*15";
  for (int i = 0; i < 10050; ++i) rig.Feed(line);
  if (sink.TakeAll().size() == 10050) GTEST_SKIP() << "this window system's queues take more than 10000 messages";
  rig.Feed(line);
  EXPECT_EQ(rig.path.Drops()[vf::nmea::DropCause::kNotPosted], 50);
  rig.path.EndOfRun(rig.trace, rig.pass.feed);
  EXPECT_EQ(vf::test::StatusMessages(folder, true),
            (std::vector<std::string>{"1|Records could not be posted to the host window: 1 so far. Its queue is full: "
                                      "the host must take them faster.",
                                      "1|50 records could not be posted to the host window during this run."}));
}

uint32_t g_tickMs = 0;

// However often posting flaps between failing and working, the trace gets at
// most one line about it every 5 s, each with the count so far.
TEST(NotPostedCount, FlappingPostsGiveAtMostOneLineEveryFiveSeconds) {
  vf::test::TraceFolder folder;
  vf::TraceWriter trace(u"AIS");
  trace.Open();
  vf::NotPostedCount count([] { return g_tickMs; });
  using vf::Delivery;
  g_tickMs = 1000;
  for (int i = 0; i < 100; ++i) {
    count.Count(Delivery::kNotPosted, trace);
    count.Count(Delivery::kPosted, trace);
    count.Count(Delivery::kNoWindow, trace);
  }
  g_tickMs += 4999;
  count.Count(Delivery::kPosted, trace);
  g_tickMs += 1;
  count.Count(Delivery::kPosted, trace);
  count.Count(Delivery::kPosted, trace);
  g_tickMs += 1;
  count.Count(Delivery::kNotPosted, trace);
  g_tickMs += 5000;
  count.Count(Delivery::kNotPosted, trace);
  count.EndOfRun(trace);
  EXPECT_EQ(vf::test::StatusMessages(folder, true),
            (std::vector<std::string>{
                "1|Records could not be posted to the host window: 1 so far. Its queue is full: the host must take "
                "them faster.",
                "32|Posting records to the host window works again; 100 could not be posted.",
                "1|Records could not be posted to the host window: 102 so far. Its queue is full: the host must "
                "take them faster.",
                "1|102 records could not be posted to the host window during this run."}));
}

// COUNTS=N: the drop counts every N seconds of the run and at its end;
// COUNTS=STOP, the default: at the end only; COUNTS=0 or LITERAL=1: never.
TEST(DropReport, TracedEveryNSecondsAndWhenTheRunEnds) {
  vf::test::TraceFolder folder;
  vf::TraceWriter trace(u"AIS");
  trace.Open();
  vf::DropReport report([] { return g_tickMs; });
  vf::nmea::DropCounts counts;
  counts.Add(vf::nmea::DropCause::kChecksum, 3);
  counts.Add(vf::nmea::DropCause::kNotPosted);
  for (const char16_t* options : {u"LITERAL=1", u"COUNTS=0", u"", u"COUNTS=STOP", u"COUNTS=2"}) {
    const vf::FeedOptions feed = vf::FeedOptions::Of(options);
    for (g_tickMs = 1000; g_tickMs <= 6000; g_tickMs += 1000) report.Pass(counts, feed, trace);
    report.EndOfRun(counts, feed, trace);
  }
  const std::string tail = ": 3 with a wrong checksum, 0 not VDM, 0 malformed, 0 fragments out of range, 0 fragments "
                           "pushed out or expired, 0 payloads not decoded, 1 records not posted, 0 sentences of "
                           "messages not received whole, 0 payloads cut short, 0 payloads with a character outside "
                           "the armour, 0 with a wrong fill-bit count, 0 lost below the plug-in, 0 lines dropped for want of "
                           "memory.";
  EXPECT_EQ(vf::test::StatusMessages(folder, true),
            (std::vector<std::string>{"4|Dropped during this run" + tail, "4|Dropped during this run" + tail,
                                      "4|Dropped so far" + tail, "4|Dropped so far" + tail,
                                      "4|Dropped during this run" + tail}));
}

}  // namespace
