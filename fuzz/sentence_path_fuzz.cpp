// Received bytes, cut into lines as a link cuts them, through the whole
// sentence path to records; every record posted is taken and destroyed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/ais_app.h"
#include "vf_system.h"

namespace {

struct Host {
  HostWindow window = VfCreateWindow(u"fuzz host");
  CAISApp app;
  Host() { app.m_hParentWnd = window; }
  void DrainRecords() {
    VfMessage message{};
    while (VfGetMessage(window, &message, 0) == 1) delete reinterpret_cast<CRawData*>(message.lParam);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Host host;  // one plug-in object, as in a host: the fragment store carries over between inputs
  std::u16string line;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\n' || data[i] == '\r') {
      host.app.HandleReceivedLine(line);
      line.clear();
    } else {
      line += static_cast<char16_t>(data[i]);
    }
  }
  // The first byte also picks the checksum setting, so that payloads with
  // any checksum reach the decoders.
  host.app.m_cfgDevice.m_strOptions = size > 0 && (data[0] & 1) ? u"CRC=0;" : u"CRC=1;";
  host.DrainRecords();
  return 0;
}
