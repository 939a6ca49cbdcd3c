#include "links/udp_line_link.h"

#include <string>
#include <vector>

#include "diag/trace_file.h"
#include "links/error_text.h"
#include "platform/text_codec.h"

namespace vf::links {

int32_t UdpLineLink::Open(const LinkOpening& opening) {
  const TraceWriter& trace = opening.trace;
  const CCfgDevice& config = opening.config;
  m_pTrace = &trace;
  m_bDatagramLines = opening.options.datagramLines;
  m_bRefusalTraced = false;
  m_datagramLines.Take("");
  const int32_t port = config.m_nIpPort;
  if (!IsIpPort(port)) {
    trace.TraceStatus(kTraceError,
                      u"Failed to open UDP connection: An invalid UDP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  if (config.m_strHostAddress.IsEmpty()) {
    trace.TraceStatus(kTraceProgress, u"Opening UDP session on port: [%ld]...", {port});
  } else {
    trace.TraceStatus(kTraceProgress, u"Opening UDP session to: [%ls] on port: [%ld]...",
                      {config.m_strHostAddress, port});
  }
  CWideString text;
  // A stop ends the name lookups; what it cuts short did not fail.
  const platform::Abandon stopping = [&opening] { return opening.stopRequested.load(); };
  const std::string localHost = platform::WideToAnsi(opening.options.udpBind);
  const int bufferBytes = static_cast<int>(opening.options.udpReceiveBufferKiB * 1024);
  m_local.UsePort(opening.options.udpExclusivePort, bufferBytes);
  if (const int32_t result = m_local.Bind(port, localHost, stopping); result != 0) {
    if (stopping()) return -1;
    trace.TraceStatus(kTraceError, u"Failed to open UDP session: Failed to bind local UDP port: [%ld], %ls.",
                      {port, GetErrorText(result, text)});
    return -1;
  }
  if (const int32_t remotePort = config.m_nRemoteIpPort; remotePort != 0) {
    const int32_t result =
        m_pRemote != nullptr
            ? m_pRemote->Connect(platform::WideToAnsi(config.m_strHostAddress.View()), remotePort, stopping)
            : kUdpSocketFailed;
    if (result != 0) {
      if (stopping()) return -1;
      trace.TraceStatus(kTraceError, u"Failed to open UDP session: Failed to connect remote UDP port: [%ld], %ls.",
                        {remotePort, GetErrorText(result, text)});
      return -1;
    }
  }
  if (!AcceptSources(opening)) return -1;
  if (m_local.GrantedReceiveBuffer() < bufferBytes) {
    trace.TraceStatus(kTraceProgress,
                      u"The UDP receive buffer holds %ld KiB, not the %ld KiB asked for: datagrams may be lost when "
                      u"traffic bursts (on Linux, raise net.core.rmem_max or run with CAP_NET_ADMIN).",
                      {m_local.GrantedReceiveBuffer() / 1024, bufferBytes / 1024});
  }
  trace.TraceStatus(kTraceSuccess, u"UDP session started.");
  return 0;
}

bool UdpLineLink::AcceptSources(const LinkOpening& opening) {
  // "UDPSOURCES=PEER" is the configured host; otherwise a list of hosts.
  const std::u16string_view option = opening.options.udpSources;
  if (option.empty()) return true;
  const platform::Abandon stopping = [&opening] { return opening.stopRequested.load(); };
  const std::u16string_view named = option == u"PEER" ? opening.config.m_strHostAddress.View() : option;
  std::u16string_view list = named;
  std::vector<platform::SocketAddress> sources;
  while (!list.empty()) {
    const size_t comma = list.find(u',');
    const std::string host = platform::WideToAnsi(list.substr(0, comma));
    platform::SocketAddress address{};
    if (!host.empty() && !platform::ResolveStreamAddress(host, "0", address, stopping)) {
      if (stopping()) return false;
      opening.trace.TraceStatus(kTraceError,
                                u"Failed to open UDP session: the accepted source [%ls] cannot be resolved.",
                                {platform::AnsiToWide(host)});
      return false;
    }
    if (!host.empty()) sources.push_back(address);
    list = comma == std::u16string_view::npos ? std::u16string_view{} : list.substr(comma + 1);
  }
  opening.trace.TraceStatus(kTraceProgress, u"Accepting datagrams only from: [%ls].", {named});
  m_local.AcceptOnlyFrom(std::move(sources));
  return true;
}

int32_t UdpLineLink::Wait(platform::Handle controlEvent, platform::Handle auxEvent) {
  return m_datagramLines.Pending() ? 0 : m_local.WaitForData(controlEvent, auxEvent);
}

int32_t UdpLineLink::ReadLine(std::string_view& line, platform::Handle) {
  const int32_t result = m_bDatagramLines ? ReadDatagramLine(line) : m_local.ReadDatagramBytes(line);
  TraceRefusedDatagrams();
  return result;
}

int32_t UdpLineLink::ReadDatagramLine(std::string_view& line) {
  line = {};
  if (!m_datagramLines.Pending()) {
    std::string_view datagram;
    if (m_local.ReadDatagramBytes(datagram) != 0) return -1;
    m_datagramLines.Take(datagram);
  }
  return m_datagramLines.Next(line) ? 0 : -1;
}

void UdpLineLink::TraceRefusedDatagrams() {
  const uint64_t refused = m_local.Refused();
  if (refused == 0 || m_bRefusalTraced || m_pTrace == nullptr) return;
  m_bRefusalTraced = true;
  m_pTrace->TraceStatus(kTraceError, u"A datagram from [%ls] was refused: it is not from an accepted source.",
                        {platform::AnsiToWide(platform::HostText(m_local.LastRefused()))});
}

void UdpLineLink::Close(const TraceWriter& trace) {
  trace.TraceStatus(kTraceProgress, u"Closing UDP session...");
  if (m_local.Refused() > 0) {
    trace.TraceStatus(kTraceError, u"Datagrams refused from other sources: %ld.",
                      {static_cast<int64_t>(m_local.Refused())});
  }
  m_local.Close();
  if (m_pRemote != nullptr) m_pRemote->Close();
}

int64_t UdpLineLink::LostBelow() const { return m_local.SystemDropped(); }

}  // namespace vf::links
