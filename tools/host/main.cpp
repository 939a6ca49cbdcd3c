// ais-host: the reference host. It loads the plug-in by path, gives it a
// window and a configuration, starts it, prints what arrives, and stops it.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "host_options.h"
#include "plugin_library.h"
#include "utf8.h"
#include "vf_system.h"

namespace {

enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitLoad = 2, kExitStart = 3, kExitLinkFailed = 4, kExitStop = 5 };

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

std::string Text(void (*getter)(CWideString*)) {
  CWideString text;
  getter(&text);
  return vf::host::ToUtf8(text.View());
}

// Takes every record off the window's queue for the given time; the host owns
// each record and destroys it through its virtual destructor.
void PumpWindow(HostWindow window, int32_t waitMs, long& records) {
  VfMessage message{};
  while (VfGetMessage(window, &message, waitMs) == 1) {
    waitMs = 0;
    if (message.message != kAisWmUser || message.wParam != kAisRecordWParam) continue;
    delete reinterpret_cast<CRawData*>(message.lParam);
    ++records;
  }
}

int Run(const vf::host::HostOptions& options) {
  // The host owns the trace mutex; it must exist before the plug-in loads.
  VfNamedMutex* traceMutex = VfCreateNamedMutex(kAisTraceMutexName);
  HostWindow window = VfCreateWindow(u"AIS Host");
  vf::host::PluginLibrary plugin;
  std::string error;
  if (!plugin.Load(options.pluginPath, error)) {
    std::fprintf(stderr, "ais-host: %s\n", error.c_str());
    VfDestroyWindow(window);
    VfCloseNamedMutex(traceMutex);
    return kExitLoad;
  }
  const vf::host::PluginExports& api = plugin.Exports();
  uint32_t type = 0, status = 0;
  api.get_Type(&type);
  api.get_Status(&status);
  std::printf("%s %s (%s), type %u, status %u\n", Text(api.get_Name).c_str(), Text(api.get_Version).c_str(),
              Text(api.get_Desc).c_str(), type, status);

  CCfgDevice config;
  api.get_Config(&config);
  vf::host::ApplyHostOptions(options, config);
  api.put_Config(&config);
  CCfgDevice readBack;
  api.get_Config(&readBack);
  std::printf("configuration: connection %d, serial COM%d at %d bps format %d, socket %d, host '%s' port %d "
              "remote %d, options '%s'\n",
              readBack.m_nConnectionType, readBack.m_nSerialPort, readBack.m_nSerialSpeed, readBack.m_nSerialFormat,
              readBack.m_nSocketType, vf::host::ToUtf8(readBack.m_strHostAddress.View()).c_str(),
              readBack.m_nIpPort, readBack.m_nRemoteIpPort, vf::host::ToUtf8(readBack.m_strOptions.View()).c_str());

  api.put_Parent(window);
  int exitCode = kExitOk;
  if (api.StartPlugin() != 0) {
    std::fprintf(stderr, "ais-host: the plug-in did not start\n");
    exitCode = kExitStart;
  } else {
    std::printf("started\n");
    long records = 0;
    const long slices = static_cast<long>(options.durationSeconds * 10.0);
    for (long slice = 0; slice < slices && !g_interrupted; ++slice) {
      PumpWindow(window, 100, records);
      api.get_Status(&status);
      if (status == kStatusLinkFailed) break;
    }
    api.get_Status(&status);
    if (status == kStatusLinkFailed) {
      std::fprintf(stderr, "ais-host: the plug-in could not open its device link (status 2); its trace file "
                           "Trace_General.txt says why\n");
      exitCode = kExitLinkFailed;
    }
    const int32_t stopped = api.StopPlugin();
    PumpWindow(window, 0, records);
    api.get_Status(&status);
    std::printf("stopped: result %d, status %u, %ld records\n", stopped, status, records);
    if (stopped != 0 && exitCode == kExitOk) exitCode = kExitStop;
  }
  api.put_Parent(nullptr);
  plugin.Unload();
  VfDestroyWindow(window);
  VfCloseNamedMutex(traceMutex);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = vf::host::ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ais-host: %s\n", error.c_str());
    return kExitUsage;
  }
  if (options->showHelp) {
    std::fputs(vf::host::HostUsage().c_str(), stdout);
    return kExitOk;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  return Run(*options);
}
