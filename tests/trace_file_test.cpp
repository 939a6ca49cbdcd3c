// The shared, rolling trace files as the host and other modules see them on
// disk: layout, roll-over, escaping, what happens without the mutex, and the
// received traffic's trace for the communications monitor.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdlib>
#include <cwchar>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "diag/text_format.h"
#include "diag/trace_file.h"
#include "diag/trace_writer.h"
#include "platform/system_calls.h"
#include "support/child_process.h"
#include "support/fake_clock.h"
#include "support/sentence_rig.h"
#include "support/trace_folder.h"

namespace {

using vf::test::CounterLine;
using vf::test::EntryLines;
using vf::test::TraceFolder;

// A writer as a run opens it: with the host's mutex, if there is one.
struct OpenWriter : vf::TraceWriter {
  OpenWriter() : TraceWriter(u"AIS") { Open(); }
};

void Trace(const vf::TraceWriter& app, std::u16string_view message,
           const char16_t* category = vf::kTraceCategoryGeneral) {
  app.WriteTrace(12.5, vf::kTraceProgress, category, message);
}

std::string OldEntries(int first, int count) {
  std::string bytes;
  for (int n = first; n < first + count; ++n) bytes += std::to_string(n) + "|1.000|4|[Other] old " + std::to_string(n) + "\r\r\n";
  return bytes;
}

// Without the host's mutex nothing is touched; a missing folder is not
// created, and the mutex is released after the failed write.
TEST(TraceFile, WithoutTheHostMutexOrTheFolderNothingIsWritten) {
  for (const bool hostMutex : {false, true}) {
    TraceFolder folder({.hostMutex = hostMutex, .tracingFolder = !hostMutex});
    OpenWriter app;
    Trace(app, u"dropped");
    const std::vector<std::string> left = hostMutex ? std::vector<std::string>{}
                                                    : std::vector<std::string>{"VestraFold", "VestraFold/Tracing"};
    EXPECT_EQ(folder.Contents(), left);
    if (!hostMutex) continue;
    EXPECT_EQ(VfWaitNamedMutex(folder.HostMutex(), 0), 0) << "the mutex was released after the failed write";
    VfReleaseNamedMutex(folder.HostMutex());
  }
}

// One line into the status file: the file before (none: it does not exist
// yet), the message, and the bytes after.
TEST(TraceFile, EachLineIsAppendedAndCounted) {
  const struct {
    const char* what;
    std::optional<std::string> before;
    std::u16string message;
    std::string after;
  } cases[] = {
      {"the first line makes a file with counter 1", std::nullopt, u"Plugin started.",
       "1\r\n1|12.500|4|[AIS] Plugin started.\r\r\n"},
      {"control characters are written as their names", std::nullopt, u"a\tb\r\nc",
       "1\r\n1|12.500|4|[AIS] a<TAB>b<CR><LF>c\r\r\n"},
      // An empty entry as written on Windows (CR CR LF) and one written bare (CR LF).
      {"lines holding only a line end survive", "3\r\n1|1.000|4|[A] one\r\r\n\r\r\n\r\n2|1.000|4|[A] two\r\r\n",
       u"three", "4\r\n1|1.000|4|[A] one\r\r\n\r\r\n\r\n2|1.000|4|[A] two\r\r\n4|12.500|4|[AIS] three\r\r\n"},
      {"a damaged counter starts counting again", "not a number\r\nkept\r\n", u"next",
       "1\r\nkept\r\n1|12.500|4|[AIS] next\r\r\n"},
      {"the largest counter wraps to the most negative", "2147483647\r\n", u"next",
       "-2147483648\r\n-2147483648|12.500|4|[AIS] next\r\r\n"},
      {"a counter stuck past the largest goes on", "2147483648\r\n", u"next",
       "-2147483648\r\n-2147483648|12.500|4|[AIS] next\r\r\n"},
      {"a negative counter counts up", "-2147483648\r\n", u"next",
       "-2147483647\r\n-2147483647|12.500|4|[AIS] next\r\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceFolder folder;
    if (c.before) folder.Write("General", *c.before);
    OpenWriter app;
    Trace(app, c.message);
    EXPECT_EQ(folder.Read("General"), c.after);
  }
}

TEST(TraceFile, AFullFileRollsOverItsOldestEntry) {
  TraceFolder folder;
  folder.Write("General", "57\r\n" + OldEntries(1, 200));
  OpenWriter app;
  Trace(app, u"new");
  const std::string bytes = *folder.Read("General");
  const auto entries = EntryLines(bytes);
  EXPECT_EQ(CounterLine(bytes), "58");
  ASSERT_EQ(entries.size(), vf::kTraceEntryLimit);
  EXPECT_EQ(entries.front(), "2|1.000|4|[Other] old 2");
  EXPECT_EQ(entries.back(), "58|12.500|4|[AIS] new");
}

TEST(TraceFile, EachCategoryCountsInItsOwnFile) {
  TraceFolder folder;
  folder.Write("General", "41\r\n");
  OpenWriter app;
  Trace(app, u"status");
  Trace(app, u"!AIVDM", vf::kTraceCategoryReceived);
  Trace(app, u"!AIVDO", vf::kTraceCategoryReceived);
  app.TraceStatus(vf::kTraceError, u"Failed to open serial port: [COM%ld]. %ls.", {7, u"In use"});
  const auto status = EntryLines(*folder.Read("General"));
  ASSERT_EQ(status.size(), 2u);
  EXPECT_EQ(status[0], "42|12.500|4|[AIS] status");
  EXPECT_NE(status[1].find("|1|[AIS] Failed to open serial port: [COM7]. In use."), std::string::npos) << status[1];
  EXPECT_EQ(folder.Read("AIS.dll"), "2\r\n1|12.500|4|[AIS] !AIVDM\r\r\n2|12.500|4|[AIS] !AIVDO\r\r\n");
}

TEST(TraceFile, ABusyMutexDropsTheLineAfterItsWait) {
  TraceFolder folder;
  OpenWriter app;
  std::promise<void> held;
  std::promise<void> done;
  std::thread holder([&] {
    ASSERT_EQ(VfWaitNamedMutex(folder.HostMutex(), 1000), 0);
    held.set_value();
    done.get_future().wait();
    VfReleaseNamedMutex(folder.HostMutex());
  });
  held.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  Trace(app, u"dropped");
  const auto waited = std::chrono::steady_clock::now() - start;
  done.set_value();
  holder.join();
  EXPECT_FALSE(folder.Read("General").has_value());
  EXPECT_GE(waited, std::chrono::milliseconds(vf::kTraceMutexWaitMs));
}

// A write that fails (a full disk) or a wait for the mutex that fails costs
// that entry alone: the mutex is free afterwards and the next entry counts
// on from the file. After a holder that died, the entry is written.
TEST(TraceFile, AFailedWriteOrMutexWaitCostsOnlyThatEntry) {
  using vf::platform::MutexWait;
  using vf::platform::SystemCalls;
  const struct {
    const char* what;
    void (*fault)(SystemCalls&);
    const char* after;
  } cases[] = {
      {"the write fails",
       [](SystemCalls& c) {
         c.rewriteWholeFile = c.replaceWholeFile = [](const std::u16string&, const std::string&) { return false; };
       },
       "1\r\n1|12.500|4|[AIS] second\r\r\n"},
      {"the wait fails", [](SystemCalls& c) { c.waitForNamedMutex = [](vf::platform::Handle, uint32_t) {
         return MutexWait::kFailed;
       }; },
       "1\r\n1|12.500|4|[AIS] second\r\r\n"},
      {"the holder died",
       [](SystemCalls& c) {
         c.waitForNamedMutex = [](vf::platform::Handle mutex, uint32_t timeoutMs) {
           return vf::platform::NativeSystemCalls().waitForNamedMutex(mutex, timeoutMs) == MutexWait::kAcquired
                      ? MutexWait::kAbandoned
                      : MutexWait::kFailed;
         };
       },
       "2\r\n1|12.500|4|[AIS] first\r\r\n2|12.500|4|[AIS] second\r\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceFolder folder;
    OpenWriter app;
    c.fault(vf::platform::ActiveSystemCalls());
    Trace(app, u"first");
    vf::platform::ActiveSystemCalls() = vf::platform::NativeSystemCalls();
    const auto takeAndRelease = [&] {
      const int taken = VfWaitNamedMutex(folder.HostMutex(), 0);
      if (taken >= 0) VfReleaseNamedMutex(folder.HostMutex());
      return taken;
    };
    EXPECT_EQ(std::async(std::launch::async, takeAndRelease).get(), 0) << "the mutex is free";
    Trace(app, u"second");
    EXPECT_EQ(folder.Read("General"), c.after);
  }
}

// The files are shared with other programs and users: written in place, a
// file keeps its owner and mode, leaves no stray file behind, and can be
// written in a folder that is not writable.
TEST(TraceFile, ASharedFileKeepsItsOwnerAndMode) {
  TraceFolder folder;
  folder.Write("General", "1\r\n");
  const std::string path = folder.FileOf("General").string();
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);  // another user's file, as "nobody"
  }
  ASSERT_EQ(chmod(folder.TracingFolder().c_str(), 0555), 0);
  OpenWriter app;
  Trace(app, u"in place");
  chmod(folder.TracingFolder().c_str(), 0755);
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0666u);
  if (root) {
    EXPECT_EQ(after.st_uid, 65534u);
  }
  EXPECT_EQ(EntryLines(*folder.Read("General")).size(), 1u);
  EXPECT_EQ(folder.Contents().size(), 3u) << "no scratch file beside it";
}

