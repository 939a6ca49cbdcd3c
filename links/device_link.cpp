// Opening, waiting on, reading and closing the one link that the device
// configuration selects, with the trace lines that tell the user why.
#include "links/device_link.h"

#include <new>
#include <string>

#include "config/feed_options.h"
#include "diag/trace_file.h"
#include "links/error_text.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/text_codec.h"

namespace {

constexpr int32_t kLastIpPort = 65536;
constexpr int kConnectAttempts = 3;
constexpr uint32_t kSerialReadTimeoutMs = 500;

bool IsIpPort(int32_t port) { return port >= 1 && port <= kLastIpPort; }

std::string ToAnsiString(const CWideString& text) { return vf::platform::WideToAnsi(text.View()); }

}  // namespace

CDeviceLink::CDeviceLink()
    : m_pSerial(new (std::nothrow) CMFCSerial),
      m_pTcp(new (std::nothrow) CTcp),
      m_pUdp(new (std::nothrow) CUdp),
      m_pUdpRemote(new (std::nothrow) CUdp) {}

bool CDeviceLink::HasLinkObjects() const { return m_pSerial != nullptr && m_pTcp != nullptr && m_pUdp != nullptr; }

int32_t CDeviceLink::OpenDeviceLink(const CCfgDevice& config, const vf::FeedOptions& options,
                                    const vf::TraceWriter& trace, const std::atomic<bool>& stopRequested) {
  m_link = Link::kNone;
  m_pTrace = &trace;
  m_bLossTraced = false;
  m_bDatagramLines = options.datagramLines;
  m_bReconnect = options.reconnect;
  m_bRetryFirstConnect = options.retryFirstConnect;
  m_pStopRequested = &stopRequested;
  m_bRefusalTraced = false;
  m_datagramLines.Take(u"");
  if (config.m_nConnectionType == kConnectionSerial) {
    m_link = Link::kSerial;
  } else if (config.m_nConnectionType == kConnectionTcpIp && config.m_nSocketType == kSocketTcp) {
    m_link = Link::kTcp;
  } else if (config.m_nConnectionType == kConnectionTcpIp && config.m_nSocketType == kSocketUdp) {
    m_link = Link::kUdp;
  }
  if (!HasLinkObjects()) return -1;
  m_pTcp->EndWaitOnRefusal(options.refusalEndsConnectWait);
  switch (m_link) {
    case Link::kSerial: return OpenSerialLink(config, trace);
    case Link::kTcp: return OpenTcpLink(config, trace, stopRequested);
    case Link::kUdp: return OpenUdpLink(config, options, trace);
    case Link::kNone: break;
  }
  return -1;
}

int32_t CDeviceLink::OpenSerialLink(const CCfgDevice& config, const vf::TraceWriter& trace) {
  const int32_t port = config.m_nSerialPort;
  if (port < 1 || port > kAisLastComPort) {
    trace.TraceStatus(vf::kTraceError,
                u"Failed to open serial port: [COM%ld]. The requested serial port does not exist on this system.",
                {port});
    return -1;
  }
  m_pSerial->m_nPort = port;
  m_pSerial->m_nBaudRate = static_cast<uint32_t>(config.m_nSerialSpeed);
  m_pSerial->m_nFormat = config.m_nSerialFormat;
  m_pSerial->m_nTimeout = static_cast<uint32_t>(config.m_nSerialTimeout);
  trace.TraceStatus(vf::kTraceProgress, u"Opening serial port: [COM%ld] with a speed of %ld bps...",
              {port, config.m_nSerialSpeed});
  const int32_t result = m_pSerial->Open();
  if (result == 0) {
    trace.TraceStatus(vf::kTraceSuccess, u"Successfully opened serial port: [COM%ld].", {port});
    m_recovery.Start(u"serial port [COM" + vf::platform::AnsiToWide(std::to_string(port)) + u"]");
    return 0;
  }
  CWideString text;
  trace.TraceStatus(vf::kTraceError, u"Failed to open serial port: [COM%ld]. %ls.", {port, GetErrorText(result, text)});
  return -1;
}

