// The UDP session as the device thread's link: the local socket receives,
// the remote one is connected when a remote port is configured, datagrams
// are read line by line ("UDPLINES") and only from accepted sources
// ("UDPSOURCES").
#pragma once

#include "links/line_link.h"
#include "links/line_text.h"
#include "links/udp_session.h"

namespace vf::links {

class UdpLineLink : public LineLink {
 public:
  // `remote` may be null (its object could not be made): a remote port then
  // fails as a socket that could not be made.
  UdpLineLink(CUdp& local, CUdp* remote) : m_local(local), m_pRemote(remote) {}

  int32_t Open(const LinkOpening& opening) override;
  int32_t Wait(platform::Handle controlEvent, platform::Handle auxEvent) override;
  int32_t ReadLine(std::string_view& line, platform::Handle stopEvent) override;
  void Close(const TraceWriter& trace) override;
  int64_t LostBelow() const override;

 private:
  // "UDPSOURCES": the hosts whose datagrams are read; false (traced) when
  // one does not resolve.
  bool AcceptSources(const LinkOpening& opening);
  // The next line of the last datagram, or of a new one.
  int32_t ReadDatagramLine(std::string_view& line);
  void TraceRefusedDatagrams();  // the first refused datagram, once

  CUdp& m_local;
  CUdp* m_pRemote;
  const TraceWriter* m_pTrace = nullptr;
  bool m_bDatagramLines = false;
  bool m_bRefusalTraced = false;
  DatagramLines m_datagramLines;
};

}  // namespace vf::links
