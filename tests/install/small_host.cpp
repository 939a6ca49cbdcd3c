// A host written from the installed SDK alone: it loads the plug-in with the
// SDK's loader, asks its name, and starts and stops it on a UDP port with a
// window of its own. Build it with find_package(VestrafoldAis) (see
// CMakeLists.txt beside it) or with pkg-config vestrafold-ais.
#include <cstdio>
#include <string>

#include "ais_plugin_loader.h"
#include "ais_utf8.h"
#include "vf_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: small_host PATH-OF-AIS.so\n");
    return 2;
  }
  VfNamedMutex* traceMutex = VfCreateNamedMutex(kAisTraceMutexName);  // the host owns the trace mutex
  vf::sdk::PluginLibrary plugin;
  std::string error;
  if (!plugin.Load(argv[1], error)) {
    std::fprintf(stderr, "small_host: %s\n", error.c_str());
    return 3;
  }
  const vf::sdk::PluginExports& api = plugin.Exports();
  CWideString name;
  api.get_Name(&name);
  CCfgDevice config;
  config.m_nConnectionType = kConnectionTcpIp;
  config.m_nSocketType = kSocketUdp;
  config.m_nIpPort = 47391;
  api.put_Config(&config);
  HostWindow window = VfCreateWindow(u"small host");
  api.put_Parent(window);
  const int started = api.StartPlugin(), stopped = api.StopPlugin();
  std::printf("%s: start %d, stop %d\n", vf::ToUtf8(name.View()).c_str(), started, stopped);
  api.put_Parent(nullptr);
  VfDestroyWindow(window);
  if (stopped == 0) plugin.Unload();
  VfCloseNamedMutex(traceMutex);
  return started == 0 && stopped == 0 ? 0 : 1;
}
