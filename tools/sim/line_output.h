// Where the simulator's lines go: stdout, the one client of a TCP server, UDP
// datagrams, or a pseudo-terminal that stands in for a serial receiver.
// Every line is sent with CR LF, as receivers send them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vf::sim {

class LineOutput {
 public:
  virtual ~LineOutput() = default;
  // Sends the lines of one transmission; false when the output is gone or
  // `stop` was set while it waited.
  virtual bool Send(const std::vector<std::string>& lines, const std::atomic<bool>& stop) = 0;
  // Where a receiver finds the feed, for the user.
  virtual std::string Describe() const = 0;
};

// The lines of one transmission as they go out, each ended by CR LF.
std::string JoinedLines(const std::vector<std::string>& lines);

std::unique_ptr<LineOutput> OpenStdout();

// Listens at once; sending waits for a client, and for the next one when a
// client leaves. Port 0 takes a free port.
class TcpServerOutput : public LineOutput {
 public:
  TcpServerOutput(std::string address, uint16_t port) : m_address(std::move(address)), m_port(port) {}
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>& stop) override;
  std::string Describe() const override;
  uint16_t Port() const { return m_port; }

 protected:
  // The platform's sockets: false when `stop` came first.
  virtual bool WaitForClient(const std::atomic<bool>& stop) = 0;
  // All of `bytes` to the client; false when it left or `stop` came.
  virtual bool WriteToClient(const std::string& bytes, const std::atomic<bool>& stop) = 0;
  virtual void DropClient() = 0;

 private:
  std::string m_address;
  uint16_t m_port;
};
std::unique_ptr<TcpServerOutput> OpenTcpServer(const std::string& address, uint16_t port, std::string& error);

// One datagram per line.
std::unique_ptr<LineOutput> OpenUdpSender(const std::string& host, uint16_t port, std::string& error);

// A pseudo-terminal (Linux); when `linkPath` is given, a symbolic link to its
// device is made there (and removed at the end), e.g. a COM mapping's comN.
std::unique_ptr<LineOutput> OpenPseudoTerminal(const std::string& linkPath, std::string& error);

}  // namespace vf::sim
