// A host written from the installed SDK alone: it loads the plug-in, asks its
// name, and starts and stops it on a UDP port with a window of its own.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "ais_plugin.h"
#include "ais_utf8.h"
#include "vf_system.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  VfNamedMutex* traceMutex = VfCreateNamedMutex(kAisTraceMutexName);
  void* plugin = dlopen(argv[1], RTLD_NOW);
  if (plugin == nullptr) return 3;
  const auto find = [plugin](const char* name) { return dlsym(plugin, name); };
  const auto getName = reinterpret_cast<PFN_get_Name>(find("get_Name"));
  const auto putConfig = reinterpret_cast<PFN_put_Config>(find("put_Config"));
  const auto putParent = reinterpret_cast<PFN_put_Parent>(find("put_Parent"));
  const auto start = reinterpret_cast<PFN_StartPlugin>(find("StartPlugin"));
  const auto stop = reinterpret_cast<PFN_StopPlugin>(find("StopPlugin"));
  if (getName == nullptr || putConfig == nullptr || putParent == nullptr || start == nullptr || stop == nullptr) return 4;
  CWideString name;
  getName(&name);
  CCfgDevice config;
  config.m_nConnectionType = kConnectionTcpIp;
  config.m_nSocketType = kSocketUdp;
  config.m_nIpPort = 47391;
  putConfig(&config);
  HostWindow window = VfCreateWindow(u"small host");
  putParent(window);
  const int started = start(), stopped = stop();
  std::printf("%s: start %d, stop %d\n", vf::ToUtf8(name.View()).c_str(), started, stopped);
  putParent(nullptr);
  VfDestroyWindow(window);
  dlclose(plugin);
  VfCloseNamedMutex(traceMutex);
  return started == 0 && stopped == 0 ? 0 : 1;
}
