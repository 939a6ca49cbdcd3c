// Real loopback sockets on this machine, for the link tests, and the
// configurations that read from them.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <string>

#include "ais_plugin.h"

namespace vf::test {

#ifdef _WIN32
using SocketId = SOCKET;
inline void CloseSocket(SocketId socket) { closesocket(socket); }
inline int PollSocket(pollfd* ready, int timeoutMs) { return WSAPoll(ready, 1, timeoutMs); }
constexpr int kSendFlags = 0;
// Winsock, once for the whole test program.
inline void StartSockets() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  static_cast<void>(started);
}
#else
using SocketId = int;
inline void CloseSocket(SocketId socket) { close(socket); }
inline int PollSocket(pollfd* ready, int timeoutMs) { return poll(ready, 1, timeoutMs); }
constexpr int kSendFlags = MSG_NOSIGNAL;
inline void StartSockets() {}
#endif
constexpr SocketId kNoPeer = static_cast<SocketId>(-1);

// A socket bound to `port`, or to a free port when it is 0 (then `port` is
// set to it): on 127.0.0.1, or on every interface.
inline SocketId BoundSocket(int type, uint16_t& port, bool loopbackOnly = true, bool reuseAddress = true) {
  StartSockets();
  const SocketId bound = socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (loopbackOnly) address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (type == SOCK_STREAM && reuseAddress) {
    // A receiver that comes back on its old port while its last connection
    // lingers there: Linux lets it bind only when both sockets asked for reuse.
    const int reuse = 1;
    setsockopt(bound, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  }
  bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(bound, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return bound;
}

// A listening TCP socket on 127.0.0.1 with one accepted peer.
class TcpServer {
 public:
  // m_port is declared before m_listener: binding the listener fills it in.
  // On a free port, or on `port`.
  explicit TcpServer(uint16_t port = 0) : m_port(port), m_listener(BoundSocket(SOCK_STREAM, m_port)) {
    listen(m_listener, 4);
  }
  ~TcpServer() {
    if (m_peer != kNoPeer) CloseSocket(m_peer);
    CloseSocket(m_listener);
  }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  uint16_t Port() const { return m_port; }
  // Waits at most `timeoutMs` for the client.
  bool Accept(int timeoutMs = 10000) {
    pollfd ready{m_listener, POLLIN, 0};
    if (PollSocket(&ready, timeoutMs) != 1) return false;
    m_peer = accept(m_listener, nullptr, nullptr);
    return m_peer != kNoPeer;
  }
  bool Send(const std::string& bytes) {
    return send(m_peer, bytes.data(), static_cast<int>(bytes.size()), kSendFlags) == static_cast<int>(bytes.size());
  }
  void Hangup() {
    CloseSocket(m_peer);
    m_peer = kNoPeer;
  }

 private:
  uint16_t m_port = 0;
  SocketId m_listener;
  SocketId m_peer = kNoPeer;
};

// A loopback port where nothing listens (it was free a moment ago), for a
// receiver that comes there later.
inline uint16_t UnusedTcpPort() {
  TcpServer probe;
  return probe.Port();
}

// A port held by a bound socket without address reuse, so that no other
// program can take it while this object lives.
class HeldPort {
 public:
  HeldPort(int type, bool loopbackOnly) : m_socket(BoundSocket(type, m_port, loopbackOnly, false)) {}
  ~HeldPort() { CloseSocket(m_socket); }
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;
  uint16_t Port() const { return m_port; }

 private:
  uint16_t m_port = 0;  // declared before m_socket: binding the socket fills it in
  SocketId m_socket;
};

// A loopback port that refuses every connection: bound, and never listening.
struct RefusingTcpPort : HeldPort {
  RefusingTcpPort() : HeldPort(SOCK_STREAM, true) {}
};

// Sends datagrams to a port on 127.0.0.1.
inline bool SendDatagram(uint16_t port, const std::string& bytes) {
  StartSockets();
  const SocketId sender = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto sent = sendto(sender, bytes.data(), static_cast<int>(bytes.size()), 0,
                           reinterpret_cast<sockaddr*>(&address), sizeof address);
  CloseSocket(sender);
  return sent == static_cast<int>(bytes.size());
}

// A UDP port on every interface.
struct HeldUdpPort : HeldPort {
  HeldUdpPort() : HeldPort(SOCK_DGRAM, false) {}
};

// A UDP port that was free a moment ago.
inline uint16_t UnusedUdpPort() {
  HeldUdpPort probe;
  return probe.Port();
}

// A TCP client of a receiver on 127.0.0.1.
inline CCfgDevice TcpClientConfig(uint16_t port, const char16_t* options = u"") {
  CCfgDevice config;
  config.m_nConnectionType = kConnectionTcpIp;
  config.m_nSocketType = kSocketTcp;
  config.m_strHostAddress = u"127.0.0.1";
  config.m_nIpPort = port;
  config.m_strOptions = options;
  return config;
}

// A UDP session on `port` of this machine.
inline CCfgDevice UdpSessionConfig(uint16_t port, const char16_t* options = u"") {
  CCfgDevice config;
  config.m_nConnectionType = kConnectionTcpIp;
  config.m_nSocketType = kSocketUdp;
  config.m_nIpPort = port;
  config.m_strOptions = options;
  return config;
}

}  // namespace vf::test
