// What a host can do while the device thread works: hand over a new
// configuration, stop in the middle of a long TCP open and unload, start and
// stop again and again. None of it may race, hang or leak.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "payload_encoder.h"
#include "platform/system_calls.h"
#include "plugin/ais_app.h"
#include "plugin_library.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/trace_folder.h"
#include "support/wait_until.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using vf::test::StatusCountStartingWith;

const std::string kSentence = vf::sim::VdmSentences("139>Jh501sOcIa0MqLt1j?wp0000", 0, -1, 'A')[0] + "\r\n";

size_t EntriesIn(const char* folder) {
  size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

// A configuration given while running: the host sees it at once, the loop
// takes its option text, time offset and device id at its next line, and its
// link at the next start.
TEST(PluginRaces, AConfigurationGivenWhileRunningTakesEffectAtTheNextLine) {
  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  CAISApp app;
  app.PutParent(sink.Window());
  vf::test::TcpServer first, second;
  CCfgDevice config = vf::test::TcpClientConfig(first.Port());
  config.m_nDeviceId = 1;
  app.PutConfig(config);
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_TRUE(first.Accept());
  std::string badChecksum = kSentence;
  badChecksum[badChecksum.size() - 3] ^= 1;
  // Records come in the order of the lines: the first is the other station's.
  const std::string other = vf::sim::VdmSentences("15RTgt0PAso;90TKcjM8h6g208CQ", 0, -1, 'A')[0] + "\r\n";
  ASSERT_TRUE(first.Send(badChecksum + other));
  auto records = sink.Take(1, milliseconds(10000));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->m_nMMSI, 371798000u) << "the checksum test drops the first line";
  EXPECT_EQ(records[0]->m_nDeviceId, 1);

  config = vf::test::TcpClientConfig(second.Port(), u"CRC=0;");
  config.m_nDeviceId = 2;
  config.m_nTimeOffset = 1000;
  app.PutConfig(config);
  CCfgDevice reported;
  app.GetConfig(reported);
  EXPECT_EQ(reported.m_nIpPort, second.Port());
  ASSERT_TRUE(first.Send(badChecksum));
  records = sink.Take(1, milliseconds(10000));
  ASSERT_EQ(records.size(), 1u) << "without the checksum test it decodes, still from the first receiver";
  EXPECT_EQ(records[0]->m_nDeviceId, 2);
  EXPECT_EQ(records[0]->m_dTimeOffset, 1.0);

  ASSERT_EQ(app.StopPlugin(), 0);
  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_TRUE(second.Accept());
  EXPECT_EQ(app.StopPlugin(), 0);
}

std::atomic<int> g_socketLayerStarts{0};

// The socket layer and the trace mutex belong to a run: a host that creates
// its mutex after loading the plug-in still gets a trace.
TEST(PluginRaces, NothingOfTheSystemIsTakenAtLoad) {
  vf::platform::SystemCalls& calls = vf::platform::ActiveSystemCalls();
  calls.startSocketLayer = [] {
    ++g_socketLayerStarts;
    return vf::platform::NativeSystemCalls().startSocketLayer();
  };
  CAISApp app;
  EXPECT_EQ(g_socketLayerStarts, 0);
  vf::test::TraceFolder folder;
  app.PutConfig(vf::test::UdpSessionConfig(vf::test::UnusedUdpPort()));
  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_TRUE(vf::test::WaitUntil([&] { return StatusCountStartingWith(folder, "UDP session started.") > 0; }));
  EXPECT_EQ(app.StopPlugin(), 0);
  EXPECT_GT(g_socketLayerStarts, 0);
  calls = vf::platform::NativeSystemCalls();
}

TEST(PluginRaces, AStopDuringALongTcpOpenEndsItAndTheLibraryUnloadsCleanly) {
  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  vf::host::PluginLibrary plugin;
  std::string error;
  ASSERT_TRUE(plugin.Load(AIS_PLUGIN_PATH, error)) << error;
  const auto& api = plugin.Exports();
  // Nobody listens, and with REFUSED=0 each of the three attempts waits out 5 s.
  vf::test::RefusingTcpPort refusing;
  CCfgDevice config = vf::test::TcpClientConfig(refusing.Port(), u"REFUSED=0;");
  api.put_Config(&config);
  api.put_Parent(sink.Window());
  ASSERT_EQ(api.StartPlugin(), 0);
  ASSERT_TRUE(
      vf::test::WaitUntil([&] { return StatusCountStartingWith(folder, "Opening TCP connection to: [127.0.0.1]") > 0; }));

  const auto stopAsked = Clock::now();
  EXPECT_EQ(api.StopPlugin(), 0);
  // The connection wait asks every 20 ms; not the 15 s of the attempts.
  EXPECT_LT(Clock::now() - stopAsked, std::chrono::seconds(1));
  uint32_t status = 9;
  api.get_Status(&status);
  EXPECT_EQ(status, kStatusStopped);
  EXPECT_EQ(StatusCountStartingWith(folder, "Failed to open"), 0u) << "a stop is no failure";
  EXPECT_TRUE(StatusCountStartingWith(folder, "All plugin background processes have been stopped.") > 0);
  plugin.Unload();  // no thread of the library is left to run in unloaded code
}

TEST(PluginRaces, StartStopCyclesLeaveNoThreadOrDescriptorBehind) {
  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  CAISApp app;
  app.PutParent(sink.Window());
  // One cycle first, so that lazily made things (the socket layer, the
  // trace mutex's mapping) exist before counting.
  CCfgDevice config = vf::test::UdpSessionConfig(vf::test::UnusedUdpPort(), u"CRC=0;");
  app.PutConfig(config);
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_EQ(app.StopPlugin(), 0);
  const size_t threads = EntriesIn("/proc/self/task");
  const size_t descriptors = EntriesIn("/proc/self/fd");
  for (int cycle = 0; cycle < 5; ++cycle) {
    config.m_nIpPort = vf::test::UnusedUdpPort();
    app.PutConfig(config);
    ASSERT_EQ(app.StartPlugin(), 0) << "cycle " << cycle;
    // Datagrams before the socket is bound are lost: send until one arrives.
    EXPECT_TRUE(vf::test::WaitUntil([&] {
      vf::test::SendDatagram(static_cast<uint16_t>(config.m_nIpPort), kSentence);
      return !sink.Take(1, milliseconds(20)).empty();
    })) << "cycle " << cycle;
    ASSERT_EQ(app.StopPlugin(), 0) << "cycle " << cycle;
    sink.TakeAll();
  }
  EXPECT_EQ(EntriesIn("/proc/self/task"), threads);
  EXPECT_EQ(EntriesIn("/proc/self/fd"), descriptors);
}

}  // namespace