int32_t CDeviceLink::OpenTcpLink(const CCfgDevice& config, const vf::TraceWriter& trace,
                                 const std::atomic<bool>& stopRequested) {
  if (config.m_strHostAddress.IsEmpty()) {
    trace.TraceStatus(vf::kTraceError, u"Failed to open TCP connection: The destination host name or IP address must be set.");
    return -1;
  }
  if (!IsIpPort(config.m_nIpPort)) {
    trace.TraceStatus(vf::kTraceError,
                u"Failed to open TCP connection: An invalid TCP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  trace.TraceStatus(vf::kTraceProgress, u"Opening TCP connection to: [%ls] on port: [%ld]...",
              {config.m_strHostAddress, config.m_nIpPort});
  m_strTcpHost = ToAnsiString(config.m_strHostAddress);
  m_nTcpPort = config.m_nIpPort;
  m_recovery.Start(u"TCP [" + std::u16string(config.m_strHostAddress.View()) + u"] on port [" +
                   vf::platform::AnsiToWide(std::to_string(config.m_nIpPort)) + u"]");
  // A stop ends the attempts: the host must not wait out up to 15 s of them.
  const auto stopping = [&stopRequested] { return stopRequested.load(); };
  for (int attempt = 0; attempt < kConnectAttempts && !stopping(); ++attempt) {
    const int32_t result = m_pTcp->Connect(m_strTcpHost, m_nTcpPort, stopping);
    if (result == 0) {
      trace.TraceStatus(vf::kTraceSuccess, u"TCP connection established.");
      return 0;
    }
    if (stopping()) return -1;  // cut short by the stop: nothing failed
    CWideString text;
    trace.TraceStatus(vf::kTraceError, u"Failed to open TCP connection: %ls.", {GetErrorText(result, text)});
  }
  if (!m_bRetryFirstConnect || stopping()) return -1;
  trace.TraceStatus(vf::kTraceProgress, u"The TCP connection is tried again until it opens or the plugin is stopped.");
  m_recovery.NotOpenYet(vf::platform::TickCountMs());
  return 1;
}

int32_t CDeviceLink::OpenUdpLink(const CCfgDevice& config, const vf::FeedOptions& options,
                                 const vf::TraceWriter& trace) {
  const int32_t port = config.m_nIpPort;
  if (!IsIpPort(port)) {
    trace.TraceStatus(vf::kTraceError,
                u"Failed to open UDP connection: An invalid UDP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  if (config.m_strHostAddress.IsEmpty()) {
    trace.TraceStatus(vf::kTraceProgress, u"Opening UDP session on port: [%ld]...", {port});
  } else {
    trace.TraceStatus(vf::kTraceProgress, u"Opening UDP session to: [%ls] on port: [%ld]...",
                {config.m_strHostAddress, port});
  }
  CWideString text;
  // A stop ends the name lookups; what it cuts short did not fail.
  const vf::platform::Abandon stopping = [this] { return m_pStopRequested->load(); };
  const std::string localHost = vf::platform::WideToAnsi(options.udpBind);
  if (const int32_t result = m_pUdp->Bind(port, localHost, stopping); result != 0) {
    if (stopping()) return -1;
    trace.TraceStatus(vf::kTraceError, u"Failed to open UDP session: Failed to bind local UDP port: [%ld], %ls.",
                {port, GetErrorText(result, text)});
    return -1;
  }
  if (const int32_t remotePort = config.m_nRemoteIpPort; remotePort != 0) {
    // Without its object the remote socket fails as a socket that could not be made.
    const int32_t result = m_pUdpRemote != nullptr
                               ? m_pUdpRemote->Connect(ToAnsiString(config.m_strHostAddress), remotePort, stopping)
                               : kUdpSocketFailed;
    if (result != 0) {
      if (stopping()) return -1;
      trace.TraceStatus(vf::kTraceError, u"Failed to open UDP session: Failed to connect remote UDP port: [%ld], %ls.",
                  {remotePort, GetErrorText(result, text)});
      return -1;
    }
  }
  if (!AcceptUdpSources(config, options, trace)) return -1;
  trace.TraceStatus(vf::kTraceSuccess, u"UDP session started.");
  return 0;
}

bool CDeviceLink::AcceptUdpSources(const CCfgDevice& config, const vf::FeedOptions& options,
                                   const vf::TraceWriter& trace) {
  // "UDPSOURCES=PEER" is the configured host; otherwise a list of hosts.
  const std::u16string_view option = options.udpSources;
  if (option.empty()) return true;
  const vf::platform::Abandon stopping = [this] { return m_pStopRequested->load(); };
  const std::u16string_view named = option == u"PEER" ? config.m_strHostAddress.View() : option;
  std::u16string_view list = named;
  std::vector<vf::platform::SocketAddress> sources;
  while (!list.empty()) {
    const size_t comma = list.find(u',');
    const std::string host = vf::platform::WideToAnsi(list.substr(0, comma));
    vf::platform::SocketAddress address{};
    if (!host.empty() && !vf::platform::ResolveStreamAddress(host, "0", address, stopping)) {
      if (stopping()) return false;
      trace.TraceStatus(vf::kTraceError, u"Failed to open UDP session: the accepted source [%ls] cannot be resolved.",
                        {vf::platform::AnsiToWide(host)});
      return false;
    }
    if (!host.empty()) sources.push_back(address);
    list = comma == std::u16string_view::npos ? std::u16string_view{} : list.substr(comma + 1);
  }
  trace.TraceStatus(vf::kTraceProgress, u"Accepting datagrams only from: [%ls].", {named});
  m_pUdp->AcceptOnlyFrom(std::move(sources));
  return true;
}

void CDeviceLink::TraceRefusedDatagrams() {
  const uint64_t refused = m_pUdp->Refused();
  if (refused == 0 || m_bRefusalTraced || m_pTrace == nullptr) return;
  m_bRefusalTraced = true;
  m_pTrace->TraceStatus(vf::kTraceError, u"A datagram from [%ls] was refused: it is not from an accepted source.",
                        {vf::platform::AnsiToWide(vf::platform::HostText(m_pUdp->LastRefused()))});
}

int32_t CDeviceLink::WaitForDeviceData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent) {
  if (!HasLinkObjects()) return -1;
  switch (m_link) {
    case Link::kSerial: {
      // The serial read does the waiting; here the events are only polled.
      vf::platform::Handle events[2] = {controlEvent, auxEvent};
      size_t count = 0;
      for (vf::platform::Handle event : events) count += vf::platform::IsHeld(event) ? 1 : 0;
      const int signalled = count > 0 ? vf::platform::WaitForAnyEvent(events, count, 0) : -1;
      return signalled >= 0 ? signalled + 1 : 0;
    }
    case Link::kTcp:
      if (m_bReconnect && (m_pTcp->PeerClosed() || m_pTcp->m_bConnected == 0)) return RecoverTcp(controlEvent);
      return m_pTcp->WaitForData(controlEvent, auxEvent);
    case Link::kUdp: return m_datagramLines.Pending() ? 0 : m_pUdp->WaitForData(controlEvent, auxEvent);
    case Link::kNone: break;
  }
  return -1;
}

int32_t CDeviceLink::ReadDeviceLine(CWideString& line, vf::platform::Handle stopEvent) {
  if (!HasLinkObjects()) return -1;
  switch (m_link) {
    case Link::kSerial: {
      if (m_bReconnect && m_pSerial->IsLost()) return RecoverSerial(line, stopEvent);
      if (m_pSerial->IsLost()) {
        if (!m_bLossTraced && m_pTrace != nullptr) {
          m_pTrace->TraceStatus(vf::kTraceError,
                                u"Serial port [COM%ld] is no longer there; stop and start the plugin once it is back.",
                                {m_pSerial->m_nPort});
        }
        m_bLossTraced = true;
        line.Empty();
        // Nothing to read: wait for the stop instead of asking again at once.
        vf::platform::WaitForStop(stopEvent, kSerialReadTimeoutMs);
        return -1;
      }
      m_pSerial->m_nTimeout = kSerialReadTimeoutMs;
      return m_pSerial->ReadLine(line, stopEvent);
    }
    case Link::kTcp: return m_pTcp->ReadLine(line);
    case Link::kUdp: {
      const int32_t result = m_bDatagramLines ? ReadDatagramLine(line) : m_pUdp->ReadDatagram(line);
      TraceRefusedDatagrams();
      return result;
    }
    case Link::kNone: break;
  }
  return -1;
}

int32_t CDeviceLink::RecoverTcp(vf::platform::Handle stopEvent) {
  const auto stopping = [this] { return m_pStopRequested != nullptr && m_pStopRequested->load(); };
  m_recovery.Pass(*m_pTrace, stopEvent, [&] {
    m_pTcp->Close();
    return m_pTcp->Connect(m_strTcpHost, m_nTcpPort, stopping);
  });
  return -1;
}

int32_t CDeviceLink::RecoverSerial(CWideString& line, vf::platform::Handle stopEvent) {
  line.Truncate(0);
  m_recovery.Pass(*m_pTrace, stopEvent, [this] {
    m_pSerial->Close();
    return m_pSerial->Open();
  });
  return -1;
}

int32_t CDeviceLink::ReadDatagramLine(CWideString& line) {
  if (!m_datagramLines.Pending()) {
    if (m_pUdp->ReadDatagram(m_strDatagram) != 0) {
      line.Truncate(0);
      return -1;
    }
    m_datagramLines.Take(m_strDatagram.View());
  }
  if (m_datagramLines.Next(line)) return 0;
  line.Truncate(0);
  return -1;
}

int64_t CDeviceLink::LostBelow() const {
  if (!HasLinkObjects()) return 0;
  switch (m_link) {
    case Link::kSerial: return m_pSerial->Overruns();
    case Link::kUdp: return m_pUdp->SystemDropped();
    case Link::kTcp:
    case Link::kNone: break;
  }
  return 0;
}

void CDeviceLink::CloseDeviceLink(const vf::TraceWriter& trace) {
  if (!HasLinkObjects()) return;
  switch (m_link) {
    case Link::kSerial:
      trace.TraceStatus(vf::kTraceProgress, u"Closing serial port...");
      m_pSerial->Purge(false, true);
      m_pSerial->Purge(true, false);
      m_pSerial->Close();
      break;
    case Link::kTcp:
      trace.TraceStatus(vf::kTraceProgress, u"Closing TCP session...");
      m_pTcp->Close();
      break;
    case Link::kUdp:
      trace.TraceStatus(vf::kTraceProgress, u"Closing UDP session...");
      if (m_pUdp->Refused() > 0) {
        trace.TraceStatus(vf::kTraceError, u"Datagrams refused from other sources: %ld.",
                          {static_cast<int64_t>(m_pUdp->Refused())});
      }
      m_pUdp->Close();
      if (m_pUdpRemote != nullptr) m_pUdpRemote->Close();
      break;
    case Link::kNone: break;
  }
}