TEST(TraceFile, LongPathsAreCutToTheBuffer) {
  const std::u16string folder(300, u'x');
  EXPECT_EQ(vf::TraceFilePath(folder, u"General").size(), 259u);
  EXPECT_EQ(vf::TraceFilePath(u"/data", u"AIS.dll"), u"/data/VestraFold/Tracing/Trace_AIS.dll.txt");
}

// --- the communications monitor's trace of the received traffic -------------
// Written only while its window is open, each line exactly as received,
// before any check.

using vf::test::EntryLines;
using vf::test::TraceFolder;

double EntryTime(const std::string& line) {
  const size_t first = line.find('|');
  return std::stod(line.substr(first + 1, line.find('|', first + 1) - first - 1));
}

const std::vector<std::string> kTraffic = {
    "!AIVDM,1,1,,A,139>Jh501sOcIa0MqLt1j?wp0000,0*3A",  // bad checksum: still mirrored
    "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D",           // not a VDM sentence
    "",                                                   // nothing read: nothing mirrored
    "garbage 100% <>",
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

// A program with a window titled argv[1], running until it gets `ending`.
class WindowHolder {
 public:
  explicit WindowHolder(const char* title, const std::vector<std::string>& settings = {}) {
    int output = -1;
    m_pid = vf::test::Spawn({WINDOW_HOLDER_PATH, title}, settings, {.outputPipe = &output});
    std::string said;
    char c = 0;
    while (said != "ready\n" && read(output, &c, 1) == 1) said += c;
    close(output);
  }
  ~WindowHolder() { End(SIGTERM); }
  void End(int ending) {
    if (m_pid <= 0) return;
    kill(m_pid, ending);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
};

size_t MirroredLines(const TraceFolder& folder) {
  vf::test::SentenceRig rig;  // a new watch asks for the window at once
  rig.Feed(kTraffic[0]);
  return vf::test::EntryLines(folder.Read("AIS.dll").value_or("")).size();
}

// The monitor may be a program of its own: its window is found as FindWindow
// finds any program's, until it closes or the program dies; the user's other
// namespaces are not looked in, and no shared object stays behind.
TEST(MonitorFeed, TheMonitorWindowOfAnotherProgramIsSeenWhileItLives) {
  TraceFolder folder;
  const std::string elsewhereSpace = "another-host-" + std::to_string(getpid());
  const std::string elsewhereList =
      "/dev/shm/vf-windows-u" + std::to_string(geteuid()) + "-" + elsewhereSpace + "-list";
  {
    WindowHolder elsewhere("Communications Monitor", {"VF_OBJECT_NAMESPACE=" + elsewhereSpace});
    EXPECT_EQ(VfFindWindow(u"Communications Monitor"), nullptr);
    EXPECT_EQ(MirroredLines(folder), 0u);
    elsewhere.End(SIGKILL);
  }
  // What the killed program left there goes when a host starts, once it is
  // old enough not to be one being made.
  ASSERT_EQ(access(elsewhereList.c_str(), F_OK), 0);
  const timespec longAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, elsewhereList.c_str(), longAgo, 0), 0);
  VfCloseNamedMutex(VfCreateNamedMutex(u"AnotherHostStarts"));
  EXPECT_NE(access(elsewhereList.c_str(), F_OK), 0) << elsewhereList << " stayed";
  size_t mirrored = 0;
  for (const int ending : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(ending == SIGTERM ? "closed" : "crashed");
    WindowHolder monitor("Communications Monitor");
    const HostWindow found = VfFindWindow(u"Communications Monitor");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(VfIsWindow(found), 1);
    EXPECT_EQ(MirroredLines(folder), ++mirrored);
    monitor.End(ending);
    EXPECT_EQ(VfIsWindow(found), 0);
    EXPECT_EQ(VfFindWindow(u"Communications Monitor"), nullptr);
    EXPECT_EQ(MirroredLines(folder), mirrored);
  }
  const std::string shared =
      "/dev/shm/vf-windows-u" + std::to_string(geteuid()) + "-" + std::getenv("VF_OBJECT_NAMESPACE") + "-list";
  EXPECT_NE(access(shared.c_str(), F_OK), 0) << shared << " stayed";
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
  rig.Feed("first");
  rig.pass.timeOffsetMs = 1500;
  rig.Feed("second");
  VfDestroyWindow(monitor);
  const auto lines = EntryLines(*folder.Read("AIS.dll"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(EntryTime(lines[1]) - EntryTime(lines[0]), 1.5, 1e-6);
}

// --- the text of trace lines ----------------------------------------------

std::u16string Wide(const wchar_t* text) {
  std::u16string out;
  for (; *text != L'\0'; ++text) out += static_cast<char16_t>(*text);
  return out;
}

// The conversions the messages use print as the C run-time prints them.
TEST(TraceText, KnownConversionsPrintAsTheRunTimePrintsThem) {
  wchar_t expected[256];
  std::swprintf(expected, 256, L"%ld|%.3lf|%ld|[%ls] %d%% %lf %.0lf", -5L, 1.23456, 2147483647L, L"AIS", 42, 0.1,
                2.5);
  EXPECT_EQ(vf::FormatText(u"%ld|%.3lf|%ld|[%ls] %d%% %lf %.0lf",
                           {int64_t{-5}, 1.23456, int32_t{2147483647}, u"AIS", 42, 0.1, 2.5}),
            Wide(expected));
}

// A format that a line of received text becomes: what the formatter does
// not know stays as it stands, a conversion without its argument (or with
// an argument of another kind for text) prints nothing, a number's kind
// follows the conversion.
TEST(TraceText, WhatIsNotAConversionOfOursStaysAsItStands) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {vf::FormatText(u"100%"), u"100%"},
      {vf::FormatText(u"%x %5d %q"), u"%x %5d %q"},
      {vf::FormatText(u"%%d %%ls"), u"%d %ls"},
      {vf::FormatText(u"[%ld] [%ld]", {7}), u"[7] []"},
      {vf::FormatText(u"[%ls]", {7}), u"[]"},
      {vf::FormatText(u"%d", {2.9}), u"2"},
      {vf::FormatText(u"%.2lf", {3}), u"3.00"},
      {vf::FormatText(u"%.", {3}), u"%."},
  };
  for (const auto& [formatted, expected] : cases) EXPECT_EQ(formatted, expected);
}

}  // namespace
