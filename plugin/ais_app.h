// The AIS receiver: the generic plug-in frame with the device thread's hooks
// that open the link, run the receive loop and close the link.
#pragma once

#include "plugin/plugin_app.h"

class CAISApp : public CPluginApp {
 public:
  explicit CAISApp(vf::ClockSource& clock = vf::ClockSource::System()) : CPluginApp(u"AIS", clock) {}
};
