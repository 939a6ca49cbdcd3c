// The one link that a configuration selects: opening it with the trace lines
// that tell the user why it failed, waiting on it, reading it line by line,
// and closing it. Made for a run and used by its device thread alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ais_plugin.h"
#include "config/feed_options.h"
#include "diag/trace_writer.h"
#include "links/line_text.h"
#include "links/link_recovery.h"
#include "links/mfc_serial.h"
#include "links/tcp_client.h"
#include "links/udp_session.h"
#include "platform/handle.h"

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
                         const std::atomic<bool>& stopRequested);
  // 0 data, 1 the control event, 2 the auxiliary event, -1 nothing or failure.
  int32_t WaitForDeviceData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent);
  // One line without its line end; 0 when one was read. The stop event ends
  // a serial read at once; a serial device that went away is traced once,
  // and from then on each call only waits, up to the read time-out, for the stop.
  int32_t ReadDeviceLine(CWideString& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  void CloseDeviceLink(const vf::TraceWriter& trace);
  // What the system lost below the plug-in on the open link: datagrams the
  // socket had no room for, serial overruns.
  int64_t LostBelow() const;

  std::unique_ptr<CMFCSerial> m_pSerial;
  std::unique_ptr<CTcp> m_pTcp;
  std::unique_ptr<CUdp> m_pUdp;
  std::unique_ptr<CUdp> m_pUdpRemote;

 private:
  enum class Link { kNone, kSerial, kTcp, kUdp };

  bool HasLinkObjects() const;
  int32_t OpenSerialLink(const CCfgDevice& config, const vf::TraceWriter& trace);
  int32_t OpenTcpLink(const CCfgDevice& config, const vf::TraceWriter& trace, const std::atomic<bool>& stopRequested);
  int32_t OpenUdpLink(const CCfgDevice& config, const vf::FeedOptions& options, const vf::TraceWriter& trace);
  // With "UDPLINES" (the default): the next line of the last datagram, or of a new one.
  int32_t ReadDatagramLine(CWideString& line);
  // With "RECONNECT" (the default): a pass while the TCP connection or the serial
  // device is lost; -1, as a pass without data.
  int32_t RecoverTcp(vf::platform::Handle stopEvent);
  int32_t RecoverSerial(CWideString& line, vf::platform::Handle stopEvent);
  // "UDPSOURCES": the hosts whose datagrams are read; false (traced) when
  // one does not resolve.
  bool AcceptUdpSources(const CCfgDevice& config, const vf::FeedOptions& options, const vf::TraceWriter& trace);
  void TraceRefusedDatagrams();  // the first refused datagram, once

  Link m_link = Link::kNone;  // as the configuration of the last open chose
  const vf::TraceWriter* m_pTrace = nullptr;  // the open's, for what happens while reading
  bool m_bLossTraced = false;
  bool m_bDatagramLines = false;  // "UDPLINES": datagrams are read line by line
  bool m_bReconnect = false;      // "RECONNECT": a lost link is opened again
  bool m_bRetryFirstConnect = false;  // "RECONNECT=2": a first TCP connection too
  std::string m_strTcpHost;
  int32_t m_nTcpPort = 0;
  const std::atomic<bool>* m_pStopRequested = nullptr;
  vf::links::LinkRecovery m_recovery;
  bool m_bRefusalTraced = false;
  CWideString m_strDatagram;
  vf::links::DatagramLines m_datagramLines;
};
