#include "receiver_probe.h"

#include "platform/socket.h"

namespace vf::host {

std::string DescribeTcpReach(const std::string& host, uint16_t port, const std::function<bool()>& abandon) {
  using namespace vf::platform;
  constexpr uint32_t kAnswerWaitMs = 2000;
  constexpr uint32_t kSliceMs = 50;  // how soon a stop is seen
  const std::string where = host + ":" + std::to_string(port);
  if (!StartSocketLayer()) return "";
  std::string said;
  SocketAddress address{};
  const Socket socket = OpenSocket(SocketKind::kStream);
  if (socket == kNoSocket || !SetNonBlocking(socket)) {
    said = "";
  } else if (!ResolveStreamAddress(host, std::to_string(port), address, abandon)) {
    if (!abandon()) said = "'" + host + "' is not a host name or IPv4 address that this machine can resolve; check --tcp";
  } else {
    const ConnectStart start = StartConnect(socket, address);
    ConnectWait wait = start == ConnectStart::kConnected ? ConnectWait::kConnected
                       : start == ConnectStart::kFailed  ? ConnectWait::kRefused
                                                         : ConnectWait::kNoAnswer;
    for (uint32_t waited = 0; start == ConnectStart::kPending && waited < kAnswerWaitMs && !abandon(); waited += kSliceMs) {
      if ((wait = WaitConnected(socket, kSliceMs, true)) != ConnectWait::kNoAnswer) break;
    }
    if (abandon()) wait = ConnectWait::kConnected;  // nothing to say: the user stopped
    if (wait == ConnectWait::kRefused) {
      said = where + " refused the connection: nothing listens on that port. Start the receiver, or check the "
                     "address and port (--tcp, --port)";
    } else if (wait == ConnectWait::kNoAnswer) {
      said = where + " did not answer within 2 s: check the address, the network and any firewall between";
    }
  }
  if (socket != kNoSocket) CloseSocket(socket);
  StopSocketLayer();
  return said;
}

}  // namespace vf::host
