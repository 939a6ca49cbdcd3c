// Loading the plug-in library by path and resolving its eleven exports with
// their types, header-only, so that a host need not write the look-ups again:
//
//   vf::sdk::PluginLibrary plugin;
//   std::string error;
//   if (!plugin.Load("/usr/lib/x86_64-linux-gnu/AIS.so", error)) { puts(error.c_str()); return 1; }
//   plugin.Exports().put_Parent(window);
//   plugin.Exports().StartPlugin();
//
// A library that lacks an export is refused with a message that names it,
// and nothing stays loaded. On Linux link with -ldl (CMake: ${CMAKE_DL_LIBS}).
#pragma once

#include <string>

#include "ais_plugin.h"
#include "ais_utf8.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vf::sdk {

struct PluginExports {
  PFN_get_Version get_Version = nullptr;
  PFN_get_Name get_Name = nullptr;
  PFN_get_Desc get_Desc = nullptr;
  PFN_get_Status get_Status = nullptr;
  PFN_get_Type get_Type = nullptr;
  PFN_put_Parent put_Parent = nullptr;
  PFN_get_Config get_Config = nullptr;
  PFN_put_Config put_Config = nullptr;
  PFN_StartPlugin StartPlugin = nullptr;
  PFN_StopPlugin StopPlugin = nullptr;
  PFN_ConfigurePlugin ConfigurePlugin = nullptr;
};

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary() { Unload(); }
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Loads the library (a path in UTF-8) and resolves every export; false
  // with `error` saying what failed or which export is missing.
  bool Load(const std::string& path, std::string& error) {
    Unload();
    m_library = Open(path, error);
    if (m_library == nullptr) {
      error = "cannot load " + path + ": " + error;
      return false;
    }
    PluginExports& e = m_exports;
    const bool complete = Resolve("get_Version", e.get_Version, error) && Resolve("get_Name", e.get_Name, error) &&
                          Resolve("get_Desc", e.get_Desc, error) && Resolve("get_Status", e.get_Status, error) &&
                          Resolve("get_Type", e.get_Type, error) && Resolve("put_Parent", e.put_Parent, error) &&
                          Resolve("get_Config", e.get_Config, error) && Resolve("put_Config", e.put_Config, error) &&
                          Resolve("StartPlugin", e.StartPlugin, error) && Resolve("StopPlugin", e.StopPlugin, error) &&
                          Resolve("ConfigurePlugin", e.ConfigurePlugin, error);
    if (!complete) {
      error = path + " is not the AIS plug-in: " + error;
      Unload();
    }
    return complete;
  }

  // Unloads; call it only after StopPlugin returned 0.
  void Unload() {
    if (m_library != nullptr) Close(m_library);
    m_library = nullptr;
    m_exports = PluginExports{};
  }

  // Keeps the library loaded for the rest of the process: after a StopPlugin
  // that returned -1 its threads may still run, and unloading would pull
  // their code from under them.
  void Abandon() { m_library = nullptr; }

  bool IsLoaded() const { return m_library != nullptr; }
  const PluginExports& Exports() const { return m_exports; }

 private:
  template <typename Function>
  bool Resolve(const char* name, Function& slot, std::string& error) {
    void* symbol = Find(m_library, name);
    if (symbol == nullptr) {
      error = std::string("it does not export ") + name;
      return false;
    }
    slot = reinterpret_cast<Function>(symbol);
    return true;
  }

#if defined(_WIN32)
  static void* Open(const std::string& path, std::string& error) {
    const std::u16string wide = vf::FromUtf8(path);
    HMODULE library = LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
    if (library == nullptr) error = "LoadLibraryW failed with system error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
  }
  static void* Find(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  }
  static void Close(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
  static void* Open(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* reason = dlerror();
      error = reason != nullptr ? reason : "unknown reason";
    }
    return library;
  }
  static void* Find(void* library, const char* name) { return dlsym(library, name); }
  static void Close(void* library) { dlclose(library); }
#endif

  void* m_library = nullptr;
  PluginExports m_exports;
};

}  // namespace vf::sdk
