// The TCP client link: connects to the receiver, waits for its data together
// with the plug-in's events, and reads its stream line by line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ais_shared_string.h"
#include "links/line_text.h"
#include "platform/handle.h"
#include "platform/socket.h"

class CTcp {
 public:
  static constexpr size_t kLineCapacity = 2047;
  static constexpr uint32_t kConnectWaitMs = 5000;
  static constexpr uint32_t kDataWaitMs = 500;
  static constexpr uint32_t kLineWaitMs = 1000;

  CTcp();
  virtual ~CTcp();
  CTcp(const CTcp&) = delete;
  CTcp& operator=(const CTcp&) = delete;

  // 0, an error code of the TCP group (10210 to 10215), or -1 when a socket
  // was already open (it is closed). `abandon` is asked every 20 ms of the
  // name lookup and the connection wait; when it says so they end as a
  // failure, so that a stop need not sit out either.
  int32_t Connect(const std::string& host, int32_t port, const std::function<bool()>& abandon = {});
  // 0: data to read; 1: the control event; 2: the auxiliary event; -1:
  // nothing within 500 ms, no connection, or a failure.
  int32_t WaitForData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent);
  // One line without its CR or LF; 0 when the last receive delivered a byte.
  int32_t ReadLine(CWideString& line);
  // The same line as its bytes, valid until the next read: what the
  // sentence checks take, without a trip through the code page. The stop
  // event (when given) ends the wait for the rest of a line at once.
  int32_t ReadLineBytes(std::string_view& line, vf::platform::Handle stopEvent = vf::platform::InvalidHandle());
  // Whether the receiver has closed the connection (or it failed): known
  // once a wait for data has run out or a read found the stream's end.
  bool PeerClosed() const { return m_bPeerClosed; }
  void Close();

  // A refused connection fails at once instead of after the whole wait;
  // its code is still 10212.
  void EndWaitOnRefusal(bool on) { m_bRefusalEndsWait = on; }

  int32_t m_bWinsockReady = 0;
  int32_t m_bConnected = 0;
  vf::platform::Socket m_hSocket = vf::platform::kNoSocket;

 private:
  void KeepLineBytes(const char* begin, const char* end);

  // Bytes received but not yet handed out: the stream is read in chunks,
  // not a byte per system call.
  char m_rxBuffer[2048];
  size_t m_nRxBegin = 0;
  size_t m_nRxEnd = 0;
  bool m_bPeerClosed = false;
  bool m_bRefusalEndsWait = false;
  // The line being collected and its text, kept from line to line.
  std::string m_strLine;
  vf::links::LineText m_lineText;
};
