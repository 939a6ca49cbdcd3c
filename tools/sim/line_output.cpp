#include "line_output.h"

#include <cstdio>

namespace vf::sim {
namespace {

class StdoutOutput : public LineOutput {
 public:
  bool Send(const std::vector<std::string>& lines, const std::atomic<bool>&) override {
    const std::string bytes = JoinedLines(lines);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
  }
  std::string Describe() const override { return "standard output"; }
};

}  // namespace

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes.append(line).append("\r\n");
  return bytes;
}

std::unique_ptr<LineOutput> OpenStdout() { return std::make_unique<StdoutOutput>(); }

bool TcpServerOutput::Send(const std::vector<std::string>& lines, const std::atomic<bool>& stop) {
  const std::string bytes = JoinedLines(lines);
  while (WaitForClient(stop)) {
    if (WriteToClient(bytes, stop)) return true;
    if (stop) return false;
    DropClient();  // the client left: the next one gets the feed from here on
  }
  return false;
}

std::string TcpServerOutput::Describe() const { return "tcp://" + m_address + ":" + std::to_string(m_port); }

}  // namespace vf::sim
