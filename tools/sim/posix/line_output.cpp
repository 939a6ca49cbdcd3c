#include "line_output.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vf::sim {
namespace {

constexpr int kStopCheckMs = 100;

// Writes everything, waiting while the reader is slow; false when the reader
// is gone or `stop` is set. Sockets are written without SIGPIPE.
bool WriteAll(int fd, bool isSocket, const std::string& bytes, const std::atomic<bool>& stop) {
  size_t written = 0;
  while (written < bytes.size()) {
    if (stop) return false;
    pollfd ready{fd, POLLOUT, 0};
    if (poll(&ready, 1, kStopCheckMs) <= 0) continue;
    const char* from = bytes.data() + written;
    const size_t left = bytes.size() - written;
    const ssize_t n = isSocket ? send(fd, from, left, MSG_NOSIGNAL | MSG_DONTWAIT) : write(fd, from, left);
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (n > 0) written += static_cast<size_t>(n);
  }
  return true;
}

class UdpOutput : public LineOutput {
 public:
  UdpOutput(int fd, std::string target) : m_fd(fd), m_target(std::move(target)) {}
  ~UdpOutput() override { close(m_fd); }
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>&) override {
    for (const std::string& line : lines) {
      const std::string datagram = line + "\r\n";
      // A refused datagram (nobody listening yet) is lost, as on a radio link.
      if (send(m_fd, datagram.data(), datagram.size(), 0) < 0 && errno != ECONNREFUSED && errno != EMSGSIZE) return false;
    }
    return true;
  }
  std::string Describe() const override { return "udp://" + m_target; }

 private:
  int m_fd;
  std::string m_target;
};

class PseudoTerminalOutput : public LineOutput {
 public:
  PseudoTerminalOutput(int master, int slave, std::string device, std::string link)
      : m_master(master), m_slave(slave), m_device(std::move(device)), m_link(std::move(link)) {}
  ~PseudoTerminalOutput() override {
    if (!m_link.empty()) unlink(m_link.c_str());
    close(m_slave);
    close(m_master);
  }
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>& stop) override {
    return WriteAll(m_master, false, JoinedLines(lines), stop);
  }
  std::string Describe() const override { return m_link.empty() ? m_device : m_link + " -> " + m_device; }

 private:
  int m_master;
  int m_slave;  // held open so that the terminal never hangs up between readers
  std::string m_device;
  std::string m_link;
};

class TcpServer : public TcpServerOutput {
 public:
  TcpServer(int listener, std::string address, uint16_t port)
      : TcpServerOutput(std::move(address), port), m_listener(listener) {}
  ~TcpServer() override {
    if (m_client >= 0) close(m_client);
    close(m_listener);
  }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

 private:
  bool WriteToClient(const std::string& bytes, const std::atomic<bool>& stop) override {
    return WriteAll(m_client, true, bytes, stop);
  }
  void DropClient() override {
    close(m_client);
    m_client = -1;
  }
  bool WaitForClient(const std::atomic<bool>& stop) override {
    while (m_client < 0) {
      if (stop) return false;
      pollfd ready{m_listener, POLLIN, 0};
      if (poll(&ready, 1, kStopCheckMs) <= 0) continue;
      m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    }
    return true;
  }

  int m_listener;
  int m_client = -1;
};

}  // namespace

std::unique_ptr<TcpServerOutput> OpenTcpServer(const std::string& address, uint16_t port, std::string& error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    error = "'" + address + "' is not an IPv4 address to listen on";
    return nullptr;
  }
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int reuse = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  socklen_t length = sizeof local;
  if (bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(listener, 4) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno) +
            " (choose another port with --tcp)";
    close(listener);
    return nullptr;
  }
  return std::make_unique<TcpServer>(listener, address, ntohs(local.sin_port));
}

std::unique_ptr<LineOutput> OpenUdpSender(const std::string& host, uint16_t port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    error = "cannot resolve '" + host + "'";
    return nullptr;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const bool connected = connect(fd, found->ai_addr, found->ai_addrlen) == 0;
  freeaddrinfo(found);
  if (!connected) {
    error = "cannot send to " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<UdpOutput>(fd, host + ":" + std::to_string(port));
}

std::unique_ptr<LineOutput> OpenPseudoTerminal(const std::string& linkPath, std::string& error) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) close(master);
    return nullptr;
  }
  const std::string device = ptsname(master);
  const int slave = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  if (!linkPath.empty()) {
    unlink(linkPath.c_str());
    if (symlink(device.c_str(), linkPath.c_str()) != 0) {
      error = "cannot make the link " + linkPath + ": " + std::strerror(errno);
      close(slave);
      close(master);
      return nullptr;
    }
  }
  return std::make_unique<PseudoTerminalOutput>(master, slave, device, linkPath);
}

}  // namespace vf::sim
