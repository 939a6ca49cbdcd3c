// IPv4 socket addresses are laid out alike on every platform here: the
// family (2) in the first two bytes, the port, then the four address bytes.
#include "socket.h"

namespace vf::platform {
namespace {

constexpr uint8_t kIpv4Family = 2;
constexpr size_t kFamilyByte = 0;  // little-endian systems: the low byte first
constexpr size_t kPortBytes = 2;   // network order: the high byte first
constexpr size_t kHostBytes = 4;

bool IsIpv4(const SocketAddress& address) { return address.bytes[kFamilyByte] == kIpv4Family && address.bytes[1] == 0; }

}  // namespace

bool ResolveStreamAddress(const std::string& host, const std::string& service, SocketAddress& address,
                          const Abandon& abandon) {
  return LookUpAddress({host, service, SocketKind::kStream, false}, address, abandon);
}

bool ResolveDatagramPeer(const std::string& host, SocketAddress& address, const Abandon& abandon) {
  return LookUpAddress({host, "", SocketKind::kDatagram, true}, address, abandon);
}

void SetAddressPort(SocketAddress& address, uint16_t port) {
  address.bytes[kPortBytes] = static_cast<uint8_t>(port >> 8);
  address.bytes[kPortBytes + 1] = static_cast<uint8_t>(port & 0xFF);
}

// INADDR_ANY is all zero bits.
SocketAddress AnyAddress(uint16_t port) {
  SocketAddress address{};
  address.bytes[kFamilyByte] = kIpv4Family;
  SetAddressPort(address, port);
  return address;
}

bool SameHost(const SocketAddress& a, const SocketAddress& b) {
  if (!IsIpv4(a) || !IsIpv4(b)) return false;
  for (size_t i = kHostBytes; i < kHostBytes + 4; ++i) {
    if (a.bytes[i] != b.bytes[i]) return false;
  }
  return true;
}

std::string HostText(const SocketAddress& address) {
  if (!IsIpv4(address)) return "?";
  std::string text;
  for (size_t i = kHostBytes; i < kHostBytes + 4; ++i) {
    if (i > kHostBytes) text += '.';
    text += std::to_string(address.bytes[i]);
  }
  return text;
}

}  // namespace vf::platform
