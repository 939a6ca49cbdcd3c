// Several processes share one trace file through the host's named mutex; one
// of them dies while it holds the mutex. No line may be lost or garbled, and
// the mutex must not stay held.
#include <gtest/gtest.h>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/trace_folder.h"
#include "support/wait_until.h"

namespace {

using vf::test::CounterLine;
using vf::test::EntryLines;
using vf::test::TraceFolder;

struct Child {
  pid_t pid = -1;
  int output = -1;  // read end of the child's stdout
};

Child Spawn(const std::string& mode, const std::string& name, int count) {
  Child child;
  child.pid = vf::test::Spawn({TRACE_WRITER_PATH, mode, name, std::to_string(count)}, {}, {.outputPipe = &child.output});
  return child;
}

// The child's exit status, or -1 when it did not end normally.
int Reap(const Child& child) {
  int status = 0;
  if (child.output >= 0) close(child.output);
  return waitpid(child.pid, &status, 0) == child.pid ? vf::test::ExitCodeOf(status) : -1;
}

bool WaitForLine(const Child& child, const std::string& expected, int timeoutMs) {
  std::string seen;
  pollfd ready{child.output, POLLIN, 0};
  while (seen.find(expected) == std::string::npos) {
    if (poll(&ready, 1, timeoutMs) != 1) return false;
    char chunk[64];
    const ssize_t n = read(child.output, chunk, sizeof chunk);
    if (n <= 0) return false;
    seen.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

TEST(TraceProcesses, ConcurrentWritersAndADeadHolderLoseNothing) {
  TraceFolder folder;  // the host: folder and mutex; the children inherit where they are
  constexpr int kWriters = 4, kLinesEach = 150, kHolderLines = 20;

  const Child holder = Spawn("hold", "holder", kHolderLines);
  ASSERT_GT(holder.pid, 0);
  ASSERT_TRUE(WaitForLine(holder, "held\n", 30000)) << "the holder took the mutex";
  std::vector<Child> writers;
  for (int w = 0; w < kWriters; ++w) writers.push_back(Spawn("write", "writer" + std::to_string(w), kLinesEach));
  kill(holder.pid, SIGKILL);
  EXPECT_EQ(Reap(holder), -1);
  for (const Child& writer : writers) EXPECT_EQ(Reap(writer), 0) << "every writer wrote all its lines";

  const std::string bytes = folder.Read("General").value_or("");
  const int total = kWriters * kLinesEach + kHolderLines;
  EXPECT_EQ(CounterLine(bytes), std::to_string(total));
  const auto entries = EntryLines(bytes);
  ASSERT_EQ(entries.size(), 200u);
  const std::regex entry(R"((\d+)\|1\.000\|4\|\[(holder|writer\d)\] line (\d+))");
  for (size_t i = 0; i < entries.size(); ++i) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(entries[i], parts, entry)) << "garbled: " << entries[i];
    EXPECT_EQ(std::stoi(parts[1]), total - 199 + static_cast<int>(i)) << "the latest 200, in order";
  }
  EXPECT_EQ(VfWaitNamedMutex(folder.HostMutex(), 0), 0) << "nobody holds the mutex any more";
  VfReleaseNamedMutex(folder.HostMutex());
}

// A writer killed at any moment of its work leaves a whole file, the old one
// or the new, never an empty or a cut one: the trace history and its counter
// survive a host that crashes.
TEST(TraceProcesses, AWriterKilledAtAnyMomentLeavesAWholeFile) {
  TraceFolder folder;
  ASSERT_EQ(Reap(Spawn("write", "filler", 200)), 0);
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string before = CounterLine(folder.Read("General").value_or(""));
    const Child writer = Spawn("write", "writer", 1000000);
    ASSERT_GT(writer.pid, 0);
    ASSERT_TRUE(vf::test::WaitUntil([&] { return CounterLine(folder.Read("General").value_or("")) != before; }))
        << "the writer is at work";
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));  // the moment of the kill
    kill(writer.pid, SIGKILL);
    EXPECT_EQ(Reap(writer), -1);
    const std::string bytes = folder.Read("General").value_or("");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(EntryLines(bytes).size(), 200u);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "\r\r\n") << "the last entry is whole";
  }
}

