// Opening, waiting on, reading and closing the one link that the device
// configuration selects, with the trace lines that tell the user why.
#include <string>

#include "diag/trace_file.h"
#include "links/control_events.h"
#include "links/error_text.h"
#include "links/mfc_serial.h"
#include "links/tcp_client.h"
#include "links/udp_session.h"
#include "platform/event.h"
#include "platform/text_codec.h"
#include "plugin/plugin_app.h"

namespace {

enum class Link { kNone, kSerial, kTcp, kUdp };

constexpr int32_t kLastIpPort = 65536;
constexpr int kConnectAttempts = 3;
constexpr uint32_t kSerialReadTimeoutMs = 500;

Link SelectedLink(const CCfgDevice& config) {
  if (config.m_nConnectionType == kConnectionSerial) return Link::kSerial;
  if (config.m_nConnectionType != kConnectionTcpIp) return Link::kNone;
  if (config.m_nSocketType == kSocketTcp) return Link::kTcp;
  if (config.m_nSocketType == kSocketUdp) return Link::kUdp;
  return Link::kNone;
}

bool IsIpPort(int32_t port) { return port >= 1 && port <= kLastIpPort; }

}  // namespace

std::string CPluginApp::ToAnsiString(const CWideString& text) { return vf::platform::WideToAnsi(text.View()); }

bool CPluginApp::HasLinkObjects() const { return m_pSerial != nullptr && m_pTcp != nullptr && m_pUdp != nullptr; }

int32_t CPluginApp::OpenDeviceLink() {
  if (!HasLinkObjects()) return -1;
  switch (SelectedLink(m_cfgDevice)) {
    case Link::kSerial: return OpenSerialLink();
    case Link::kTcp: return OpenTcpLink();
    case Link::kUdp: return OpenUdpLink();
    case Link::kNone: break;
  }
  return -1;
}

int32_t CPluginApp::OpenSerialLink() {
  const int32_t port = m_cfgDevice.m_nSerialPort;
  if (port < 1 || port > 256) {
    TraceStatus(vf::kTraceError,
                u"Failed to open serial port: [COM%ld]. The requested serial port does not exist on this system.",
                {port});
    return -1;
  }
  m_pSerial->m_nPort = port;
  m_pSerial->m_nBaudRate = static_cast<uint32_t>(m_cfgDevice.m_nSerialSpeed);
  m_pSerial->m_nFormat = m_cfgDevice.m_nSerialFormat;
  m_pSerial->m_nTimeout = static_cast<uint32_t>(m_cfgDevice.m_nSerialTimeout);
  TraceStatus(vf::kTraceProgress, u"Opening serial port: [COM%ld] with a speed of %ld bps...",
              {port, m_cfgDevice.m_nSerialSpeed});
  const int32_t result = m_pSerial->Open();
  if (result == 0) {
    TraceStatus(vf::kTraceSuccess, u"Successfully opened serial port: [COM%ld].", {port});
    return 0;
  }
  CWideString text;
  TraceStatus(vf::kTraceError, u"Failed to open serial port: [COM%ld]. %ls.", {port, GetErrorText(result, text)});
  return -1;
}

