#include "plugin/ais_app.h"

#include "diag/trace_file.h"

#include <new>

void CAISApp::InitDeviceThread(vf::PluginRun& run) {
  run.m_pDeviceState = std::make_unique<DeviceRun>();
  DeviceRun& device = *DeviceRunOf(run);
  device.pass = run.TakePassSettings();
  if (CTimeStamping* clock = TimeStamping()) {
    const vf::FeedOptions& feed = device.pass.feed;
    clock->UseAnchor(feed.wholeBits || feed.followWallClock ? CTimeStamping::Anchor::kUtcMidnight
                                                            : CTimeStamping::Anchor::kLocalMidnight);
    clock->FollowWallClock(feed.followWallClock);
    if (feed.followWallClock) clock->Synchronize();  // a start long after the load stamps from now on
  }
  run.m_trace.TraceStatus(vf::kTraceProgress, u"Plugin started.");
  const int32_t opened = device.link.OpenDeviceLink(run.m_cfgDevice, device.pass.feed, run.m_trace,
                                                    run.m_bStopRequested, run.m_hStopEvent);
  device.linkOpened = opened >= 0;
  if (opened == 0) {
    run.m_trace.TraceStatus(vf::kTraceSuccess, u"Plugin is running successfully");
    return;
  }
  if (opened == 1) return;  // still running: the passes open the link
  if (run.StopRequested()) return;  // a stop cut the open short: the closing lines say so
  run.m_trace.TraceStatus(vf::kTraceError, u"Failed to open or initialize device connection");
  SetLinkFailed(run);
}

void CAISApp::RunDeviceThread(vf::PluginRun& run) {
  DeviceRun* state = DeviceRunOf(run);
  if (state == nullptr) return;
  // Memory that runs out costs what the pass was doing, never the run: a
  // line being read is dropped and counted; a count or a reconnect step is done
  // again by a later pass, after a pause, so that lasting want does not spin.
  bool lineRead = false;
  try {
    RunPass(run, *state, lineRead);
  } catch (const std::bad_alloc&) {
    if (lineRead) {
      m_sentencePath.LineLostForMemory(run.m_trace);
    } else {
      run.Sleep(kMemoryPauseMs);
    }
  }
}

void CAISApp::RunPass(vf::PluginRun& run, DeviceRun& device, bool& lineRead) {
  if (device.pass.feed.dropCountsEveryMs != 0) m_sentencePath.NoteLostBelow(device.link.LostBelow());
  m_sentencePath.Pass(run.m_trace, device.pass.feed);
  if (device.link.WaitForDeviceData(run.m_hControlEvent, run.m_hAuxEvent) != 0) return;
  lineRead = true;  // from here on, what fails costs the line being read
  std::string_view line;
  if (device.link.ReadDeviceLine(line, run.m_hStopEvent) != 0) return;
  // After the wait: a line sent after a configuration was given is read with it.
  if (run.PassSettingsChanged()) device.pass = run.TakePassSettings();
  m_sentencePath.HandleReceivedLine(line, {run.m_trace, GetParent(), TimeStamping(), device.pass, run.m_hStopEvent});
}

void CAISApp::ExitDeviceThread(vf::PluginRun& run) {
  if (DeviceRun* device = DeviceRunOf(run)) {
    m_sentencePath.NoteLostBelow(device->link.LostBelow());  // before the port is closed
    device->link.CloseDeviceLink(run.m_trace);
    m_sentencePath.EndOfRun(run.m_trace, device->pass.feed, device->linkOpened);
  } else {
    m_sentencePath.EndOfRun(run.m_trace, vf::FeedOptions{}, false);
  }
  run.m_pDeviceState.reset();  // with the link the socket layer, until the next run
  run.m_trace.TraceStatus(vf::kTraceProgress, u"Plugin stopped.");
}
