#include "monitor_feed.h"

#include "diag/trace_file.h"
#include "platform/window.h"
#include "plugin/plugin_app.h"

namespace vf {

void FeedMonitor(CPluginApp& app, std::u16string_view escapedLine) {
  // Looked up for every line: the monitor may open or close at any time.
  if (!platform::TopLevelWindowExists(kAisMonitorTitle)) return;
  app.WriteTrace(app.ReceiveTime(), kTraceReceived, kTraceCategoryReceived, escapedLine);
}

}  // namespace vf
