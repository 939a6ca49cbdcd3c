// The AIS receiver: the generic plug-in frame, with the device thread's work
// of a run: open the configured link and hand each line it reads to the
// sentence path, which decodes and delivers.
#pragma once

#include <memory>

#include "links/device_link.h"
#include "plugin/plugin_app.h"
#include "datapath/sentence_path.h"

class CAISApp : public CPluginApp {
 public:
  explicit CAISApp(vf::ClockSource& clock = vf::ClockSource::System()) : CPluginApp(u"AIS", clock) {}

 protected:
  void InitDeviceThread(vf::PluginRun& run) override;
  void RunDeviceThread(vf::PluginRun& run) override;
  void ExitDeviceThread(vf::PluginRun& run) override;

 private:
  // The device thread's own part of a run.
  struct DeviceRun : vf::DeviceThreadState {
    vf::links::CDeviceLink link;
    vf::PassSettings pass;
    bool linkOpened = false;  // a run whose link never opened read nothing to count
  };
  static constexpr uint32_t kMemoryPauseMs = 100;
  void RunPass(vf::PluginRun& run, DeviceRun& device, bool& lineRead);
  // Null when the init hook could not make it (it failed the run).
  static DeviceRun* DeviceRunOf(vf::PluginRun& run) { return static_cast<DeviceRun*>(run.m_pDeviceState.get()); }

  // The fragments wait here across runs, for the rest of their messages.
  vf::SentencePath m_sentencePath;
};
