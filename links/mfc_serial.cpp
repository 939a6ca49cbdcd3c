#include "mfc_serial.h"

#include "ais_plugin.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "links/error_text.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/serial_port.h"

namespace {

constexpr int32_t kFirstPort = 1;
constexpr uint32_t kModemSettleMs = 250;

// Frame formats 0 to 3: N-8-1, E-7-1, N-8-2, E-7-2.
const vf::platform::SerialFrame* FrameOf(int32_t format) {
  static constexpr vf::platform::SerialFrame kFrames[] = {{8, false, 1}, {7, true, 1}, {8, false, 2}, {7, true, 2}};
  return format >= 0 && format < 4 ? &kFrames[format] : nullptr;
}

int32_t ErrorOf(vf::platform::SerialOpenResult result) {
  switch (result) {
    case vf::platform::SerialOpenResult::kNotFound: return kSerialPortGone;
    case vf::platform::SerialOpenResult::kInUse: return kSerialPortInUse;
    case vf::platform::SerialOpenResult::kNoPermission: return kSerialNoPermission;
    case vf::platform::SerialOpenResult::kEventsFailed: return kSerialEventsFailed;
    default: return kSerialUnknownError;
  }
}

}  // namespace

int32_t CMFCSerial::Open(vf::platform::Handle stopEvent) {
  m_bLost = false;
  if (m_nPort < kFirstPort || m_nPort > kAisLastComPort) {
    Close();
    return -1;
  }
  vf::platform::SerialOpenResult result;
  m_hPort = vf::platform::OpenSerialPort(m_nPort, result);
  if (result != vf::platform::SerialOpenResult::kOpened) {
    m_hPort = vf::platform::InvalidHandle();
    Close();
    return ErrorOf(result);
  }
  m_pRxBuffer.reset(new (std::nothrow) uint8_t[kRxBufferSize]());
  if (!m_pRxBuffer) {
    Close();
    return -1;
  }
  m_nRxCount = 0;
  m_nOverrunsAtOpen = vf::platform::SerialOverrunCount(m_hPort);
  // A driver that refuses the settings still reads with the ones it has.
  vf::platform::ConfigureSerialPort(m_hPort, m_nBaudRate, FrameOf(m_nFormat));
  vf::platform::RaiseModemLines(m_hPort);
  vf::platform::WaitForStop(stopEvent, kModemSettleMs);  // let the receiver see DTR and RTS before we listen
  Purge(true, true);
  return 0;
}

void CMFCSerial::Purge(bool transmit, bool receive) {
  if (!IsOpen()) return;
  vf::platform::PurgeSerialPort(m_hPort, transmit, receive);
  if (receive) m_nRxCount = 0;
}

int64_t CMFCSerial::Overruns() const {
  const int64_t now = IsOpen() ? vf::platform::SerialOverrunCount(m_hPort) : -1;
  return now >= 0 && m_nOverrunsAtOpen >= 0 && now > m_nOverrunsAtOpen ? now - m_nOverrunsAtOpen : 0;
}

void CMFCSerial::Close() {
  if (IsOpen()) {
    Purge(true, true);
    vf::platform::CloseSerialPort(m_hPort);
    m_hPort = vf::platform::InvalidHandle();
  }
  m_pRxBuffer.reset();
}

CMFCSerial::Fill CMFCSerial::FillRxBuffer(uint32_t waitMs, vf::platform::Handle stopEvent) {
  size_t got = 0;
  const size_t wanted = m_nReadChunk > m_nRxCount ? m_nReadChunk - m_nRxCount : 0;
  switch (vf::platform::ReadSerialPort(m_hPort, &m_pRxBuffer[m_nRxCount], wanted, std::min(waitMs, m_nTimeout),
                                       stopEvent, got)) {
    case vf::platform::SerialRead::kData: m_nRxCount += static_cast<uint32_t>(got); return Fill::kRead;
    case vf::platform::SerialRead::kNothing: return Fill::kRead;
    case vf::platform::SerialRead::kGone: m_bLost = true; return Fill::kEnded;
    case vf::platform::SerialRead::kStopped: break;
  }
  return Fill::kEnded;
}

void CMFCSerial::KeepPrintable(const uint8_t* begin, const uint8_t* end) {
  // Printable ASCII only: control characters and bytes 0x80 to 0xFF are noise.
  for (const uint8_t* at = begin; at < end; ++at) {
    if (*at >= 0x20 && *at < 0x80 && m_strLine.size() < kLineCapacity) m_strLine += static_cast<char>(*at);
  }
}

int32_t CMFCSerial::ReadLine(CWideString& line, vf::platform::Handle stopEvent) {
  std::string_view bytes;
  const int32_t result = ReadLineBytes(bytes, stopEvent);
  m_lineText.Set(bytes, line);
  return result;
}

int32_t CMFCSerial::ReadLineBytes(std::string_view& line, vf::platform::Handle stopEvent) {
  m_strLine.clear();
  int32_t result = -1;
  if (IsOpen() && !m_bLost && m_nTimeout > 0) {
    // The silence time-out starts now and again after any byte, kept or not;
    // the clock is read only when a wait begins.
    bool restart = true;
    uint32_t deadline = 0;
    for (;;) {
      if (m_nRxCount == 0) {
        const uint32_t now = vf::platform::TickCountMs();
        if (restart) deadline = now + m_nTimeout;
        restart = false;
        const auto left = static_cast<int32_t>(deadline - now);
        if (left <= 0 || FillRxBuffer(static_cast<uint32_t>(left), stopEvent) == Fill::kEnded) break;
        continue;
      }
      const uint8_t* begin = &m_pRxBuffer[0];
      const uint8_t* end = begin + m_nRxCount;
      const auto* lineEnd = reinterpret_cast<const uint8_t*>(
          vf::links::FindLineEnd(reinterpret_cast<const char*>(begin), reinterpret_cast<const char*>(end)));
      KeepPrintable(begin, lineEnd);
      const bool ended = lineEnd != end;
      const auto used = static_cast<uint32_t>(lineEnd - begin) + (ended ? 1 : 0);
      std::memmove(&m_pRxBuffer[0], begin + used, m_nRxCount - used);  // what waits stays at the start
      m_nRxCount -= used;
      restart = true;
      if (ended) {
        result = m_strLine.empty() ? -1 : 0;
        break;
      }
    }
  }
  line = m_strLine;
  return result;
}
