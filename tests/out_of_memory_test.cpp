// Memory that runs out while a line is handled costs that line, counted and
// said once, and nothing more: the run reads on. This program's allocator
// fails the first large allocation after it is armed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include "payload_encoder.h"
#include "platform/posix/system/object_names.h"
#include "vf_system.h"
#include "plugin/ais_app.h"
#include "support/failing_allocator.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "support/trace_folder.h"
#include "support/wait_until.h"

namespace {

std::atomic<size_t> g_failFirstOfAtLeast{0};  // bytes; 0: every allocation succeeds
std::atomic<int> g_failNth{0};                 // the n-th allocation from now fails; 0: none

bool Armed(size_t size) {
  size_t armed = g_failFirstOfAtLeast.load();
  if (armed != 0 && size >= armed && g_failFirstOfAtLeast.compare_exchange_strong(armed, 0)) return true;
  return g_failNth.load() > 0 && g_failNth.fetch_sub(1) == 1;
}
[[maybe_unused]] const bool g_hooked = (vf::test::g_allocationFails = Armed, true);

}  // namespace

namespace {

using std::chrono::milliseconds;

std::string Sentence(const char* payload) { return vf::sim::VdmSentences(payload, 0, -1, 'A')[0] + "\r\n"; }

TEST(OutOfMemory, ALineThatCannotBeHandledIsDroppedAndTheRunGoesOn) {
  vf::test::TraceFolder folder;
  vf::test::RecordSink sink;
  vf::test::TcpServer receiver;
  CAISApp app;
  app.PutParent(sink.Window());
  app.PutConfig(vf::test::TcpClientConfig(receiver.Port()));
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_TRUE(receiver.Accept());
  const std::string ship = Sentence("139>Jh501sOcIa0MqLt1j?wp0000");
  ASSERT_TRUE(receiver.Send(ship + ship + ship));
  ASSERT_EQ(sink.Take(3, milliseconds(10000)).size(), 3u);

  // A line far longer than any before it: handling it needs a larger block.
  const std::string longLine = "!AIVDM,1,1,,A," + std::string(1800, '0') + ",0*00\r\n";
  const std::string bytes = longLine + ship + ship + ship;
  g_failFirstOfAtLeast = 1024;
  ASSERT_TRUE(receiver.Send(bytes));
  EXPECT_EQ(sink.Take(3, milliseconds(10000)).size(), 3u) << "the lines after it";
  EXPECT_EQ(g_failFirstOfAtLeast.load(), 0u) << "no large allocation was made: the fault never struck";
  g_failFirstOfAtLeast = 0;
  EXPECT_EQ(app.GetStatus(), static_cast<uint32_t>(kStatusRunning));
  ASSERT_EQ(app.StopPlugin(), 0);

  EXPECT_EQ(vf::test::StatusCountStartingWith(folder, "A received line was dropped: there was not enough memory"), 1u);
  const std::vector<std::string> messages = vf::test::StatusMessages(folder);
  bool counted = false;
  for (const std::string& message : messages) {
    counted |= message.rfind("Dropped during this run", 0) == 0 &&
               message.find(", 1 lines dropped for want of memory.") != std::string::npos;
  }
  EXPECT_TRUE(counted) << "the drop counts say so";
}

// The window list is locked for each use: memory that runs out at any
// allocation of a use must not leave the lock held (every host of the user
// would wait on it for good) nor drop a live process's window.
TEST(OutOfMemory, TheWindowListIsNeverLeftLocked) {
  setenv("VF_OBJECT_NAMESPACE", "out-of-memory-test", 1);
  const std::string table = vf::posix_system::UserObjectPrefix("windows") + "list";
  const auto unlocked = [&] {
    const int fd = shm_open(table.c_str(), O_RDWR, 0);
    if (fd < 0) return true;  // no table: nothing is held
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
  };
  // Each use on its own, checked at once: a lock left held would make the next use wait for good.
  for (int failing = 1; failing <= 40; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
    HostWindow window = nullptr;
    g_failNth = failing;
    try {
      window = VfCreateWindow(u"Out of memory probe");
    } catch (const std::bad_alloc&) {
    }
    g_failNth = 0;
    ASSERT_TRUE(unlocked()) << "entering a window";
    g_failNth = failing;
    try {
      VfFindWindow(u"Communications Monitor");
    } catch (const std::bad_alloc&) {
    }
    g_failNth = 0;
    ASSERT_TRUE(unlocked()) << "looking a window up";
    if (window != nullptr) VfDestroyWindow(window);
  }
  unsetenv("VF_OBJECT_NAMESPACE");
}

}  // namespace
