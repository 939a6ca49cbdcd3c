// Steady traffic must not allocate on the sentence path: the only heap block
// per decoded message is the target record itself.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "payload_encoder.h"
#include "support/record_sink.h"
#include "support/sentence_rig.h"
#include "support/test_messages.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocations{0};

void* CountedAllocation(size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler does not pair a delete with a free.
[[gnu::noinline]] void ReleaseAllocation(void* block) noexcept { std::free(block); }

}  // namespace

void* operator new(size_t size) {
  if (void* block = CountedAllocation(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* block) noexcept { ReleaseAllocation(block); }
void operator delete[](void* block) noexcept { ReleaseAllocation(block); }
void operator delete(void* block, size_t) noexcept { ReleaseAllocation(block); }
void operator delete[](void* block, size_t) noexcept { ReleaseAllocation(block); }

namespace {

std::u16string Received(const std::string& line) { return std::u16string(line.begin(), line.end()); }

// One message of every decoded kind, the static data over two sentences.
std::vector<std::u16string> OneOfEachMessage() {
  std::vector<std::string> sentences;
  for (const char* payload : {"139>Jh501sOcIa0MqLt1j?wp0000", "B39>Jh00=p59UhK=C62a7wv5j000",
                              "402E341vQHdRpPDVG0MqLt100000"}) {
    for (const std::string& s : vf::sim::VdmSentences(payload, 0, -1, 'A')) sentences.push_back(s);
  }
  for (const std::string& s : vf::sim::VdmSentences(vf::test::Type5Payload(), 2, 3, 'B', 40)) sentences.push_back(s);
  std::vector<std::u16string> lines;
  for (const std::string& s : sentences) lines.push_back(Received(s));
  return lines;
}

constexpr size_t kMessagesPerPass = 4;

TEST(SentencePathAllocation, OnlyTheRecordIsAllocatedPerMessage) {
  const std::vector<std::u16string> lines = OneOfEachMessage();
  vf::test::RecordSink sink;
  vf::test::SentenceRig rig(sink.Window());
  rig.SetOptions(u"RECEIVER=AIS TRANSPONDER;CRC=1;");
  for (const std::u16string& line : lines) rig.Feed(line);
  ASSERT_EQ(sink.TakeAll().size(), kMessagesPerPass) << "every message of the pass decodes";

  rig.window = nullptr;  // records are built and destroyed: no host queue to count
  constexpr size_t kPasses = 200;
  g_allocations = 0;
  g_counting = true;
  for (size_t pass = 0; pass < kPasses; ++pass) {
    for (const std::u16string& line : lines) rig.Feed(line);
  }
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), kPasses * kMessagesPerPass);
}

}  // namespace