// A host killed while it held the mutex never closed its handle, so the
// object outlives everyone. Windows closes a dead process's handles; here
// the next host's start removes an object that no process holds any more.
TEST(TraceProcesses, AMutexThatOnlyKilledHostsHeldGoesAtTheNextStart) {
  TraceFolder folder;
  const std::string object = "/dev/shm/vf-mutex-u" + std::to_string(geteuid()) + "-" +
                             std::getenv("VF_OBJECT_NAMESPACE") + "-VestrafoldSurveyLog";
  const Child holder = Spawn("hold", "holder", 1);
  ASSERT_TRUE(WaitForLine(holder, "held", 10000));
  kill(holder.pid, SIGKILL);
  EXPECT_EQ(Reap(holder), -1);
  folder.CloseHostMutex();
  ASSERT_EQ(access(object.c_str(), F_OK), 0) << "the killed holder's handle keeps it";
  const timespec longAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, object.c_str(), longAgo, 0), 0);
  VfNamedMutex* live = VfCreateNamedMutex(u"AnotherHostStarts");
  EXPECT_NE(access(object.c_str(), F_OK), 0) << object << " stayed";
  const std::string liveObject = "/dev/shm/vf-mutex-u" + std::to_string(geteuid()) + "-" +
                                 std::getenv("VF_OBJECT_NAMESPACE") + "-AnotherHostStarts";
  ASSERT_EQ(utimensat(AT_FDCWD, liveObject.c_str(), longAgo, 0), 0);
  VfCloseNamedMutex(VfCreateNamedMutex(u"AThirdHostStarts"));
  EXPECT_EQ(access(liveObject.c_str(), F_OK), 0) << "a held mutex stays, however old";
  VfCloseNamedMutex(live);
}

// Hosts that start and end together: each creates and closes the mutex again
// and again, at the same time as the other.
TEST(TraceProcesses, TwoHostsCreatingTheMutexAtOnceNeverClash) {
  TraceFolder folder;
  std::vector<Child> hosts;
  for (int h = 0; h < 3; ++h) hosts.push_back(Spawn("create", "host" + std::to_string(h), 300));
  for (const Child& host : hosts) EXPECT_EQ(Reap(host), 0);
}

// The mutex lives while anyone holds it, as a Windows named mutex does: the
// first host's close leaves it to the second, and a third host finds that
// same mutex, not a new one. It is the user's own object.
TEST(TraceProcesses, TheMutexLivesWhileAnyoneHoldsIt) {
  TraceFolder folder;  // holds one handle, as a first host
  VfNamedMutex* second = VfOpenNamedMutex(kAisTraceMutexName);
  ASSERT_NE(second, nullptr);
  struct stat object {};
  const std::string path = "/dev/shm/vf-mutex-u" + std::to_string(geteuid()) + "-" +
                           std::string(std::getenv("VF_OBJECT_NAMESPACE")) + "-VestrafoldSurveyLog";
  ASSERT_EQ(stat(path.c_str(), &object), 0) << path;
  EXPECT_EQ(object.st_mode & 0777, 0600u);
  folder.CloseHostMutex();
  ASSERT_EQ(VfWaitNamedMutex(second, 0), 0);
  VfNamedMutex* third = VfCreateNamedMutex(kAisTraceMutexName);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(VfWaitNamedMutex(third, 20), -1) << "the same mutex, held by the second";
  VfReleaseNamedMutex(second);
  VfCloseNamedMutex(second);
  VfCloseNamedMutex(third);
  EXPECT_NE(stat(path.c_str(), &object), 0) << "the last close removes the name";
}

}  // namespace
