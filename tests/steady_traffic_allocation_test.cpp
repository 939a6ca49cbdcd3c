// Steady traffic must not allocate on the way from the link to the host:
// the only heap blocks per decoded message are its non-empty strings, and a
// record's block comes back for the next record once the host destroys it. Every operator new and every malloc, calloc and realloc
// of the plug-in's code is counted (the latter through the linker's --wrap).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "links/tcp_client.h"
#include "payload_encoder.h"
#include "platform/event.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
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
  std::vector<std::u16string> lines;
  for (const std::string& s : OneOfEachMessage()) lines.emplace_back(s.begin(), s.end());
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"RECEIVER=AIS TRANSPONDER;CRC=1;");
  for (const std::u16string& line : lines) rig.Feed(line);
  ASSERT_EQ(sink.TakeAll().size(), kMessagesPerPass) << "every message of the pass decodes";

  rig.window = nullptr;  // records are built and destroyed: no host queue to count
  g_allocations = 0;
  g_counting = true;
  for (size_t pass = 0; pass < kPasses; ++pass) {
    for (const std::u16string& line : lines) rig.Feed(line);
  }
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), kPasses * kAllocationsPerPass);
}

// The same lines read from a TCP link, CR LF and all, as the device thread
// reads them: the link adds no allocation of its own.
TEST(SteadyTrafficAllocation, TheTcpLinkAddsNothingPerLine) {
  std::string pass;
  for (const std::string& s : OneOfEachMessage()) pass += s + "\r\n";
  vf::test::TcpServer server;
  CTcp tcp;
  ASSERT_EQ(tcp.Connect("127.0.0.1", server.Port()), 0);
  ASSERT_TRUE(server.Accept());
  std::string feed;
  for (size_t i = 0; i < kPasses + 1; ++i) feed += pass;
  std::thread sender([&] { server.Send(feed); });

  vf::test::SentenceRig rig;
  const vf::platform::Handle control = vf::platform::CreateManualResetEvent();
  CWideString line;
  const auto readLines = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) {
      ASSERT_EQ(tcp.WaitForData(control, control), 0);
      tcp.ReadLine(line);
      rig.Feed(line.View());
    }
  };
  const size_t linesPerPass = 2 * OneOfEachMessage().size();  // each CR and each LF ends a line
  readLines(linesPerPass);  // the first pass grows the buffers
  g_allocations = 0;
  g_counting = true;
  readLines(kPasses * linesPerPass);
  g_counting = false;
  sender.join();
  vf::platform::CloseEvent(control);
  EXPECT_EQ(g_allocations.load(), kPasses * kAllocationsPerPass);
}

}  // namespace
