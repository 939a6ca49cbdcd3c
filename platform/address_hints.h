// The address-lookup hints of a name query, for both platforms' lookup
// structures (addrinfo, ADDRINFOEXW). Included after the system's socket
// headers, which define the constants.
#pragma once

#include "socket.h"

namespace vf::platform {

template <typename Hints>
Hints HintsOf(const NameQuery& query) {
  Hints hints{};
  hints.ai_family = query.anyFamily ? AF_UNSPEC : AF_INET;
  hints.ai_socktype = query.kind == SocketKind::kStream ? SOCK_STREAM : SOCK_DGRAM;
  hints.ai_protocol = query.kind == SocketKind::kStream ? IPPROTO_TCP : IPPROTO_UDP;
  return hints;
}

}  // namespace vf::platform
