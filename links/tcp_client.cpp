#include "tcp_client.h"

#include <algorithm>
#include <cstring>

#include "links/control_events.h"
#include "links/error_text.h"
#include "platform/clock.h"

namespace {

constexpr int kSocketBufferBytes = 4096;

}  // namespace

CTcp::CTcp() : m_bWinsockReady(vf::platform::StartSocketLayer() ? 1 : 0) {}

CTcp::~CTcp() {
  if (m_bWinsockReady == 1 && vf::platform::StopSocketLayer()) m_bWinsockReady = 0;
}

namespace {

// The connection wait in slices, asking between them whether to give up.
bool WaitConnectedUnlessAbandoned(vf::platform::Socket socket, bool refusalEndsWait,
                                  const std::function<bool()>& abandon) {
  using vf::platform::ConnectWait;
  using vf::platform::kAbandonCheckMs;
  for (uint32_t waited = 0; waited < CTcp::kConnectWaitMs; waited += kAbandonCheckMs) {
    if (abandon && abandon()) return false;
    const uint32_t slice = abandon ? std::min(kAbandonCheckMs, CTcp::kConnectWaitMs - waited) : CTcp::kConnectWaitMs;
    const ConnectWait result = vf::platform::WaitConnected(socket, slice, refusalEndsWait);
    if (result != ConnectWait::kNoAnswer) return result == ConnectWait::kConnected;
    if (!abandon) return false;
  }
  return false;
}

}  // namespace

int32_t CTcp::Connect(const std::string& host, int32_t port, const std::function<bool()>& abandon) {
  using namespace vf::platform;
  int32_t result = -1;
  if (m_bWinsockReady == 0) {
    result = kTcpStartupFailed;
  } else if (m_hSocket == kNoSocket) {
    SocketAddress address{};
    if ((m_hSocket = OpenSocket(SocketKind::kStream)) == kNoSocket) {
      result = kTcpSocketFailed;
    } else if (!SetAddressReuse(m_hSocket)) {
      result = kTcpReuseFlagFailed;
    } else if (!SetNonBlocking(m_hSocket)) {
      result = kTcpBlockingFlagFailed;
    } else if (!ResolveStreamAddress(host, std::to_string(port), address, abandon)) {
      result = kTcpHostUnresolved;
    } else if (const ConnectStart start = StartConnect(m_hSocket, address);
               start == ConnectStart::kFailed || (start == ConnectStart::kPending &&
                !WaitConnectedUnlessAbandoned(m_hSocket, m_bRefusalEndsWait, abandon))) {
      result = kTcpConnectTimeout;
    } else {
      m_bConnected = 1;
      m_bPeerClosed = false;
      SetBufferSizes(m_hSocket, kSocketBufferBytes);
      m_nRxBegin = m_nRxEnd = 0;
      result = 0;
    }
  }
  if (result != 0 && m_hSocket != kNoSocket) Close();
  return result;
}

int32_t CTcp::WaitForData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent) {
  if (m_bConnected == 0) return -1;
  if (m_nRxBegin < m_nRxEnd) return 0;  // bytes already received wait here
  vf::platform::Handle events[2];
  const size_t count = ControlEventList(controlEvent, auxEvent, events);
  const int32_t result = vf::platform::WaitForSocketOrEvents(m_hSocket, vf::platform::SocketKind::kStream, events,
                                                             count, kDataWaitMs);
  if (result == -1 && !m_bPeerClosed) m_bPeerClosed = vf::platform::StreamEnded(m_hSocket);
  return result;
}

int32_t CTcp::ReadLine(CWideString& line) {
  std::string_view bytes;
  const int32_t result = ReadLineBytes(bytes);
  m_lineText.Set(bytes, line);
  return result;
}

int32_t CTcp::ReadLineBytes(std::string_view& line, vf::platform::Handle stopEvent) {
  m_strLine.clear();
  int32_t result = -1;
  // The clock is read only when the buffer has run dry: a line that is
  // already here costs no clock reads.
  bool timed = false;
  uint32_t deadline = 0;
  for (;;) {
    if (m_hSocket == vf::platform::kNoSocket) {
      result = -1;
      break;
    }
    if (m_nRxBegin == m_nRxEnd) {
      const uint32_t now = vf::platform::TickCountMs();
      if (!timed) deadline = now + kLineWaitMs;
      timed = true;
      const auto left = static_cast<int32_t>(deadline - now);
      if (left <= 0) break;
      const ptrdiff_t got = vf::platform::Receive(m_hSocket, m_rxBuffer, sizeof m_rxBuffer);
      if (got == 0) m_bPeerClosed = true;
      if (got <= 0) {
        // Nothing waiting: sleep until data comes, the stop, or the time is
        // up (a closed stream never wakes the wait) instead of asking again at once.
        result = -1;
        const size_t events = vf::platform::IsHeld(stopEvent) ? 1 : 0;
        if (vf::platform::WaitForSocketOrEvents(m_hSocket, vf::platform::SocketKind::kStream, &stopEvent, events,
                                                static_cast<uint32_t>(left)) == 1) {
          break;
        }
        continue;
      }
      m_nRxBegin = 0;
      m_nRxEnd = static_cast<size_t>(got);
    }
    const char* begin = m_rxBuffer + m_nRxBegin;
    const char* end = vf::links::FindLineEnd(begin, m_rxBuffer + m_nRxEnd);
    KeepLineBytes(begin, end);
    result = 0;
    if (end != m_rxBuffer + m_nRxEnd) {
      m_nRxBegin = static_cast<size_t>(end - m_rxBuffer) + 1;  // past the CR or LF
      break;
    }
    m_nRxBegin = m_nRxEnd;
  }
  line = m_strLine;
  return result;
}

void CTcp::KeepLineBytes(const char* begin, const char* end) {
  // NUL bytes are dropped; a line longer than the line area keeps its first
  // 2047 characters.
  for (const char* at = begin; at < end && m_strLine.size() < kLineCapacity;) {
    const auto* nul = static_cast<const char*>(std::memchr(at, '\0', static_cast<size_t>(end - at)));
    const char* stop = nul != nullptr ? nul : end;
    m_strLine.append(at, std::min(static_cast<size_t>(stop - at), kLineCapacity - m_strLine.size()));
    at = stop + (nul != nullptr ? 1 : 0);
  }
}

void CTcp::Close() {
  if (m_hSocket == vf::platform::kNoSocket) return;
  vf::platform::ShutdownSocket(m_hSocket);
  vf::platform::CloseSocket(m_hSocket);
  m_bConnected = 0;
  m_hSocket = vf::platform::kNoSocket;
  m_nRxBegin = m_nRxEnd = 0;
  m_bPeerClosed = false;
}
