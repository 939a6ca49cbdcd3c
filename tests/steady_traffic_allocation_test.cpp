// Steady traffic must not allocate on the way from the link to the host:
// the only heap blocks per decoded message are its non-empty strings, and a
// record's block comes back for the next record once the host destroys it. Every operator new and every malloc, calloc and realloc
// of the plug-in's code is counted (the latter through the linker's --wrap).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "links/device_link.h"
#include "payload_encoder.h"
#include "platform/event.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "support/serial_loop.h"
#include "support/test_messages.h"

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocations{0};

void CountOne() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void* CountedNew(size_t size) {
  CountOne();
  return __real_malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair a delete with a free.
[[gnu::noinline]] void ReleaseAllocation(void* block) noexcept { std::free(block); }

}  // namespace

extern "C" {
void* __wrap_malloc(size_t size) {
  CountOne();
  return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
  CountOne();
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
  CountOne();
  return __real_realloc(block, size);
}
}

void* operator new(size_t size) {
  if (void* block = CountedNew(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void operator delete(void* block) noexcept { ReleaseAllocation(block); }
void operator delete[](void* block) noexcept { ReleaseAllocation(block); }
void operator delete(void* block, size_t) noexcept { ReleaseAllocation(block); }
void operator delete[](void* block, size_t) noexcept { ReleaseAllocation(block); }

namespace {

// One message of every decoded kind, the static data over two sentences.
std::vector<std::string> OneOfEachMessage() {
  std::vector<std::string> sentences;
  for (const char* payload : {"139>Jh501sOcIa0MqLt1j?wp0000", "B39>Jh00=p59UhK=C62a7wv5j000",
                              "402E341vQHdRpPDVG0MqLt100000"}) {
    for (const std::string& s : vf::sim::VdmSentences(payload, 0, -1, 'A')) sentences.push_back(s);
  }
  for (const std::string& s : vf::sim::VdmSentences(vf::test::Type5Payload(), 2, 3, 'B', 40)) sentences.push_back(s);
  return sentences;
}

// Per pass: the type 5 record's name, call sign and destination; the
// position and base station records' strings stay empty.
constexpr size_t kMessagesPerPass = 4;
constexpr size_t kAllocationsPerPass = 3;
constexpr size_t kPasses = 200;

TEST(SteadyTrafficAllocation, OnlyTheRecordAndItsStringsPerMessage) {
  const std::vector<std::string> lines = OneOfEachMessage();
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"RECEIVER=AIS TRANSPONDER;CRC=1;");
  for (const std::string& line : lines) rig.Feed(line);
  ASSERT_EQ(sink.TakeAll().size(), kMessagesPerPass) << "every message of the pass decodes";

  rig.window = nullptr;  // records are built and destroyed: no host queue to count
  g_allocations = 0;
  g_counting = true;
  for (size_t pass = 0; pass < kPasses; ++pass) {
    for (const std::string& line : lines) rig.Feed(line);
  }
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), kPasses * kAllocationsPerPass);
}

// The same lines read from each kind of link, CR LF and all, as the device
// thread reads them (wait, then read): the links add no allocation of their
// own. A pass is sent, then read, so that no datagram meets a full socket.
enum class LinkKind { kTcp, kUdp, kSerial };

class LinkAllocation : public testing::TestWithParam<LinkKind> {};

TEST_P(LinkAllocation, TheLinkAddsNothingPerLine) {
  std::string pass;
  for (const std::string& s : OneOfEachMessage()) pass += s + "\r\n";
  vf::test::SentenceRig rig;
  const std::atomic<bool> stopRequested{false};
  vf::links::CDeviceLink link;
  std::function<bool(const std::string&)> send;
  std::optional<vf::test::TcpServer> tcp;
  std::optional<vf::test::SerialLoop> serial;
  CCfgDevice config;
  const vf::FeedOptions options = vf::FeedOptions::Of(u"");  // no option text: the defaults
  switch (GetParam()) {
    case LinkKind::kTcp:
      tcp.emplace();
      config = vf::test::TcpClientConfig(tcp->Port());
      ASSERT_EQ(link.OpenDeviceLink(config, options, rig.trace, stopRequested), 0);
      ASSERT_TRUE(tcp->Accept());
      send = [&](const std::string& bytes) { return tcp->Send(bytes); };
      break;
    case LinkKind::kUdp: {
      const uint16_t port = vf::test::UnusedUdpPort();
      config = vf::test::UdpSessionConfig(port);
      ASSERT_EQ(link.OpenDeviceLink(config, options, rig.trace, stopRequested), 0);
      send = [port](const std::string& bytes) { return vf::test::SendDatagram(port, bytes); };
      break;
    }
    case LinkKind::kSerial:
      serial.emplace(5);
      config.m_nSerialPort = 5;
      config.m_nSerialSpeed = 38400;
      ASSERT_EQ(link.OpenDeviceLink(config, options, rig.trace, stopRequested), 0);
      send = [&](const std::string& bytes) { return serial->Send(bytes); };
      break;
  }
  const vf::platform::Handle control = vf::platform::CreateManualResetEvent();
  const vf::platform::Handle stop = vf::platform::CreateManualResetEvent();
  std::string_view line;
  const size_t sentencesPerPass = OneOfEachMessage().size();
  // One pass sent and its sentences read; false when they did not all come.
  const auto onePass = [&] {
    if (!send(pass)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (size_t fed = 0; fed < sentencesPerPass;) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (link.WaitForDeviceData(control, control) != 0 || link.ReadDeviceLine(line, stop) != 0) continue;
      if (line.empty()) continue;
      rig.Feed(line);
      ++fed;
    }
    return true;
  };
  ASSERT_TRUE(onePass());  // the first pass grows the buffers
  g_allocations = 0;
  g_counting = true;
  bool allCame = true;
  for (size_t i = 0; i < kPasses && allCame; ++i) allCame = onePass();
  g_counting = false;
  link.CloseDeviceLink(rig.trace);
  vf::platform::CloseEvent(control);
  vf::platform::CloseEvent(stop);
  ASSERT_TRUE(allCame);
  EXPECT_EQ(g_allocations.load(), kPasses * kAllocationsPerPass);
}

INSTANTIATE_TEST_SUITE_P(Links, LinkAllocation, testing::Values(LinkKind::kTcp, LinkKind::kUdp, LinkKind::kSerial),
                         [](const testing::TestParamInfo<LinkKind>& kind) {
                           return kind.param == LinkKind::kTcp ? "Tcp" : kind.param == LinkKind::kUdp ? "Udp" : "Serial";
                         });

}  // namespace
