#include "mfc_serial.h"

#include "ais_plugin.h"

#include <cstring>
#include <new>
#include <string>

#include "links/error_text.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/text_codec.h"

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
    case vf::platform::SerialOpenResult::kEventsFailed: return kSerialEventsFailed;
    default: return kSerialUnknownError;
  }
}

// Milliseconds from now to a tick-count deadline; 0 once it has passed.
uint32_t MsUntil(uint32_t deadline) {
  const auto left = static_cast<int32_t>(deadline - vf::platform::TickCountMs());
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

}  // namespace

int32_t CMFCSerial::Open() {
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
  // A driver that refuses the settings still reads with the ones it has.
  vf::platform::ConfigureSerialPort(m_hPort, m_nBaudRate, FrameOf(m_nFormat));
  vf::platform::RaiseModemLines(m_hPort);
  vf::platform::SleepMs(kModemSettleMs);  // let the receiver see DTR and RTS before we listen
  Purge(true, true);
  return 0;
}

void CMFCSerial::Purge(bool transmit, bool receive) {
  if (!IsOpen()) return;
  vf::platform::PurgeSerialPort(m_hPort, transmit, receive);
  if (receive) m_nRxCount = 0;
}

void CMFCSerial::Close() {
  if (IsOpen()) {
    Purge(true, true);
    vf::platform::CloseSerialPort(m_hPort);
    m_hPort = vf::platform::InvalidHandle();
  }
  m_pRxBuffer.reset();
}

int32_t CMFCSerial::ReadByte(uint8_t& byte, uint32_t& count, uint32_t waitMs, vf::platform::Handle stopEvent) {
  count = 0;
  if (m_nRxCount > 0) {
    byte = m_pRxBuffer[0];
    std::memmove(&m_pRxBuffer[0], &m_pRxBuffer[1], m_nRxCount - 1);
    --m_nRxCount;
    count = 1;
    return 0;
  }
  uint8_t chunk[256];
  const size_t wanted = std::min<size_t>(m_nReadChunk - m_nRxCount, sizeof chunk);
  size_t got = 0;
  switch (vf::platform::ReadSerialPort(m_hPort, chunk, wanted, std::min(waitMs, m_nTimeout), stopEvent, got)) {
    case vf::platform::SerialRead::kData: break;
    case vf::platform::SerialRead::kNothing: return -1;
    case vf::platform::SerialRead::kGone: m_bLost = true; return 1;
    case vf::platform::SerialRead::kStopped: return 1;
  }
  byte = chunk[0];
  std::memcpy(&m_pRxBuffer[0], chunk + 1, got - 1);
  m_nRxCount += static_cast<uint32_t>(got - 1);
  count = 1;
  return 0;
}

int32_t CMFCSerial::ReadLine(CWideString& line, vf::platform::Handle stopEvent) {
  std::string collected;
  int32_t result = -1;
  uint32_t deadline = vf::platform::TickCountMs() + m_nTimeout;
  if (IsOpen() && !m_bLost && MsUntil(deadline) > 0) {
    for (;;) {
      uint8_t byte = 0;
      uint32_t count = 0;
      const int32_t read = ReadByte(byte, count, MsUntil(deadline), stopEvent);
      if (read == 1) break;  // the stop, or a device that is gone
      if (read == 0 && count == 1) {
        deadline = vf::platform::TickCountMs() + m_nTimeout;  // any byte, kept or not, restarts the time-out
        if (byte == '\r' || byte == '\n') {
          result = collected.empty() ? -1 : 0;
          break;
        }
        // Printable ASCII only: control characters and bytes 0x80 to 0xFF are noise.
        if (byte >= 0x20 && byte < 0x80 && collected.size() < kLineCapacity) collected += static_cast<char>(byte);
      }
      if (MsUntil(deadline) == 0) break;
    }
  }
  line = vf::platform::AnsiToWide(collected);
  return result;
}
