#include "plugin/plugin_run.h"

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace vf {

using platform::Handle;
using platform::InvalidHandle;
using platform::IsHeld;

PluginRun::PluginRun(CPluginApp& app, const CCfgDevice& config, std::u16string_view pluginName)
    : m_app(app),
      m_cfgDevice(config),
      m_trace(pluginName),
      m_hControlEvent(InvalidHandle()),
      m_hAuxEvent(InvalidHandle()),
      m_hStopEvent(InvalidHandle()),
      m_hDeviceThread(InvalidHandle()),
      m_hWorkerThread(InvalidHandle()),
      m_passSettings(PassSettings::Of(config)) {
  // What a run needs of the system is asked for when it starts and given
  // back when it ends, not for the library's whole life.
  m_trace.Open();
  m_trace.UseRewrite(m_passSettings.feed.replaceTrace ? TraceRewrite::kReplace : TraceRewrite::kInPlace);
  // The events last: a construction that fails (no memory) leaves none open.
  m_hControlEvent = platform::CreateManualResetEvent();
  m_hAuxEvent = platform::CreateManualResetEvent();
  m_hStopEvent = platform::CreateManualResetEvent();
  platform::BeginTimerResolution();
}

PluginRun::~PluginRun() {
  platform::EndTimerResolution();
  for (Handle thread : {m_hDeviceThread, m_hWorkerThread}) {
    if (IsHeld(thread)) platform::CloseThread(thread);
  }
  for (Handle event : {m_hControlEvent, m_hAuxEvent, m_hStopEvent}) {
    if (IsHeld(event)) platform::CloseEvent(event);
  }
}

bool PluginRun::HasEvents() const { return IsHeld(m_hControlEvent) && IsHeld(m_hAuxEvent) && IsHeld(m_hStopEvent); }

void PluginRun::RequestStop() {
  m_bStopRequested.store(true, std::memory_order_release);
  platform::SetEvent(m_hStopEvent);
  platform::SetEvent(m_hControlEvent);  // ends a pending wait for link data at once
}

void PluginRun::Sleep(uint32_t ms) const { platform::WaitForAnyEvent(&m_hStopEvent, 1, ms); }

void PluginRun::HandOver(const PassSettings& settings) {
  platform::CriticalSectionLock lock(m_csPass);
  m_passSettings = settings;
  m_bPassChanged.store(true, std::memory_order_release);
}

PassSettings PluginRun::TakePassSettings() {
  platform::CriticalSectionLock lock(m_csPass);
  m_bPassChanged.store(false, std::memory_order_relaxed);
  return m_passSettings;
}

bool PluginRun::ThreadsEnded() const { return WaitForThreads(0); }

bool PluginRun::WaitForThreads(uint32_t timeoutMs) const {
  for (Handle thread : {m_hDeviceThread, m_hWorkerThread}) {
    if (IsHeld(thread) && !platform::WaitForThread(thread, timeoutMs)) return false;
  }
  return true;
}

}  // namespace vf
