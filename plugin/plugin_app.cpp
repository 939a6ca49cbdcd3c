#include "plugin_app.h"

#include <new>

#include "diag/trace_file.h"
#include "links/mfc_serial.h"
#include "links/tcp_client.h"
#include "links/udp_session.h"
#include "platform/clock.h"
#include "platform/config_dialog_window.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/thread.h"

using vf::platform::CriticalSectionLock;
using vf::platform::InvalidHandle;
using vf::platform::IsHeld;

namespace {

constexpr uint32_t kThreadStartWaitMs = 10000;
constexpr uint32_t kThreadStopWaitMs = 10000;
constexpr uint32_t kIdleLoopMs = 1000;
constexpr uint32_t kThreadExitPauseMs = 500;

}  // namespace

CPluginApp::CPluginApp(const char16_t* name, vf::ClockSource& clock)
    : m_hLogMutex(nullptr),
      m_hControlEvent(InvalidHandle()),
      m_hAuxEvent(InvalidHandle()),
      m_hDeviceThread(InvalidHandle()),
      m_hWorkerThread(InvalidHandle()) {
  m_strPluginName = name;
  // A link object that cannot be made leaves its pointer null; the link
  // operations then refuse to run.
  m_pSerial = new (std::nothrow) CMFCSerial;
  m_pTcp = new (std::nothrow) CTcp;
  m_pUdp = new (std::nothrow) CUdp;
  m_pUdpRemote = new (std::nothrow) CUdp;
  m_pTimeStamping = new (std::nothrow) CTimeStamping(clock);
  if (m_pTimeStamping != nullptr) m_pTimeStamping->Synchronize();
  m_hLogMutex = vf::platform::OpenNamedMutex(kAisTraceMutexName);
}

CPluginApp::~CPluginApp() {
  delete m_pSerial;
  delete m_pTcp;
  delete m_pUdp;
  delete m_pUdpRemote;
  delete m_pTimeStamping;
  CloseEvents();
  CloseThreadHandles();
  if (m_hLogMutex != nullptr) vf::platform::CloseNamedMutex(m_hLogMutex);
}

int CPluginApp::InitInstance() {
  OnInitInstance();
  return 1;
}

int CPluginApp::ExitInstance() {
  OnExitInstance();
  return 0;
}

void CPluginApp::RunDeviceThread() { vf::platform::SleepMs(kIdleLoopMs); }
void CPluginApp::RunWorkerThread() { vf::platform::SleepMs(kIdleLoopMs); }

uint32_t CPluginApp::GetStatus() {
  CriticalSectionLock lock(m_csStatus);
  return m_nStatus;
}

void CPluginApp::SetStatus(uint32_t status) {
  CriticalSectionLock lock(m_csStatus);
  m_nStatus = status;
}

int32_t CPluginApp::StartPlugin() {
  if (m_bStarted == 1) return -1;
  ApplyPendingConfig();  // one held back by a stop whose threads did not end
  m_bStopRequested = false;
  CloseEvents();  // those of a previous start
  m_hControlEvent = vf::platform::CreateManualResetEvent();
  if (!IsHeld(m_hControlEvent)) return -1;
  m_hAuxEvent = vf::platform::CreateManualResetEvent();
  if (!IsHeld(m_hAuxEvent)) {
    CloseEvents();
    return -1;
  }
  vf::platform::ResetEvent(m_hControlEvent);
  vf::platform::ResetEvent(m_hAuxEvent);
  SetStatus(kStatusRunning);
  if (StartThreads() != 0) {
    RollBackStart();
    return -1;
  }
  m_bStarted = 1;
  return 0;
}

int32_t CPluginApp::StartThreads() {
  struct ThreadSlot {
    vf::platform::Handle* handle;
    vf::platform::ThreadProc proc;
  };
  for (const ThreadSlot slot : {ThreadSlot{&m_hDeviceThread, &DeviceThreadProc},
                                ThreadSlot{&m_hWorkerThread, &WorkerThreadProc}}) {
    *slot.handle = vf::platform::StartThread(slot.proc, this);
    if (!IsHeld(*slot.handle)) return -1;
    if (vf::platform::WaitForAnyEvent(&m_hControlEvent, 1, kThreadStartWaitMs) != 0) return -1;
    vf::platform::ResetEvent(m_hControlEvent);
    vf::platform::ResetEvent(m_hAuxEvent);
  }
  return 0;
}

// A failed start must not leave a thread running behind a plug-in that
// reports itself stopped: stop what was created and release it.
void CPluginApp::RollBackStart() {
  SetStatus(kStatusStopped);
  vf::platform::SetEvent(m_hControlEvent);
  for (vf::platform::Handle thread : {m_hDeviceThread, m_hWorkerThread}) {
    if (IsHeld(thread)) vf::platform::WaitForThread(thread, kThreadStopWaitMs);
  }
  CloseThreadHandles();
  CloseEvents();
}

