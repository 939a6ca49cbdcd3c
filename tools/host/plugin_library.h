// A loaded plug-in library with its eleven exports resolved by name.
#pragma once

#include <string>

#include "ais_plugin.h"

namespace vf::host {

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
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Loads the library and resolves every export; on failure `error` says
  // what is missing and nothing stays loaded.
  bool Load(const std::string& path, std::string& error);
  void Unload();
  // Keeps the library loaded for the rest of the process: its threads did
  // not stop, and unloading would pull their code from under them.
  void Abandon() { m_library = nullptr; }
  bool IsLoaded() const { return m_library != nullptr; }
  const PluginExports& Exports() const { return m_exports; }

 private:
  void* m_library = nullptr;
  PluginExports m_exports;
};

}  // namespace vf::host
