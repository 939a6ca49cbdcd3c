// The generic receiver plug-in: configuration, host window, links, clock, the
// two background threads with their run status, and the trace.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "ais_plugin.h"
#include "diag/text_format.h"
#include "platform/critical_section.h"
#include "platform/handle.h"
#include "plugin/time_stamping.h"

class CMFCSerial;
class CTcp;
class CUdp;

class CPluginApp {
 public:
  explicit CPluginApp(const char16_t* name, vf::ClockSource& clock = vf::ClockSource::System());
  virtual ~CPluginApp();
  CPluginApp(const CPluginApp&) = delete;
  CPluginApp& operator=(const CPluginApp&) = delete;

  // Library load and unload.
  int InitInstance();
  int ExitInstance();

  // Hooks of the thread procedures, in slot order.
  virtual void ExitDeviceThread() {}
  virtual void InitDeviceThread() {}
  virtual void RunDeviceThread();
  virtual void ExitWorkerThread() {}
  virtual void InitWorkerThread() {}
  virtual void RunWorkerThread();
  virtual void OnInitInstance() {}
  virtual void OnExitInstance() {}

  int32_t StartPlugin();
  int32_t StopPlugin();

  // The host's configuration calls. While the plug-in runs, its device
  // thread reads m_cfgDevice; a configuration given meanwhile is held back
  // (and is what GetConfig reports) until the threads have stopped.
  void PutConfig(const CCfgDevice& config);
  void GetConfig(CCfgDevice& config) const;
  // The modal dialog on a copy of the configuration: 0 when the user pressed
  // OK (the copy is then put as by PutConfig), -1 otherwise, unchanged.
  int32_t ConfigurePlugin();
  uint32_t GetStatus();
  void SetStatus(uint32_t status);

  // One trace entry; `format` takes the arguments in the manner of wprintf.
  void WriteTrace(double time, int32_t level, std::u16string_view category, std::u16string_view format,
                  std::initializer_list<vf::FormatArg> args = {});
  // A status line of the frame or the links: category "General", system time.
  void TraceStatus(int32_t level, std::u16string_view format, std::initializer_list<vf::FormatArg> args = {});

  // The link that the configuration selects, as of each call; all four run
  // on the device thread.
  int32_t OpenDeviceLink();
  int32_t WaitForDeviceData();
  int32_t ReadDeviceLine(CWideString& line);
  void CloseDeviceLink();
  // Wide text in the system's 8-bit code page, for the socket layer.
  static std::string ToAnsiString(const CWideString& text);

  // The clock plus the configured offset, or 0.0 without a clock.
  double ReceiveTime();
  double TimeOffsetSeconds() const { return m_cfgDevice.m_nTimeOffset / 1000.0; }

  static uint32_t DeviceThreadProc(void* argument);
  static uint32_t WorkerThreadProc(void* argument);

  HostWindow m_hParentWnd = nullptr;
  vf::platform::Handle m_hLogMutex;
  CCfgDevice m_cfgDevice;
  std::u16string m_strPluginName;
  CMFCSerial* m_pSerial = nullptr;
  CTcp* m_pTcp = nullptr;
  CUdp* m_pUdp = nullptr;
  CUdp* m_pUdpRemote = nullptr;
  vf::platform::Handle m_hControlEvent;
  vf::platform::Handle m_hAuxEvent;
  vf::platform::Handle m_hDeviceThread;
  vf::platform::Handle m_hWorkerThread;
  uint32_t m_nStatus = kStatusStopped;
  uint32_t m_bStarted = 0;
  CTimeStamping* m_pTimeStamping = nullptr;
  vf::platform::CriticalSection m_csStatus;
  CCfgDevice m_cfgPending;
  bool m_bConfigPending = false;
  // Set by StopPlugin before it signals the threads; long waits of the
  // device thread (the TCP connection attempts) give up when they see it.
  std::atomic<bool> m_bStopRequested{false};

 private:
  bool HasLinkObjects() const;
  int32_t OpenSerialLink();
  int32_t OpenTcpLink();
  int32_t OpenUdpLink();

  using Hook = void (CPluginApp::*)();
  static uint32_t RunThread(void* argument, Hook start, Hook body, Hook stop);
  int32_t StartThreads();
  void RollBackStart();
  void CloseEvents();
  void CloseThreadHandles();
  void ApplyPendingConfig();
};
