#include "monitor_feed.h"

#include "ais_plugin.h"
#include "platform/window.h"

namespace vf {

bool MonitorIsOpen() { return platform::TopLevelWindowExists(kAisMonitorTitle); }

}  // namespace vf
