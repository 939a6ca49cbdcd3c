// The AIS receiver: the generic plug-in frame, with the device thread's work
// of a run: open the configured link and hand each line it reads to the
// sentence path, which decodes and delivers.
#pragma once

#include <memory>

#include "links/device_link.h"
#include "plugin/plugin_app.h"
#include "plugin/sentence_path.h"

class CAISApp : public CPluginApp {
 public:
  explicit CAISApp(vf::ClockSource& clock = vf::ClockSource::System()) : CPluginApp(u"AIS", clock) {}

 protected:
  void InitDeviceThread(vf::PluginRun& run) override;
  void RunDeviceThread(vf::PluginRun& run) override;
  void ExitDeviceThread(vf::PluginRun& run) override;

 private:
  // These belong to the device thread of the run in progress; the sentence
  // path's fragments wait across runs.
  std::unique_ptr<CDeviceLink> m_pLink;
  vf::PassSettings m_pass;
  bool m_bLinkOpened = false;  // a run whose link never opened read nothing to count
  vf::SentencePath m_sentencePath;
};
