// Start and stop of the two background threads, seen through a plug-in whose
// hooks record what the threads did, with failures of the system calls on
// demand: no thread outlives its run, nothing thrown reaches the host, and a
// configuration is never lost.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>

#include "platform/event.h"
#include "platform/system_calls.h"
#include "plugin/plugin_app.h"
#include "support/wait_until.h"

namespace {

using vf::test::WaitUntil;

class ProbeApp : public CPluginApp {
 public:
  ProbeApp() : CPluginApp(u"Probe") {}
  ~ProbeApp() override { vf::platform::CloseEvent(release); }

  void InitDeviceThread(vf::PluginRun& run) override {
    ++deviceStarts;
    ++liveDeviceThreads;
    deviceIdSeen = run.m_cfgDevice.m_nDeviceId;
    if (longOpen) run.Sleep(60000);  // as a TCP open: until the stop
    if (failLink) SetLinkFailed(run);
  }
  void RunDeviceThread(vf::PluginRun& run) override {
    ++devicePasses;
    if (throwInPass) throw std::runtime_error("a hook that throws");
    if (deafToStop) vf::platform::WaitForAnyEvent(&release, 1, 60000);  // a pass that ignores the stop
    static_cast<void>(GetParent());
    run.Sleep(5);
  }
  void ExitDeviceThread(vf::PluginRun&) override {
    ++deviceStops;
    --liveDeviceThreads;
  }
  void InitWorkerThread(vf::PluginRun&) override { ++workerStarts; }
  void ExitWorkerThread(vf::PluginRun&) override { ++workerStops; }

  std::atomic<bool> failLink{false}, longOpen{false}, throwInPass{false}, deafToStop{false};
  std::atomic<int> deviceStarts{0}, devicePasses{0}, deviceStops{0}, workerStarts{0}, workerStops{0};
  std::atomic<int> liveDeviceThreads{0}, deviceIdSeen{0};
  vf::platform::Handle release = vf::platform::CreateManualResetEvent();
};

// Replaces system calls for one test and puts the native ones back.
class SystemCallFaults {
 public:
  ~SystemCallFaults() { vf::platform::ActiveSystemCalls() = vf::platform::NativeSystemCalls(); }
  vf::platform::SystemCalls& calls = vf::platform::ActiveSystemCalls();
};

std::atomic<int> g_threadsStarted{0};

TEST(PluginLifecycle, StartsBothThreadsAndStopsThemQuickly) {
  ProbeApp app;
  EXPECT_EQ(app.StopPlugin(), -1) << "a stop before the start fails";
  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_TRUE(app.IsStarted());
  EXPECT_EQ(app.GetStatus(), kStatusRunning);
  EXPECT_EQ(app.StartPlugin(), -1) << "a second start is refused";
  // The start hooks run after the threads have signalled their start.
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStarts == 1 && app.workerStarts == 1 && app.devicePasses > 0; }));

  const auto stopAsked = std::chrono::steady_clock::now();
  EXPECT_EQ(app.StopPlugin(), 0);
  // The worker's idle second and the exit pauses end with the stop signal.
  EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, std::chrono::milliseconds(500));
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
  EXPECT_FALSE(app.IsStarted());
  EXPECT_EQ(app.deviceStops, 1);
  EXPECT_EQ(app.workerStops, 1);
  EXPECT_EQ(app.StopPlugin(), -1) << "a second stop fails";

  ASSERT_EQ(app.StartPlugin(), 0) << "a restart makes a fresh run";
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStarts == 2 && app.workerStarts == 2; }));
  EXPECT_EQ(app.StopPlugin(), 0);
}

// A link that fails to open, or a hook that throws: the run ends (both
// threads, their stop hooks run) but not the host, and the stop succeeds.
TEST(PluginLifecycle, AFailedLinkOrAThrowingHookEndsTheRunAndStopStillSucceeds) {
  for (const bool throwing : {false, true}) {
    ProbeApp app;
    app.failLink = !throwing;
    app.throwInPass = throwing;
    ASSERT_EQ(app.StartPlugin(), 0) << "the start only waits for the threads to begin";
    EXPECT_TRUE(WaitUntil([&] { return app.GetStatus() == kStatusLinkFailed; }));
    EXPECT_TRUE(WaitUntil([&] { return app.deviceStops == 1 && app.workerStops == 1; }));
    EXPECT_EQ(app.devicePasses, throwing ? 1 : 0) << "after a failed open the loop is skipped";
    EXPECT_EQ(app.StopPlugin(), 0);
    EXPECT_EQ(app.GetStatus(), kStatusStopped);
  }
}

