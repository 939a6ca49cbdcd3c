// The one link that a configuration selects: opening it with the trace lines
// that tell the user why it failed, waiting on it, reading it line by line,
// and closing it. Made for a run and used by its device thread alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "ais_plugin.h"
#include "config/feed_options.h"
#include "diag/trace_writer.h"
#include "links/line_link.h"
#include "links/line_text.h"
#include "links/mfc_serial.h"
#include "links/tcp_client.h"
#include "links/udp_session.h"
#include "platform/handle.h"

namespace vf::links {

class CDeviceLink {
 public:
  // The link objects; a pointer stays null when its object cannot be made,
  // and the link operations then refuse to run. The network objects start
  // the socket layer for the life of this link.
  CDeviceLink();
  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  // 0 when the configured link is open, -1 when it is not (the reason is
  // traced), 1 when a TCP connection failed and "RECONNECT=2" has it tried
  // again from the passes. A request to stop ends the name lookups and the
  // TCP connection attempts. `options`: the run's, parsed from the
  // configuration's option text once.
  int32_t OpenDeviceLink(const CCfgDevice& config, const vf::FeedOptions& options, const vf::TraceWriter& trace,
                         const std::atomic<bool>& stopRequested,
                         vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  // 0 data, 1 the control event, 2 the auxiliary event, -1 nothing or failure.
  int32_t WaitForDeviceData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent);
  // One line without its line end; 0 when one was read. The stop event ends
  // a serial read at once; a serial device that went away is traced once,
  // and from then on each call only waits, up to the read time-out, for the stop.
  int32_t ReadDeviceLine(CWideString& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  // The same line as its bytes, valid until the next read: what the
  // sentence path takes.
  int32_t ReadDeviceLine(std::string_view& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  void CloseDeviceLink(const vf::TraceWriter& trace);
  // What the system lost below the plug-in on the open link: datagrams the
  // socket had no room for, serial overruns.
  int64_t LostBelow() const;

  std::unique_ptr<CMFCSerial> m_pSerial;
  std::unique_ptr<CTcp> m_pTcp;
  std::unique_ptr<CUdp> m_pUdp;
  std::unique_ptr<CUdp> m_pUdpRemote;

 private:
  bool HasLinkObjects() const;
  // The opened link, or null when there is none or a link object is missing.
  LineLink* Running() const { return HasLinkObjects() ? m_pLink.get() : nullptr; }

  // The configured kind's link over the objects above, made by the open.
  std::unique_ptr<LineLink> m_pLink;
  LineText m_lineText;  // the wide form of a line, kept from line to line
};

}  // namespace vf::links
