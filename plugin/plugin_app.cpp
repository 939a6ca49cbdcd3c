#include "plugin_app.h"

#include <new>

#include "diag/trace_file.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "ui/config_dialog.h"

using vf::PluginRun;
using vf::platform::CriticalSectionLock;
using vf::platform::IsHeld;

namespace {

constexpr uint32_t kThreadStartWaitMs = 10000;
constexpr uint32_t kThreadStopWaitMs = 10000;
constexpr uint32_t kIdleLoopMs = 1000;
constexpr uint32_t kThreadExitPauseMs = 500;

}  // namespace

CPluginApp::CPluginApp(const char16_t* name, vf::ClockSource& clock)
    : m_strPluginName(name), m_pTimeStamping(new (std::nothrow) CTimeStamping(clock)) {
  if (m_pTimeStamping != nullptr) m_pTimeStamping->Synchronize();
}

CPluginApp::~CPluginApp() {
  // A run whose threads still run cannot be released: they use it. Such a
  // library is being unloaded under its own threads, which no release can mend.
  for (std::unique_ptr<PluginRun>* run : {&m_pRun, &m_pAbandonedRun}) {
    if (*run && !(*run)->ThreadsEnded()) static_cast<void>(run->release());
  }
}

int CPluginApp::InitInstance() {
  OnInitInstance();
  return 1;
}

int CPluginApp::ExitInstance() {
  OnExitInstance();
  return 0;
}

void CPluginApp::RunDeviceThread(PluginRun& run) { run.Sleep(kIdleLoopMs); }
void CPluginApp::RunWorkerThread(PluginRun& run) { run.Sleep(kIdleLoopMs); }

uint32_t CPluginApp::GetStatus() {
  CriticalSectionLock lock(m_csStatus);
  return m_nStatus;
}

uint32_t CPluginApp::StatusOf(const PluginRun& run) {
  CriticalSectionLock lock(m_csStatus);
  return &run == m_pCurrentRun ? m_nStatus : kStatusStopped;
}

void CPluginApp::SetLinkFailed(const PluginRun& run) {
  CriticalSectionLock lock(m_csStatus);
  if (&run == m_pCurrentRun && m_nStatus == kStatusRunning) m_nStatus = kStatusLinkFailed;
}

int32_t CPluginApp::StartPlugin() {
  CriticalSectionLock lifecycle(m_csLifecycle);
  if (m_bStarted == 1) return -1;
  // The threads of a run whose stop timed out use the links and the store
  // of sentence fragments: no second run while they are there.
  if (m_pAbandonedRun) {
    if (!m_pAbandonedRun->ThreadsEnded()) return -1;
    m_pAbandonedRun.reset();
  }
  std::unique_ptr<PluginRun> run;
  try {
    CCfgDevice config;
    GetConfig(config);
    run = std::make_unique<PluginRun>(*this, config, m_strPluginName);
  } catch (...) {
    return -1;  // no memory for the run
  }
  if (!run->HasEvents()) return -1;
  {
    CriticalSectionLock lock(m_csStatus);
    m_nStatus = kStatusRunning;
    m_pCurrentRun = run.get();
  }
  bool started = false;
  try {
    started = StartThreads(*run);
  } catch (...) {  // the threads could not be made
  }
  if (!started) {
    int32_t ignored = -1;
    EndRun(std::move(run), false, ignored);
    return -1;
  }
  m_pRun = std::move(run);
  m_bStarted = 1;
  return 0;
}

bool CPluginApp::StartThreads(PluginRun& run) {
  struct ThreadSlot {
    vf::platform::Handle* handle;
    vf::platform::ThreadProc proc;
  };
  for (const ThreadSlot slot : {ThreadSlot{&run.m_hDeviceThread, &DeviceThreadProc},
                                ThreadSlot{&run.m_hWorkerThread, &WorkerThreadProc}}) {
    *slot.handle = vf::platform::StartThread(slot.proc, &run);
    if (!IsHeld(*slot.handle)) return false;
    if (vf::platform::WaitForAnyEvent(&run.m_hControlEvent, 1, kThreadStartWaitMs) != 0) return false;
    vf::platform::ResetEvent(run.m_hControlEvent);
    vf::platform::ResetEvent(run.m_hAuxEvent);
  }
  return true;
}

int32_t CPluginApp::StopPlugin() {
  CriticalSectionLock lifecycle(m_csLifecycle);
  if (m_bStarted == 0) return -1;
  m_bStarted = 0;
  int32_t result = -1;
  EndRun(std::move(m_pRun), true, result);
  return result;
}

void CPluginApp::EndRun(std::unique_ptr<PluginRun> run, bool traceTheStop, int32_t& result) {
  {
    CriticalSectionLock lock(m_csStatus);
    m_nStatus = kStatusStopped;  // also after a failed link: a stopped plug-in reports 0
    m_pCurrentRun = nullptr;
  }
  run->RequestStop();
  if (!run->WaitForThreads(kThreadStopWaitMs)) {
    m_pAbandonedRun = std::move(run);  // released at the next start, once its threads have ended
    return;
  }
  if (traceTheStop) run->m_trace.TraceStatus(vf::kTraceSuccess, u"All plugin background processes have been stopped.");
  result = 0;
}

void CPluginApp::PutConfig(const CCfgDevice& config) {
  const vf::PassSettings pass = vf::PassSettings::Of(config);
  {
    CriticalSectionLock lock(m_csConfig);
    m_cfgDevice = config;
  }
  CriticalSectionLock lock(m_csStatus);
  if (m_pCurrentRun != nullptr) m_pCurrentRun->HandOver(pass);
}

void CPluginApp::GetConfig(CCfgDevice& config) {
  CriticalSectionLock lock(m_csConfig);
  config = m_cfgDevice;
}

int32_t CPluginApp::ConfigurePlugin() {
  // One dialog at a time: a second call, from another host thread, is refused.
  if (m_bDialogOpen.exchange(true)) return -1;
  struct Closed {
    std::atomic<bool>& open;
    ~Closed() { open.store(false); }
  } closed{m_bDialogOpen};
  CCfgDevice record;
  GetConfig(record);
  if (vf::ui::ConfigureWithDialog(record, vf::ui::RunConfigDialog) != 0) return -1;
  PutConfig(record);
  return 0;
}

uint32_t CPluginApp::DeviceThreadProc(void* run) {
  return RunThread(run, &CPluginApp::InitDeviceThread, &CPluginApp::RunDeviceThread, &CPluginApp::ExitDeviceThread);
}

uint32_t CPluginApp::WorkerThreadProc(void* run) {
  return RunThread(run, &CPluginApp::InitWorkerThread, &CPluginApp::RunWorkerThread, &CPluginApp::ExitWorkerThread);
}

uint32_t CPluginApp::RunThread(void* argument, Hook start, Hook body, Hook stop) {
  if (argument == nullptr) return 0;
  PluginRun& run = *static_cast<PluginRun*>(argument);
  CPluginApp& app = run.m_app;
  // Nothing thrown may end the host: a hook that throws ends the run as a
  // failed link does, and the stop hook still runs.
  const auto fenced = [&](Hook hook) {
    try {
      (app.*hook)(run);
    } catch (...) {
      app.SetLinkFailed(run);
    }
  };
  vf::platform::SetEvent(run.m_hControlEvent);
  fenced(start);
  while (!run.StopRequested() && app.StatusOf(run) == kStatusRunning) fenced(body);
  fenced(stop);
  run.Sleep(kThreadExitPauseMs);
  return 0;
}