// The second thread cannot be made while the device thread is in a long
// open: the failed start stops that thread before it returns, and the next
// start runs one device thread, not two.
TEST(PluginLifecycle, AFailedStartLeavesNoThreadBehind) {
  ProbeApp app;
  app.longOpen = true;
  SystemCallFaults faults;
  g_threadsStarted = 0;
  faults.calls.startThread = [](vf::platform::ThreadProc proc, void* argument) {
    if (++g_threadsStarted == 2) return vf::platform::InvalidHandle();
    return vf::platform::NativeSystemCalls().startThread(proc, argument);
  };
  EXPECT_EQ(app.StartPlugin(), -1);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
  EXPECT_EQ(app.liveDeviceThreads, 0) << "the rolled-back device thread has ended";
  EXPECT_EQ(app.deviceStops, 1);

  faults.calls.startThread = vf::platform::NativeSystemCalls().startThread;
  app.longOpen = false;
  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_TRUE(WaitUntil([&] { return app.devicePasses > 0; }));
  EXPECT_EQ(app.liveDeviceThreads, 1);
  EXPECT_EQ(app.StopPlugin(), 0);
}

TEST(PluginLifecycle, NoEventsOrNoMemoryForAThreadIsAFailedStart) {
  ProbeApp app;
  SystemCallFaults faults;
  faults.calls.createEvent = [] { return vf::platform::InvalidHandle(); };
  EXPECT_EQ(app.StartPlugin(), -1);
  faults.calls.createEvent = vf::platform::NativeSystemCalls().createEvent;
  faults.calls.startThread = [](vf::platform::ThreadProc, void*) -> vf::platform::Handle { throw std::bad_alloc(); };
  EXPECT_EQ(app.StartPlugin(), -1);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
  faults.calls.startThread = vf::platform::NativeSystemCalls().startThread;
  EXPECT_EQ(app.StartPlugin(), 0);
  EXPECT_EQ(app.StopPlugin(), 0);
}

// A device thread that does not end within the stop's 10 s: the stop fails,
// the thread keeps its run (events, configuration) to itself, no start runs
// beside it, and a configuration given meanwhile is the next run's.
TEST(PluginLifecycle, AfterATimedOutStopTheOldThreadKeepsItsRunAndNothingIsLost) {
  ProbeApp app;
  app.deafToStop = true;
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_TRUE(WaitUntil([&] { return app.devicePasses > 0; }));
  EXPECT_EQ(app.StopPlugin(), -1);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);

  CCfgDevice config;
  config.m_nDeviceId = 42;
  app.PutConfig(config);
  CCfgDevice reported;
  app.GetConfig(reported);
  EXPECT_EQ(reported.m_nDeviceId, 42);
  EXPECT_EQ(app.StartPlugin(), -1) << "the old device thread is still in its run";

  app.deafToStop = false;
  vf::platform::SetEvent(app.release);
  ASSERT_TRUE(WaitUntil([&] { return app.liveDeviceThreads == 0; }));
  ASSERT_TRUE(WaitUntil([&] { return app.StartPlugin() == 0; }));
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStarts == 2; }));
  EXPECT_EQ(app.deviceIdSeen, 42) << "the configuration given after the failed stop";
  EXPECT_EQ(app.StopPlugin(), 0);
}

// The host's window changes while the device thread reads it (ThreadSanitizer
// watches this suite).
TEST(PluginLifecycle, TheParentWindowMayChangeWhileRunning) {
  ProbeApp app;
  ASSERT_EQ(app.StartPlugin(), 0);
  int window = 0;
  for (int i = 0; i < 200; ++i) app.PutParent(i % 2 ? &window : nullptr);
  EXPECT_EQ(app.StopPlugin(), 0);
}

}  // namespace
