// Start and stop of the two background threads, seen through a plug-in whose
// hooks record what the threads did.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/event.h"
#include "plugin/plugin_app.h"
#include "support/wait_until.h"

namespace {

using vf::platform::IsHeld;
using vf::test::WaitUntil;

class ProbeApp : public CPluginApp {
 public:
  ProbeApp() : CPluginApp(u"Probe") {}

  void InitDeviceThread() override {
    ++deviceStarts;
    if (failLink) SetStatus(kStatusLinkFailed);
  }
  // Ends its pass as soon as the stop signal comes, so stopping is quick.
  void RunDeviceThread() override {
    ++devicePasses;
    vf::platform::WaitForAnyEvent(&m_hControlEvent, 1, 20);
  }
  void ExitDeviceThread() override { ++deviceStops; }
  void InitWorkerThread() override { ++workerStarts; }
  void ExitWorkerThread() override { ++workerStops; }

  bool ControlEventSignalled() { return vf::platform::WaitForAnyEvent(&m_hControlEvent, 1, 0) == 0; }

  bool failLink = false;
  std::atomic<int> deviceStarts{0}, devicePasses{0}, deviceStops{0}, workerStarts{0}, workerStops{0};
};

TEST(PluginLifecycle, StartsBothThreadsAndStopsThemCleanly) {
  ProbeApp app;
  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_EQ(app.m_bStarted, 1u);
  EXPECT_EQ(app.GetStatus(), kStatusRunning);
  EXPECT_FALSE(app.ControlEventSignalled()) << "the start signal is reset before StartPlugin returns";
  // The start hooks run after the threads have signalled their start.
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStarts == 1 && app.workerStarts == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return app.devicePasses > 0; }));

  EXPECT_EQ(app.StopPlugin(), 0);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
  EXPECT_EQ(app.m_bStarted, 0u);
  EXPECT_EQ(app.deviceStops, 1);
  EXPECT_EQ(app.workerStops, 1);
  EXPECT_FALSE(IsHeld(app.m_hDeviceThread));
  EXPECT_FALSE(IsHeld(app.m_hWorkerThread));
  EXPECT_TRUE(IsHeld(app.m_hControlEvent)) << "the events stay open until the next start";
}

TEST(PluginLifecycle, SecondStartIsRefusedAndChangesNothing) {
  ProbeApp app;
  ASSERT_EQ(app.StartPlugin(), 0);
  const vf::platform::Handle device = app.m_hDeviceThread, worker = app.m_hWorkerThread;
  const vf::platform::Handle control = app.m_hControlEvent;
  EXPECT_EQ(app.StartPlugin(), -1);
  EXPECT_EQ(app.m_hDeviceThread, device);
  EXPECT_EQ(app.m_hWorkerThread, worker);
  EXPECT_EQ(app.m_hControlEvent, control);
  EXPECT_EQ(app.GetStatus(), kStatusRunning);
  EXPECT_EQ(app.StopPlugin(), 0);
  EXPECT_EQ(app.deviceStarts, 1);
}

TEST(PluginLifecycle, StopBeforeStartFailsAndChangesNothing) {
  ProbeApp app;
  EXPECT_EQ(app.StopPlugin(), -1);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
  EXPECT_EQ(app.m_bStarted, 0u);
  EXPECT_FALSE(IsHeld(app.m_hControlEvent));
  EXPECT_FALSE(IsHeld(app.m_hDeviceThread));
  EXPECT_EQ(app.deviceStarts, 0);
}

TEST(PluginLifecycle, RestartCreatesFreshEventsAndThreads) {
  ProbeApp app;
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_EQ(app.StopPlugin(), 0);
  EXPECT_TRUE(app.ControlEventSignalled()) << "the stop signal is still set after a stop";

  ASSERT_EQ(app.StartPlugin(), 0);
  EXPECT_FALSE(app.ControlEventSignalled()) << "a restart must not see the old stop signal";
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStarts == 2 && app.workerStarts == 2; }));
  EXPECT_EQ(app.GetStatus(), kStatusRunning);
  EXPECT_EQ(app.StopPlugin(), 0);
  EXPECT_EQ(app.deviceStops, 2);
}

TEST(PluginLifecycle, LinkFailureEndsBothThreadsAndStopStillSucceeds) {
  ProbeApp app;
  app.failLink = true;
  ASSERT_EQ(app.StartPlugin(), 0) << "the start only waits for the threads to begin";
  EXPECT_TRUE(WaitUntil([&] { return app.GetStatus() == kStatusLinkFailed; }));
  EXPECT_TRUE(WaitUntil([&] { return app.deviceStops == 1 && app.workerStops == 1; }));
  EXPECT_EQ(app.devicePasses, 0) << "the loop is skipped after a failed open";
  EXPECT_EQ(app.StopPlugin(), 0);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
}

TEST(PluginLifecycle, StopAfterStopFails) {
  ProbeApp app;
  ASSERT_EQ(app.StartPlugin(), 0);
  ASSERT_EQ(app.StopPlugin(), 0);
  EXPECT_EQ(app.StopPlugin(), -1);
  EXPECT_EQ(app.GetStatus(), kStatusStopped);
}

TEST(PluginLifecycle, ThreadProceduresIgnoreANullObject) {
  EXPECT_EQ(CPluginApp::DeviceThreadProc(nullptr), 0u);
  EXPECT_EQ(CPluginApp::WorkerThreadProc(nullptr), 0u);
}

}  // namespace
