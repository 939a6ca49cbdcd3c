// One run of the plug-in, from a StartPlugin to the end of its two threads:
// everything those threads use is here, made when the run starts and
// released only after both threads have ended.
//
// Who touches what:
//   the host's thread   makes the run, hands over pass settings, requests the
//                       stop, waits for the threads and releases the run;
//   the run's threads   read the configuration snapshot, the events and the
//                       stop request, take the pass settings, and trace;
//                       the device thread alone has its state.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "ais_plugin.h"
#include "datapath/pass_settings.h"
#include "diag/trace_writer.h"
#include "platform/critical_section.h"
#include "platform/handle.h"

class CPluginApp;

namespace vf {

// What a device thread keeps for its run beyond what is here (the link it
// opened, the pass settings in use): made by its init hook, used by that
// thread alone, released with the run.
class DeviceThreadState {
 public:
  virtual ~DeviceThreadState() = default;
};

class PluginRun {
 public:
  PluginRun(CPluginApp& app, const CCfgDevice& config, std::u16string_view pluginName);
  ~PluginRun();
  PluginRun(const PluginRun&) = delete;
  PluginRun& operator=(const PluginRun&) = delete;

  // False when an event could not be made: the run cannot start.
  bool HasEvents() const;

  // Host's thread: the stop request, seen by every wait of the run's threads.
  void RequestStop();
  bool StopRequested() const { return m_bStopRequested.load(std::memory_order_acquire); }
  // Run's threads: sleeps up to `ms`, less when the stop comes.
  void Sleep(uint32_t ms) const;

  // Host's thread hands settings over; the device thread takes them when
  // they changed, at the start of a pass.
  void HandOver(const PassSettings& settings);
  bool PassSettingsChanged() const { return m_bPassChanged.load(std::memory_order_acquire); }
  PassSettings TakePassSettings();

  // True when neither thread is still running; the run may then be released.
  bool ThreadsEnded() const;
  // Waits for each thread up to `timeoutMs`; true when both ended.
  bool WaitForThreads(uint32_t timeoutMs) const;

  CPluginApp& m_app;
  const CCfgDevice m_cfgDevice;  // as given when the run started; link fields are read here
  TraceWriter m_trace;           // the host's mutex, held for the run
  std::atomic<bool> m_bStopRequested{false};
  // Set by each thread as it begins (the start handshake), and by the stop.
  platform::Handle m_hControlEvent;
  platform::Handle m_hAuxEvent;    // nothing in the plug-in sets it; the link waits wake on it
  platform::Handle m_hStopEvent;   // set by the stop only: ends the threads' sleeps
  platform::Handle m_hDeviceThread;
  platform::Handle m_hWorkerThread;
  std::unique_ptr<DeviceThreadState> m_pDeviceState;

 private:
  platform::CriticalSection m_csPass;
  PassSettings m_passSettings;
  std::atomic<bool> m_bPassChanged{false};
};

}  // namespace vf
