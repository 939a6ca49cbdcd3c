#include "udp_session.h"

#include <algorithm>
#include <cstring>

#include "links/control_events.h"
#include "links/error_text.h"

namespace {

constexpr int kSocketBufferBytes = 4096;

}  // namespace

CUdp::CUdp() : m_bWinsockReady(vf::platform::StartSocketLayer() ? 1 : 0) {}

CUdp::~CUdp() {
  if (m_bWinsockReady == 1 && vf::platform::StopSocketLayer()) m_bWinsockReady = 0;
}

int32_t CUdp::Bind(int32_t port, const std::string& localHost, const vf::platform::Abandon& abandon) {
  using namespace vf::platform;
  int32_t result = -1;
  if (m_bWinsockReady == 0) {
    result = kUdpStartupFailed;
  } else if (m_hSocket == kNoSocket) {
    const uint16_t localPort = static_cast<uint16_t>(port);
    m_addrLocal = AnyAddress(localPort);
    if (!localHost.empty() && !ResolveStreamAddress(localHost, std::to_string(localPort), m_addrLocal, abandon)) {
      result = kUdpBindFailed;
    } else if ((m_hSocket = OpenSocket(SocketKind::kDatagram)) == kNoSocket) {
      result = kUdpSocketFailed;
    } else if (!SetNonBlocking(m_hSocket)) {
      result = kUdpBlockingFlagFailed;
    } else if (!(m_bExclusive ? SetExclusiveAddressUse(m_hSocket) : SetAddressReuse(m_hSocket))) {
      result = kUdpReuseFlagFailed;
    } else if (!BindSocket(m_hSocket, m_addrLocal)) {
      result = kUdpBindFailed;
    } else {
      SetBufferSizes(m_hSocket, kSocketBufferBytes);
      m_nGrantedBytes = m_nReceiveBufferBytes > 0 ? GrowReceiveBuffer(m_hSocket, m_nReceiveBufferBytes) : 0;
      result = 0;
    }
  }
  if (result != 0) Close();
  return result;
}

int32_t CUdp::Connect(const std::string& host, int32_t port, const vf::platform::Abandon& abandon) {
  using namespace vf::platform;
  if (m_bWinsockReady == 0) return kUdpStartupFailed;
  if (m_hSocket != kNoSocket) return kUdpSocketFailed;
  if ((m_hSocket = OpenSocket(SocketKind::kDatagram)) == kNoSocket) return kUdpSocketFailed;
  m_addrRemote = SocketAddress{};
  if (!ResolveDatagramPeer(host, m_addrRemote, abandon)) return kUdpBindFailed;
  SetAddressPort(m_addrRemote, static_cast<uint16_t>(port));
  return ConnectSocket(m_hSocket, m_addrRemote) ? 0 : kUdpBindFailed;
}

int32_t CUdp::WaitForData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent) {
  if (m_hSocket == vf::platform::kNoSocket) return -1;  // never bound: nothing to watch
  vf::platform::Handle events[2];
  const size_t count = ControlEventList(controlEvent, auxEvent, events);
  return vf::platform::WaitForSocketOrEvents(m_hSocket, vf::platform::SocketKind::kDatagram, events, count,
                                             kDataWaitMs);
}

int32_t CUdp::ReadDatagram(CWideString& text) {
  if (m_hSocket == vf::platform::kNoSocket) {
    text.Empty();
    return -1;
  }
  std::string_view bytes;
  const int32_t result = ReadDatagramBytes(bytes);
  m_text.Set(bytes, text);
  return result;
}

int32_t CUdp::ReadDatagramBytes(std::string_view& text) {
  text = {};
  if (m_hSocket == vf::platform::kNoSocket) return -1;
  m_area[0] = '\0';  // a failed receive reads as an empty datagram
  ptrdiff_t got = 0;
  if (!m_vecSources.empty()) {
    vf::platform::SocketAddress from{};
    got = vf::platform::ReceiveDatagramFrom(m_hSocket, m_area, sizeof m_area, from);
    const bool accepted = std::any_of(m_vecSources.begin(), m_vecSources.end(),
                                      [&from](const auto& source) { return vf::platform::SameHost(source, from); });
    if (got >= 0 && !accepted) {
      ++m_nRefused;
      m_addrRefused = from;
      return -1;
    }
  } else {
    got = vf::platform::ReceiveDatagram(m_hSocket, m_area, sizeof m_area);
  }
  // The text ends at the datagram's length or its first zero byte; a datagram
  // too long for the area (-1) leaves what the area took.
  const size_t length = got >= 0 ? static_cast<size_t>(got) : sizeof m_area;
  text = std::string_view(m_area, strnlen(m_area, length));
  return got < 0 ? -1 : 0;
}

int64_t CUdp::SystemDropped() const {
  const int64_t dropped = m_hSocket == vf::platform::kNoSocket ? -1 : vf::platform::DroppedDatagrams(m_hSocket);
  return dropped > 0 ? dropped : 0;
}

void CUdp::Close() {
  if (m_hSocket == vf::platform::kNoSocket) return;
  vf::platform::CloseSocket(m_hSocket);
  m_hSocket = vf::platform::kNoSocket;
}
