// The TCP client as the device thread's link: three attempts to connect,
// and with "RECONNECT" a connection that the receiver closed is opened again.
#pragma once

#include <string>

#include "links/line_link.h"
#include "links/link_recovery.h"
#include "links/tcp_client.h"

namespace vf::links {

class TcpLineLink : public LineLink {
 public:
  explicit TcpLineLink(CTcp& client) : m_client(client) {}

  int32_t Open(const LinkOpening& opening) override;
  int32_t Wait(platform::Handle controlEvent, platform::Handle auxEvent) override;
  int32_t ReadLine(std::string_view& line, platform::Handle stopEvent) override;
  void Close(const TraceWriter& trace) override;

 private:
  CTcp& m_client;
  const TraceWriter* m_pTrace = nullptr;
  const std::atomic<bool>* m_pStopRequested = nullptr;
  bool m_bReconnect = false;
  std::string m_strHost;
  int32_t m_nPort = 0;
  LinkRecovery m_recovery;
};

}  // namespace vf::links
