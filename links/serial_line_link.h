// The serial port as the device thread's link: a device that goes away is
// traced once and, with "RECONNECT", opened again.
#pragma once

#include "links/line_link.h"
#include "links/link_recovery.h"
#include "links/mfc_serial.h"

namespace vf::links {

class SerialLineLink : public LineLink {
 public:
  explicit SerialLineLink(CMFCSerial& port) : m_port(port) {}

  int32_t Open(const LinkOpening& opening) override;
  int32_t Wait(platform::Handle controlEvent, platform::Handle auxEvent) override;
  // The stop event ends a read at once; once the device is gone and not
  // reopened, each call only waits, up to the read time-out, for the stop.
  int32_t ReadLine(std::string_view& line, platform::Handle stopEvent) override;
  void Close(const TraceWriter& trace) override;
  int64_t LostBelow() const override;

 private:
  CMFCSerial& m_port;
  const TraceWriter* m_pTrace = nullptr;
  bool m_bReconnect = false;
  bool m_bLossTraced = false;
  LinkRecovery m_recovery;
};

}  // namespace vf::links
