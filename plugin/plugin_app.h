// The generic receiver plug-in: the host's configuration and window, the run
// status, and the runs with their two background threads.
//
// Who owns what:
//   m_cfgDevice       the host's calls (any host thread), under m_csConfig;
//                     a run takes a copy when it starts
//   m_hParentWnd      written by the host, read by the device thread: atomic
//   m_nStatus and     under m_csStatus; a thread writes only its own run's
//   m_pCurrentRun     status, and only while that run is the current one
//   m_pRun, m_bStarted, m_pAbandonedRun
//                     StartPlugin and StopPlugin, under m_csLifecycle: host
//                     threads that start and stop at once take turns
//   m_bDialogOpen     ConfigurePlugin: one dialog at a time
//   m_pTimeStamping   the device thread of the run in progress
// At most one run has threads at any time: a start is refused while the
// threads of a run whose stop timed out are still running.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ais_plugin.h"
#include "platform/critical_section.h"
#include "plugin/plugin_run.h"
#include "datapath/time_stamping.h"

class CPluginApp {
 public:
  explicit CPluginApp(const char16_t* name, vf::ClockSource& clock = vf::ClockSource::System());
  virtual ~CPluginApp();
  CPluginApp(const CPluginApp&) = delete;
  CPluginApp& operator=(const CPluginApp&) = delete;

  // Library load and unload.
  int InitInstance();
  int ExitInstance();

  int32_t StartPlugin();
  int32_t StopPlugin();
  bool IsStarted() const { return m_bStarted == 1; }
  uint32_t GetStatus();

  // A configuration given while the plug-in runs is the next run's; the
  // running one takes its option text, time offset and device id at its next
  // pass (PassSettings), and keeps its link.
  void PutConfig(const CCfgDevice& config);
  void GetConfig(CCfgDevice& config);
  // The modal dialog on a copy of the configuration: 0 when the user pressed
  // OK (the copy is then put as by PutConfig), -1 otherwise, unchanged.
  int32_t ConfigurePlugin();

  void PutParent(HostWindow window) { m_hParentWnd.store(window, std::memory_order_release); }
  HostWindow GetParent() const { return m_hParentWnd.load(std::memory_order_acquire); }

  static uint32_t DeviceThreadProc(void* run);
  static uint32_t WorkerThreadProc(void* run);

 protected:
  // Hooks of the thread procedures, in slot order; each runs on its thread
  // with the run it belongs to.
  virtual void ExitDeviceThread(vf::PluginRun&) {}
  virtual void InitDeviceThread(vf::PluginRun&) {}
  virtual void RunDeviceThread(vf::PluginRun& run);
  virtual void ExitWorkerThread(vf::PluginRun&) {}
  virtual void InitWorkerThread(vf::PluginRun&) {}
  virtual void RunWorkerThread(vf::PluginRun& run);
  virtual void OnInitInstance() {}
  virtual void OnExitInstance() {}

  // The run's device link could not be opened (or a hook failed): status 2,
  // unless the run has been stopped meanwhile.
  void SetLinkFailed(const vf::PluginRun& run);
  // The clock, for the device thread.
  CTimeStamping* TimeStamping() const { return m_pTimeStamping.get(); }

 private:
  using Hook = void (CPluginApp::*)(vf::PluginRun&);
  static uint32_t RunThread(void* argument, Hook start, Hook body, Hook stop);
  uint32_t StatusOf(const vf::PluginRun& run);
  bool StartThreads(vf::PluginRun& run);
  // Stops a run that is no longer current; it is released once its threads
  // have ended, or kept until they do.
  void EndRun(std::unique_ptr<vf::PluginRun> run, bool traceTheStop, int32_t& result);

  const std::u16string m_strPluginName;
  std::unique_ptr<CTimeStamping> m_pTimeStamping;
  std::atomic<HostWindow> m_hParentWnd{nullptr};

  vf::platform::CriticalSection m_csConfig;
  CCfgDevice m_cfgDevice;

  vf::platform::CriticalSection m_csStatus;
  uint32_t m_nStatus = kStatusStopped;
  vf::PluginRun* m_pCurrentRun = nullptr;

  vf::platform::CriticalSection m_csLifecycle;
  std::atomic<bool> m_bDialogOpen{false};
  uint32_t m_bStarted = 0;
  std::unique_ptr<vf::PluginRun> m_pRun;
  std::unique_ptr<vf::PluginRun> m_pAbandonedRun;
};
