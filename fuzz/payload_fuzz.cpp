// Any payload text straight into the decoders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ais/decoders.h"
#include "plugin/ais_app.h"
#include "vf_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HostWindow window = VfCreateWindow(u"fuzz host");
  static CAISApp app;
  app.m_hParentWnd = window;
  const std::string payload(reinterpret_cast<const char*>(data), size);  // NUL-terminated, may hold NULs
  vf::ais::DecodeAisPayload(app, payload.c_str());
  VfMessage message{};
  while (VfGetMessage(window, &message, 0) == 1) delete reinterpret_cast<CRawData*>(message.lParam);
  return 0;
}
