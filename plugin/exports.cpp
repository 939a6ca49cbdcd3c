// The eleven functions a host calls, with plain C names. Nothing thrown may
// cross into the host, so each body is fenced.
#include "ais_plugin.h"
#include "plugin/app_instance.h"
#include "plugin/plugin_version.h"

#if defined(_WIN32)
#define AIS_EXPORT extern "C" __declspec(dllexport)
#else
#define AIS_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

template <typename Body>
auto Fenced(Body body, decltype(body()) failure) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <typename Body>
void Fenced(Body body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// The host's strings name its string manager: the plug-in's strings that
// reach the host (those of the records) come from the same one, as they would
// from one framework shared by both sides.
void AssignHostString(CWideString* text, std::u16string_view value) {
  vf::AdoptHostStringManager(text->GetManager());
  text->Assign(value);
}

}  // namespace

AIS_EXPORT void get_Version(CWideString* text) {
  Fenced([&] { AssignHostString(text, vf::kPluginVersion); });
}
AIS_EXPORT void get_Name(CWideString* text) {
  Fenced([&] { AssignHostString(text, vf::kPluginName); });
}
AIS_EXPORT void get_Desc(CWideString* text) {
  Fenced([&] { AssignHostString(text, vf::kPluginDescription); });
}
AIS_EXPORT void get_Status(uint32_t* status) { *status = TheApp().GetStatus(); }
AIS_EXPORT void get_Type(uint32_t* type) { *type = kAisPluginType; }
AIS_EXPORT void put_Parent(HostWindow window) { TheApp().PutParent(window); }
AIS_EXPORT void get_Config(CCfgDevice* config) {
  Fenced([&] {
    vf::AdoptHostStringManager(config->m_strOptions.GetManager());
    TheApp().GetConfig(*config);
  });
}
AIS_EXPORT void put_Config(CCfgDevice* config) {
  Fenced([&] {
    vf::AdoptHostStringManager(config->m_strOptions.GetManager());
    TheApp().PutConfig(*config);
  });
}
AIS_EXPORT int32_t StartPlugin() {
  return Fenced([] { return TheApp().StartPlugin(); }, -1);
}
AIS_EXPORT int32_t StopPlugin() {
  return Fenced([] { return TheApp().StopPlugin(); }, -1);
}
AIS_EXPORT int32_t ConfigurePlugin() {
  return Fenced([] { return TheApp().ConfigurePlugin(); }, -1);
}
