// The serial port link: opens COMn with the configured speed and frame and
// turns its bytes into text lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ais_shared_string.h"
#include "links/line_text.h"
#include "platform/handle.h"

class CMFCSerial {
 public:
  static constexpr uint32_t kRxBufferSize = 16385;
  static constexpr size_t kLineCapacity = 4096;

  CMFCSerial() = default;
  virtual ~CMFCSerial() { Close(); }
  CMFCSerial(const CMFCSerial&) = delete;
  CMFCSerial& operator=(const CMFCSerial&) = delete;

  // 0, or an error code of the serial group (10201 to 10204), or -1. The
  // stop event (when given) ends the wait for the receiver to see DTR.
  int32_t Open(vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  void Close();
  bool IsOpen() const { return vf::platform::IsHeld(m_hPort); }
  // Discards what the driver holds on either side; the receive side also
  // drops the bytes waiting here.
  void Purge(bool transmit, bool receive);

  // 0 with a non-empty line ended by CR or LF; -1 with what was collected
  // when the port is closed or gone, the time-out passes, the stop event
  // (when given) is signalled, or the line is empty.
  int32_t ReadLine(CWideString& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  // The same line as its bytes, valid until the next read.
  int32_t ReadLineBytes(std::string_view& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  // The device went away while open (unplugged; a pseudo-terminal's other
  // side closed): reads end at once until the port is opened again.
  bool IsLost() const { return m_bLost; }
  // Characters lost to overruns below the plug-in since the port was opened;
  // 0 when the driver does not tell.
  int64_t Overruns() const;

  vf::platform::Handle m_hPort = vf::platform::InvalidHandle();
  std::unique_ptr<uint8_t[]> m_pRxBuffer;
  uint32_t m_nRxCount = 0;
  int32_t m_nPort = 1;
  uint32_t m_nReadChunk = 64;
  uint32_t m_nBaudRate = 4800;
  int32_t m_nFormat = 0;
  uint32_t m_nTimeout = 1000;

 private:
  enum class Fill { kRead, kEnded };
  // One read of the port into the waiting bytes, waiting at most `waitMs`
  // for the first; kEnded when the stop came or the device is gone.
  Fill FillRxBuffer(uint32_t waitMs, vf::platform::Handle stopEvent);
  void KeepPrintable(const uint8_t* begin, const uint8_t* end);

  bool m_bLost = false;
  int64_t m_nOverrunsAtOpen = 0;
  // The line being collected and its text, kept from line to line.
  std::string m_strLine;
  vf::links::LineText m_lineText;
};
