// The UDP link: a socket bound to the local port that receives the
// receiver's datagrams, or one connected to a remote peer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ais_shared_string.h"
#include "links/line_text.h"
#include "platform/handle.h"
#include "platform/socket.h"

class CUdp {
 public:
  static constexpr size_t kDatagramCapacity = 2048;
  static constexpr uint32_t kDataWaitMs = 500;

  CUdp();
  virtual ~CUdp();
  CUdp(const CUdp&) = delete;
  CUdp& operator=(const CUdp&) = delete;

  // Binds the low 16 bits of `port` on every interface, or on the one of
  // `localHost` when it is given: 0, an error code of the UDP group (10230
  // to 10234), or -1 when a socket was already open (it is closed).
  // `abandon` ends a name lookup early, as in CTcp::Connect.
  int32_t Bind(int32_t port, const std::string& localHost = {}, const vf::platform::Abandon& abandon = {});
  // How the next Bind treats the port: exclusive (no other program may bind
  // it, even asking for reuse) or shared as the contract has it (address
  // reuse); and the receive buffer, in payload bytes (0: the contract's 4 KiB).
  void UsePort(bool exclusive, int receiveBufferBytes) {
    m_bExclusive = exclusive;
    m_nReceiveBufferBytes = receiveBufferBytes;
  }
  // The receive buffer the system granted at the last Bind, in payload bytes.
  int GrantedReceiveBuffer() const { return m_nGrantedBytes; }
  // From now on only datagrams from these hosts are read; the others are
  // dropped and counted. An empty list takes every datagram.
  void AcceptOnlyFrom(std::vector<vf::platform::SocketAddress> sources) { m_vecSources = std::move(sources); }
  uint64_t Refused() const { return m_nRefused; }
  // Datagrams the system dropped on the socket for want of room before this
  // session could read them; 0 where the system does not tell.
  int64_t SystemDropped() const;
  // The sender of the datagram refused last.
  const vf::platform::SocketAddress& LastRefused() const { return m_addrRefused; }
  // Connects a new socket to the host's first address: 0, 10230, 10231 or
  // 10234. A socket made before a failure stays open until Close.
  int32_t Connect(const std::string& host, int32_t port, const vf::platform::Abandon& abandon = {});
  // As CTcp::WaitForData, without the connection test.
  int32_t WaitForData(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent);
  // The next datagram as text, up to its first zero byte; -1 on error, also
  // for a datagram longer than 2048 bytes.
  int32_t ReadDatagram(CWideString& text);
  // The same datagram as its bytes, valid until the next read.
  int32_t ReadDatagramBytes(std::string_view& text);
  void Close();

  uint8_t m_bWinsockReady = 0;
  vf::platform::Socket m_hSocket = vf::platform::kNoSocket;
  vf::platform::SocketAddress m_addrLocal{};
  vf::platform::SocketAddress m_addrRemote{};

 private:
  vf::links::LineText m_text;  // kept from datagram to datagram
  char m_area[kDatagramCapacity] = {};  // the datagram last read
  std::vector<vf::platform::SocketAddress> m_vecSources;
  uint64_t m_nRefused = 0;
  bool m_bExclusive = false;
  int m_nReceiveBufferBytes = 0;
  int m_nGrantedBytes = 0;
  vf::platform::SocketAddress m_addrRefused{};
};
