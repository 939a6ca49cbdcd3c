// Real sockets and pseudo-terminals on this machine, for the link tests.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vf::test {

// A listening TCP socket on 127.0.0.1 with one accepted peer.
class TcpServer {
 public:
  TcpServer() {
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, 4);
    socklen_t length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
  }
  ~TcpServer() {
    if (m_peer >= 0) close(m_peer);
    close(m_listener);
  }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  uint16_t Port() const { return m_port; }
  // Waits at most `timeoutMs` for the client.
  bool Accept(int timeoutMs = 10000) {
    pollfd ready{m_listener, POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) != 1) return false;
    m_peer = accept(m_listener, nullptr, nullptr);
    return m_peer >= 0;
  }
  bool Send(const std::string& bytes) { return send(m_peer, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()); }
  void Hangup() {
    close(m_peer);
    m_peer = -1;
  }

 private:
  int m_listener = -1;
  int m_peer = -1;
  uint16_t m_port = 0;
};

// A loopback port where nothing listens (it was free a moment ago).
inline uint16_t UnusedTcpPort() {
  TcpServer probe;
  return probe.Port();
}

// Sends datagrams to a port on 127.0.0.1.
inline bool SendDatagram(uint16_t port, const std::string& bytes) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const ssize_t sent = sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(fd);
  return sent == ssize_t(bytes.size());
}

// A UDP port on every interface held by a socket without address reuse.
class HeldUdpPort {
 public:
  HeldUdpPort() {
    m_fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
  }
  ~HeldUdpPort() { close(m_fd); }
  HeldUdpPort(const HeldUdpPort&) = delete;
  HeldUdpPort& operator=(const HeldUdpPort&) = delete;
  uint16_t Port() const { return m_port; }

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
};

// A UDP port that was free a moment ago.
inline uint16_t UnusedUdpPort() {
  HeldUdpPort probe;
  return probe.Port();
}

// A pseudo-terminal whose far side appears as COMn: the folder named by
// VF_SERIAL_DIR holds a link "comN" to it. The test writes to the near side.
class SerialLoop {
 public:
  explicit SerialLoop(int portNumber) : m_portNumber(portNumber) {
    static std::atomic<int> serial{0};
    m_folder = std::filesystem::temp_directory_path() /
               ("serial-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(m_folder);
    setenv("VF_SERIAL_DIR", m_folder.c_str(), 1);
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(m_master);
    unlockpt(m_master);
    std::filesystem::create_symlink(ptsname(m_master), m_folder / ("com" + std::to_string(portNumber)));
  }
  ~SerialLoop() {
    close(m_master);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    unsetenv("VF_SERIAL_DIR");
  }
  SerialLoop(const SerialLoop&) = delete;
  SerialLoop& operator=(const SerialLoop&) = delete;

  // The receiver unplugged and plugged in again: the old terminal hangs up,
  // and COMn names a new one.
  void Replug() {
    close(m_master);
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(m_master);
    unlockpt(m_master);
    const std::filesystem::path link = m_folder / ("com" + std::to_string(m_portNumber));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(ptsname(m_master), link);
  }

  int Master() const { return m_master; }
  std::string DevicePath() const { return ptsname(m_master); }
  bool Send(const std::string& bytes) { return write(m_master, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

 private:
  int m_portNumber;
  std::filesystem::path m_folder;
  int m_master = -1;
};

}  // namespace vf::test
