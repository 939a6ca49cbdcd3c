// IPv4 stream and datagram sockets, and waits that watch a socket together
// with the plug-in's events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "handle.h"

namespace vf::platform {

using Socket = intptr_t;
constexpr Socket kNoSocket = -1;

enum class SocketKind { kStream, kDatagram };

// An IPv4 socket address as the socket layer lays it out: 16 bytes.
struct SocketAddress {
  uint8_t bytes[16];
};

// Starts and ends the socket layer for one user (WSAStartup 2.2 and
// WSACleanup on Windows); true on success.
bool StartSocketLayer();
bool StopSocketLayer();

Socket OpenSocket(SocketKind kind);
bool SetAddressReuse(Socket socket);
bool SetNonBlocking(Socket socket);
// Send, then (if that worked) receive buffer size; failures are ignored.
void SetBufferSizes(Socket socket, int bytes);
// No other program may bind the socket's address while it is bound, even
// one that asks for address reuse (SO_EXCLUSIVEADDRUSE on Windows).
bool SetExclusiveAddressUse(Socket socket);
// Asks for a receive buffer that holds `bytes` of payload (on Linux past
// net.core.rmem_max where the program may); the size granted, in the same
// measure, or 0 when it cannot be read.
int GrowReceiveBuffer(Socket socket, int bytes);

// Asked while a lookup or a connection is waited for: true gives up.
using Abandon = std::function<bool()>;
// How often a wait asks it: a stop ends a wait within this time.
constexpr uint32_t kAbandonCheckMs = 20;

struct NameQuery {
  std::string host;
  std::string service;  // empty: no service
  SocketKind kind = SocketKind::kStream;
  bool anyFamily = false;  // false: IPv4 only
};

// The first address of a host; false when there is none or when `abandon`
// gave up first. The resolver's answer is not waited for after that: a stop
// does not wait for a name server that never answers.
bool LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon = {});
// The first IPv4 address of the host for a TCP service.
bool ResolveStreamAddress(const std::string& host, const std::string& service, SocketAddress& address,
                          const Abandon& abandon = {});
// The first 16 bytes of the first address of any family, for a UDP peer.
bool ResolveDatagramPeer(const std::string& host, SocketAddress& address, const Abandon& abandon = {});
void SetAddressPort(SocketAddress& address, uint16_t port);
SocketAddress AnyAddress(uint16_t port);
// Whether two IPv4 addresses name the same host, whatever their ports.
bool SameHost(const SocketAddress& a, const SocketAddress& b);
// "192.0.2.7" of an IPv4 address; "?" of any other.
std::string HostText(const SocketAddress& address);

enum class ConnectStart { kConnected, kPending, kFailed };
ConnectStart StartConnect(Socket socket, const SocketAddress& address);
enum class ConnectWait { kConnected, kRefused, kNoAnswer };
// Waits until a started connection is established. With `refusalEndsWait`
// a refusal (or another failure the system reports) ends the wait at once;
// without it, it is known only when the wait has run out, as a wait on the
// write set alone knows it, and the result is kNoAnswer.
ConnectWait WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait);

bool BindSocket(Socket socket, const SocketAddress& address);
bool ConnectSocket(Socket socket, const SocketAddress& address);

// 0 when data can be read, 1 + i when events[i] is signalled first, -1 on
// time-out or failure. Invalid events are not in the list. A stream whose
// peer has closed has no data: the wait goes on for the events.
int WaitForSocketOrEvents(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs);

// True when the peer has closed the stream or the connection failed:
// nothing more will come on it. Asks without waiting or taking any byte.
bool StreamEnded(Socket socket);

// Datagrams the system has dropped on this socket for want of room since it
// was made (SO_MEMINFO); -1 where the system does not tell (Windows).
int64_t DroppedDatagrams(Socket socket);

// Bytes received (> 0); 0 when the peer closed; -1 when nothing is waiting
// or on error.
ptrdiff_t Receive(Socket socket, void* buffer, size_t capacity);
// One datagram; -1 on error, also when it did not fit (its rest is lost).
ptrdiff_t ReceiveDatagram(Socket socket, void* buffer, size_t capacity);
// The same, with the address it came from.
ptrdiff_t ReceiveDatagramFrom(Socket socket, void* buffer, size_t capacity, SocketAddress& from);

void ShutdownSocket(Socket socket);
void CloseSocket(Socket socket);

}  // namespace vf::platform