int32_t CPluginApp::OpenTcpLink() {
  if (m_cfgDevice.m_strHostAddress.IsEmpty()) {
    TraceStatus(vf::kTraceError, u"Failed to open TCP connection: The destination host name or IP address must be set.");
    return -1;
  }
  if (!IsIpPort(m_cfgDevice.m_nIpPort)) {
    TraceStatus(vf::kTraceError,
                u"Failed to open TCP connection: An invalid TCP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  TraceStatus(vf::kTraceProgress, u"Opening TCP connection to: [%ls] on port: [%ld]...",
              {m_cfgDevice.m_strHostAddress, m_cfgDevice.m_nIpPort});
  // A stop ends the attempts: the host must not wait out up to 15 s of them.
  const auto stopping = [this] { return m_bStopRequested.load(); };
  for (int attempt = 0; attempt < kConnectAttempts && !stopping(); ++attempt) {
    const int32_t result =
        m_pTcp->Connect(ToAnsiString(m_cfgDevice.m_strHostAddress), m_cfgDevice.m_nIpPort, stopping);
    if (result == 0) {
      TraceStatus(vf::kTraceSuccess, u"TCP connection established.");
      return 0;
    }
    CWideString text;
    TraceStatus(vf::kTraceError, u"Failed to open TCP connection: %ls.", {GetErrorText(result, text)});
  }
  return -1;
}

int32_t CPluginApp::OpenUdpLink() {
  const int32_t port = m_cfgDevice.m_nIpPort;
  if (!IsIpPort(port)) {
    TraceStatus(vf::kTraceError,
                u"Failed to open UDP connection: An invalid UDP port number was supplied. The valid range is (1..65536).");
    return -1;
  }
  if (m_cfgDevice.m_strHostAddress.IsEmpty()) {
    TraceStatus(vf::kTraceProgress, u"Opening UDP session on port: [%ld]...", {port});
  } else {
    TraceStatus(vf::kTraceProgress, u"Opening UDP session to: [%ls] on port: [%ld]...",
                {m_cfgDevice.m_strHostAddress, port});
  }
  CWideString text;
  if (const int32_t result = m_pUdp->Bind(port); result != 0) {
    TraceStatus(vf::kTraceError, u"Failed to open UDP session: Failed to bind local UDP port: [%ld], %ls.",
                {port, GetErrorText(result, text)});
    return -1;
  }
  if (const int32_t remotePort = m_cfgDevice.m_nRemoteIpPort; remotePort != 0) {
    // Without its object the remote socket fails as a socket that could not be made.
    const int32_t result = m_pUdpRemote != nullptr
                               ? m_pUdpRemote->Connect(ToAnsiString(m_cfgDevice.m_strHostAddress), remotePort)
                               : kUdpSocketFailed;
    if (result != 0) {
      TraceStatus(vf::kTraceError, u"Failed to open UDP session: Failed to connect remote UDP port: [%ld], %ls.",
                  {remotePort, GetErrorText(result, text)});
      return -1;
    }
  }
  TraceStatus(vf::kTraceSuccess, u"UDP session started.");
  return 0;
}

int32_t CPluginApp::WaitForDeviceData() {
  if (!HasLinkObjects()) return -1;
  switch (SelectedLink(m_cfgDevice)) {
    case Link::kSerial: {
      // The serial read does the waiting; here the events are only polled.
      vf::platform::Handle events[2] = {m_hControlEvent, m_hAuxEvent};
      size_t count = 0;
      for (vf::platform::Handle event : events) count += vf::platform::IsHeld(event) ? 1 : 0;
      const int signalled = count > 0 ? vf::platform::WaitForAnyEvent(events, count, 0) : -1;
      return signalled >= 0 ? signalled + 1 : 0;
    }
    case Link::kTcp: return m_pTcp->WaitForData(m_hControlEvent, m_hAuxEvent);
    case Link::kUdp: return m_pUdp->WaitForData(m_hControlEvent, m_hAuxEvent);
    case Link::kNone: break;
  }
  return -1;
}

int32_t CPluginApp::ReadDeviceLine(CWideString& line) {
  if (!HasLinkObjects()) return -1;
  switch (SelectedLink(m_cfgDevice)) {
    case Link::kSerial:
      m_pSerial->m_nTimeout = kSerialReadTimeoutMs;
      return m_pSerial->ReadLine(line);
    case Link::kTcp: return m_pTcp->ReadLine(line);
    case Link::kUdp: return m_pUdp->ReadDatagram(line);
    case Link::kNone: break;
  }
  return -1;
}

void CPluginApp::CloseDeviceLink() {
  if (!HasLinkObjects()) return;
  switch (SelectedLink(m_cfgDevice)) {
    case Link::kSerial:
      TraceStatus(vf::kTraceProgress, u"Closing serial port...");
      m_pSerial->Purge(false, true);
      m_pSerial->Purge(true, false);
      m_pSerial->Close();
      break;
    case Link::kTcp:
      TraceStatus(vf::kTraceProgress, u"Closing TCP session...");
      m_pTcp->Close();
      break;
    case Link::kUdp:
      TraceStatus(vf::kTraceProgress, u"Closing UDP session...");
      m_pUdp->Close();
      if (m_pUdpRemote != nullptr) m_pUdpRemote->Close();
      break;
    case Link::kNone: break;
  }
}
