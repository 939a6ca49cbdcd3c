#include "plugin_library.h"

#include <utility>

#include "system_access.h"

namespace vf::host {
namespace {

template <typename Function>
bool Resolve(void* library, const char* name, Function& slot, std::string& error) {
  void* symbol = FindSymbol(library, name);
  if (symbol == nullptr) {
    error = std::string("the plug-in does not export ") + name;
    return false;
  }
  slot = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string& path, std::string& error) {
  Unload();
  std::string reason;
  m_library = OpenLibrary(path, reason);
  if (m_library == nullptr) {
    error = "cannot load " + path + ": " + reason + " (give the path of the plug-in library with --plugin)";
    return false;
  }
  PluginExports& e = m_exports;
  const bool complete =
      Resolve(m_library, "get_Version", e.get_Version, error) && Resolve(m_library, "get_Name", e.get_Name, error) &&
      Resolve(m_library, "get_Desc", e.get_Desc, error) && Resolve(m_library, "get_Status", e.get_Status, error) &&
      Resolve(m_library, "get_Type", e.get_Type, error) && Resolve(m_library, "put_Parent", e.put_Parent, error) &&
      Resolve(m_library, "get_Config", e.get_Config, error) && Resolve(m_library, "put_Config", e.put_Config, error) &&
      Resolve(m_library, "StartPlugin", e.StartPlugin, error) &&
      Resolve(m_library, "StopPlugin", e.StopPlugin, error) &&
      Resolve(m_library, "ConfigurePlugin", e.ConfigurePlugin, error);
  if (!complete) Unload();
  return complete;
}

void PluginLibrary::Unload() {
  if (m_library != nullptr) CloseLibrary(m_library);
  m_library = nullptr;
  m_exports = PluginExports{};
}

}  // namespace vf::host