int32_t CPluginApp::StopPlugin() {
  int32_t result = -1;
  if (m_bStarted == 1) {
    if (!IsHeld(m_hDeviceThread) && !IsHeld(m_hWorkerThread)) {
      m_bStarted = 0;
      return -1;
    }
    m_bStopRequested = true;
    SetStatus(kStatusStopped);
    vf::platform::SetEvent(m_hControlEvent);
    const bool deviceEnded = !IsHeld(m_hDeviceThread) || vf::platform::WaitForThread(m_hDeviceThread, kThreadStopWaitMs);
    const bool workerEnded =
        deviceEnded && (!IsHeld(m_hWorkerThread) || vf::platform::WaitForThread(m_hWorkerThread, kThreadStopWaitMs));
    if (deviceEnded && workerEnded) {
      TraceStatus(vf::kTraceSuccess, u"All plugin background processes have been stopped.");
      // A link that failed while the stop broke off its opening leaves no
      // status 2 behind: a stopped plug-in reports 0.
      SetStatus(kStatusStopped);
      result = 0;
    }
  }
  CloseThreadHandles();
  m_bStarted = 0;
  if (result == 0) ApplyPendingConfig();
  return result;
}

void CPluginApp::PutConfig(const CCfgDevice& config) {
  if (m_bStarted == 1) {
    m_cfgPending = config;
    m_bConfigPending = true;
    return;
  }
  m_cfgDevice = config;
}

void CPluginApp::GetConfig(CCfgDevice& config) const { config = m_bConfigPending ? m_cfgPending : m_cfgDevice; }

int32_t CPluginApp::ConfigurePlugin() {
  CCfgDevice record;
  GetConfig(record);
  if (vf::ui::ConfigureWithDialog(record, vf::platform::RunConfigDialog) != 0) return -1;
  PutConfig(record);
  return 0;
}

void CPluginApp::ApplyPendingConfig() {
  if (!m_bConfigPending) return;
  m_cfgDevice = m_cfgPending;
  m_bConfigPending = false;
}

void CPluginApp::CloseEvents() {
  for (vf::platform::Handle* event : {&m_hControlEvent, &m_hAuxEvent}) {
    if (IsHeld(*event)) vf::platform::CloseEvent(*event);
    *event = InvalidHandle();
  }
}

void CPluginApp::CloseThreadHandles() {
  for (vf::platform::Handle* thread : {&m_hDeviceThread, &m_hWorkerThread}) {
    if (IsHeld(*thread)) vf::platform::CloseThread(*thread);
    *thread = InvalidHandle();
  }
}

uint32_t CPluginApp::DeviceThreadProc(void* argument) {
  return RunThread(argument, &CPluginApp::InitDeviceThread, &CPluginApp::RunDeviceThread,
                   &CPluginApp::ExitDeviceThread);
}

uint32_t CPluginApp::WorkerThreadProc(void* argument) {
  return RunThread(argument, &CPluginApp::InitWorkerThread, &CPluginApp::RunWorkerThread,
                   &CPluginApp::ExitWorkerThread);
}

uint32_t CPluginApp::RunThread(void* argument, Hook start, Hook body, Hook stop) {
  if (argument == nullptr) return 0;
  auto* app = static_cast<CPluginApp*>(argument);
  if (IsHeld(app->m_hControlEvent)) vf::platform::SetEvent(app->m_hControlEvent);
  (app->*start)();
  while (app->GetStatus() == kStatusRunning) (app->*body)();
  (app->*stop)();
  vf::platform::SleepMs(kThreadExitPauseMs);
  return 0;
}

void CPluginApp::WriteTrace(double time, int32_t level, std::u16string_view category, std::u16string_view format,
                            std::initializer_list<vf::FormatArg> args) {
  if (m_hLogMutex == nullptr) return;  // no host mutex: the host keeps no trace
  const std::u16string path = vf::TraceFilePath(vf::platform::CommonAppDataFolder(), category);
  vf::AppendTraceEntry(m_hLogMutex, path, time, level, m_strPluginName, vf::FormatText(format, args));
}

void CPluginApp::TraceStatus(int32_t level, std::u16string_view format, std::initializer_list<vf::FormatArg> args) {
  WriteTrace(vf::platform::SystemTimeSeconds(), level, vf::kTraceCategoryGeneral, format, args);
}

double CPluginApp::ReceiveTime() {
  if (m_pTimeStamping == nullptr) return 0.0;
  return m_pTimeStamping->GetTime() + TimeOffsetSeconds();
}
