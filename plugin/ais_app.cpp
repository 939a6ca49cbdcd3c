#include "plugin/ais_app.h"

#include "diag/trace_file.h"

#include <new>

void CAISApp::InitDeviceThread(vf::PluginRun& run) {
  m_pass = run.TakePassSettings();
  if (CTimeStamping* clock = TimeStamping()) {
    clock->UseAnchor(m_pass.feed.wholeBits ? CTimeStamping::Anchor::kUtcMidnight : CTimeStamping::Anchor::kLocalMidnight);
  }
  run.m_trace.TraceStatus(vf::kTraceProgress, u"Plugin started.");
  m_pLink = std::make_unique<CDeviceLink>();
  const int32_t opened = m_pLink->OpenDeviceLink(run.m_cfgDevice, m_pass.feed, run.m_trace, run.m_bStopRequested);
  m_bLinkOpened = opened >= 0;
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
  if (m_pass.feed.dropCountsEveryMs != 0) m_sentencePath.NoteLostBelow(m_pLink->LostBelow());
  m_sentencePath.Pass(run.m_trace, m_pass.feed);
  if (m_pLink->WaitForDeviceData(run.m_hControlEvent, run.m_hAuxEvent) != 0) return;
  // Memory that runs out costs the line, not the run.
  try {
    std::string_view line;
    if (m_pLink->ReadDeviceLine(line, run.m_hStopEvent) != 0) return;
    // After the wait: a line sent after a configuration was given is read with it.
    if (run.PassSettingsChanged()) m_pass = run.TakePassSettings();
    m_sentencePath.HandleReceivedLine(line,
                                      {run.m_trace, GetParent(), TimeStamping(), m_pass, run.m_hStopEvent});
  } catch (const std::bad_alloc&) {
    m_sentencePath.LineLostForMemory(run.m_trace);
  }
}

void CAISApp::ExitDeviceThread(vf::PluginRun& run) {
  if (m_pLink) {
    m_sentencePath.NoteLostBelow(m_pLink->LostBelow());  // before the port is closed
    m_pLink->CloseDeviceLink(run.m_trace);
  }
  m_pLink.reset();  // with it the socket layer, until the next run
  m_sentencePath.EndOfRun(run.m_trace, m_pass.feed, m_bLinkOpened);
  run.m_trace.TraceStatus(vf::kTraceProgress, u"Plugin stopped.");
}
