#include "plugin/ais_app.h"

#include "diag/trace_file.h"

void CAISApp::InitDeviceThread() {
  TraceStatus(vf::kTraceProgress, u"Plugin started.");
  if (OpenDeviceLink() == 0) {
    TraceStatus(vf::kTraceSuccess, u"Plugin is running successfully");
    return;
  }
  TraceStatus(vf::kTraceError, u"Failed to open or initialize device connection");
  SetStatus(kStatusLinkFailed);
}

void CAISApp::ExitDeviceThread() {
  CloseDeviceLink();
  TraceStatus(vf::kTraceProgress, u"Plugin stopped.");
}
