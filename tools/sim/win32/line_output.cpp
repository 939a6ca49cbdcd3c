// The network outputs with Winsock. Windows has no pseudo-terminals: a serial
// receiver's place is taken by a TCP or UDP feed there.
#include "line_output.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "win32/system_error_text.h"

namespace vf::sim {
namespace {

constexpr long kStopCheckMs = 100;

// Each output holds the socket layer for as long as it lives.
class SocketLayer {
 public:
  SocketLayer() {
    WSADATA data;
    m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~SocketLayer() {
    if (m_started) WSACleanup();
  }
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;

 private:
  bool m_started = false;
};

// Whether `socket` is ready for reading (`forWrite` false) or writing within
// the stop-check interval.
bool Ready(SOCKET socket, bool forWrite) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{0, kStopCheckMs * 1000};
  return select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait) > 0;
}

// Writes everything, waiting while the reader is slow; false when the reader
// is gone or `stop` is set.
bool WriteAll(SOCKET socket, const std::string& bytes, const std::atomic<bool>& stop) {
  size_t written = 0;
  while (written < bytes.size()) {
    if (stop) return false;
    if (!Ready(socket, true)) continue;
    const int piece = static_cast<int>(std::min<size_t>(bytes.size() - written, INT_MAX));
    const int n = send(socket, bytes.data() + written, piece, 0);
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK && WSAGetLastError() != WSAEINTR) return false;
    if (n > 0) written += static_cast<size_t>(n);
  }
  return true;
}

class TcpServer : public TcpServerOutput {
 public:
  TcpServer(SOCKET listener, std::string address, uint16_t port)
      : TcpServerOutput(std::move(address), port), m_listener(listener) {}
  ~TcpServer() override {
    if (m_client != INVALID_SOCKET) closesocket(m_client);
    closesocket(m_listener);
  }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

 private:
  bool WriteToClient(const std::string& bytes, const std::atomic<bool>& stop) override {
    return WriteAll(m_client, bytes, stop);
  }
  void DropClient() override {
    closesocket(m_client);
    m_client = INVALID_SOCKET;
  }
  bool WaitForClient(const std::atomic<bool>& stop) override {
    while (m_client == INVALID_SOCKET) {
      if (stop) return false;
      if (!Ready(m_listener, false)) continue;
      m_client = accept(m_listener, nullptr, nullptr);
      u_long nonBlocking = 1;
      if (m_client != INVALID_SOCKET) ioctlsocket(m_client, FIONBIO, &nonBlocking);
    }
    return true;
  }

  SocketLayer m_layer;  // declared first: the sockets close before it ends
  SOCKET m_listener;
  SOCKET m_client = INVALID_SOCKET;
};

class UdpOutput : public LineOutput {
 public:
  UdpOutput(SOCKET socket, std::string target) : m_socket(socket), m_target(std::move(target)) {}
  ~UdpOutput() override { closesocket(m_socket); }
  UdpOutput(const UdpOutput&) = delete;
  UdpOutput& operator=(const UdpOutput&) = delete;

  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>&) override {
    for (const std::string& line : lines) {
      const std::string datagram = line + "\r\n";
      // A refused datagram (nobody listening yet) is lost, as on a radio link.
      if (send(m_socket, datagram.data(), static_cast<int>(datagram.size()), 0) == SOCKET_ERROR) {
        const int code = WSAGetLastError();
        if (code != WSAECONNREFUSED && code != WSAECONNRESET && code != WSAEMSGSIZE) return false;
      }
    }
    return true;
  }
  std::string Describe() const override { return "udp://" + m_target; }

 private:
  SocketLayer m_layer;
  SOCKET m_socket;
  std::string m_target;
};

}  // namespace

std::unique_ptr<TcpServerOutput> OpenTcpServer(const std::string& address, uint16_t port, std::string& error) {
  SocketLayer layer;  // for the calls below; the server holds its own
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    error = "'" + address + "' is not an IPv4 address to listen on";
    return nullptr;
  }
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  int length = sizeof local;
  if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + vf::tools::SystemErrorText(static_cast<DWORD>(WSAGetLastError())) +
            " (choose another port with --tcp)";
    if (listener != INVALID_SOCKET) closesocket(listener);
    return nullptr;
  }
  return std::make_unique<TcpServer>(listener, address, ntohs(local.sin_port));
}

std::unique_ptr<LineOutput> OpenUdpSender(const std::string& host, uint16_t port, std::string& error) {
  SocketLayer layer;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    error = "cannot resolve '" + host + "'";
    return nullptr;
  }
  const SOCKET udp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const bool connected =
      udp != INVALID_SOCKET && connect(udp, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
  freeaddrinfo(found);
  if (!connected) {
    error = "cannot send to " + host + ":" + std::to_string(port) + ": " + vf::tools::SystemErrorText(static_cast<DWORD>(WSAGetLastError()));
    if (udp != INVALID_SOCKET) closesocket(udp);
    return nullptr;
  }
  return std::make_unique<UdpOutput>(udp, host + ":" + std::to_string(port));
}

std::unique_ptr<LineOutput> OpenPseudoTerminal(const std::string&, std::string& error) {
  error = "--pty needs Linux; on Windows give a receiver's place to --tcp or --udp";
  return nullptr;
}

}  // namespace vf::sim
