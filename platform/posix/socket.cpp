// BSD sockets with poll; events are eventfds, so one poll watches both.
#include "socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "event_fd.h"
#include "address_hints.h"
#include "native_calls.h"

namespace vf::platform {
namespace {

int Fd(Socket socket) { return static_cast<int>(socket); }

const sockaddr* AsSockaddr(const SocketAddress& address) {
  return reinterpret_cast<const sockaddr*>(address.bytes);
}

int PollRetrying(pollfd* fds, size_t count, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int ready = poll(fds, count, timeoutMs);
    if (ready >= 0 || errno != EINTR) return ready;
    timeoutMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
    if (timeoutMs < 0) timeoutMs = 0;
  }
}

int MsUntil(std::chrono::steady_clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool native::StartSocketLayer() { return true; }
bool StopSocketLayer() { return true; }

Socket native::OpenSocket(SocketKind kind) {
  const int fd = kind == SocketKind::kStream ? socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)
                                             : socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return fd < 0 ? kNoSocket : fd;
}

bool native::SetAddressReuse(Socket socket) {
  const int on = 1;
  return setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool native::SetNonBlocking(Socket socket) {
  const int flags = fcntl(Fd(socket), F_GETFL);
  return flags >= 0 && fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

// Windows counts a socket buffer in payload bytes; Linux counts the kernel's
// memory for each queued packet, about 800 bytes for a short sentence, so a
// 4096-byte buffer here would hold nine sentences where Windows holds sixty.
// Scaled by eight, it holds at least the payload that the Windows one holds.
constexpr int kLinuxBufferScale = 8;

void native::SetBufferSizes(Socket socket, int bytes) {
  const int kernelBytes = bytes * kLinuxBufferScale;
  if (setsockopt(Fd(socket), SOL_SOCKET, SO_SNDBUF, &kernelBytes, sizeof kernelBytes) == 0) {
    setsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUF, &kernelBytes, sizeof kernelBytes);
  }
}

// Without SO_REUSEADDR a second bind of the port fails already.
bool native::SetExclusiveAddressUse(Socket) { return true; }

int native::GrowReceiveBuffer(Socket socket, int bytes) {
  // Past net.core.rmem_max only with CAP_NET_ADMIN; otherwise what the
  // system allows.
  const int kernelBytes = bytes * kLinuxBufferScale;
  if (setsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUFFORCE, &kernelBytes, sizeof kernelBytes) != 0) {
    setsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUF, &kernelBytes, sizeof kernelBytes);
  }
  int granted = 0;
  socklen_t length = sizeof granted;
  if (getsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) return 0;
  return granted / 2 / kLinuxBufferScale;  // the kernel reports twice what it was given
}

namespace {

// A lookup that a stop gave up on while the resolver still worked on it: the
// resolver's thread writes into it when it answers, so it is kept until then
// and freed by a later lookup.
struct PendingLookup {
  gaicb request{};
  addrinfo hints{};
  std::string host;
  std::string service;
};

std::mutex& AbandonedLock() {
  static std::mutex lock;
  return lock;
}

std::vector<PendingLookup*>& Abandoned() {
  static auto* abandoned = new std::vector<PendingLookup*>;  // outlives unload: the resolver may still write
  return *abandoned;
}

void FreeLookup(PendingLookup* pending) {
  if (pending->request.ar_result != nullptr) freeaddrinfo(pending->request.ar_result);
  delete pending;
}

void FreeAnsweredAbandoned() {
  std::lock_guard guard(AbandonedLock());
  auto& abandoned = Abandoned();
  std::erase_if(abandoned, [](PendingLookup* pending) {
    if (gai_error(&pending->request) == EAI_INPROGRESS) return false;
    FreeLookup(pending);
    return true;
  });
}

void CopyFirst(const addrinfo* found, SocketAddress& address) {
  std::memset(address.bytes, 0, sizeof address.bytes);
  std::memcpy(address.bytes, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof address.bytes));
}

// A numeric address needs no resolver: answered here, without a thread.
bool LookUpNumeric(const std::string& host, const char* service, addrinfo hints, SocketAddress& address) {
  hints.ai_flags |= AI_NUMERICHOST;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), service, &hints, &found) != 0 || found == nullptr) return false;
  CopyFirst(found, address);
  freeaddrinfo(found);
  return true;
}

}  // namespace

bool native::LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon) {
  const addrinfo hints = HintsOf<addrinfo>(query);
  const char* service = query.service.empty() ? nullptr : query.service.c_str();
  if (LookUpNumeric(query.host, service, hints, address)) return true;
#if defined(__SANITIZE_THREAD__)
  // glibc starts the resolver's thread past ThreadSanitizer's hooks, which
  // then faults in it: under that sanitizer the lookup blocks.
  addrinfo* answer = nullptr;
  if (getaddrinfo(query.host.c_str(), service, &hints, &answer) != 0 || answer == nullptr) return false;
  CopyFirst(answer, address);
  freeaddrinfo(answer);
  return !abandon || !abandon();
#endif
  FreeAnsweredAbandoned();
  // The resolver works on a thread of glibc's (getaddrinfo_a); this one
  // waits in slices and asks between them whether to give up.
  auto* pending = new PendingLookup{{}, hints, query.host, query.service};
  pending->request.ar_name = pending->host.c_str();
  pending->request.ar_service = service != nullptr ? pending->service.c_str() : nullptr;
  pending->request.ar_request = &pending->hints;
  gaicb* list[1] = {&pending->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    delete pending;
    return false;
  }
  constexpr timespec kSlice{0, static_cast<long>(kAbandonCheckMs) * 1000000L};
  for (;;) {
    gai_suspend(list, 1, &kSlice);
    if (const int state = gai_error(&pending->request); state != EAI_INPROGRESS) {
      const bool found = state == 0 && pending->request.ar_result != nullptr;
      if (found) CopyFirst(pending->request.ar_result, address);
      FreeLookup(pending);
      return found;
    }
    if (abandon && abandon()) {
      if (gai_cancel(&pending->request) == EAI_NOTCANCELED) {
        std::lock_guard guard(AbandonedLock());
        Abandoned().push_back(pending);
      } else {
        FreeLookup(pending);
      }
      return false;
    }
  }
}

// The shared socket-address code writes this layout by hand.
static_assert(AF_INET == 2 && offsetof(sockaddr_in, sin_port) == 2 && offsetof(sockaddr_in, sin_addr) == 4);

ConnectStart native::StartConnect(Socket socket, const SocketAddress& address) {
  if (connect(Fd(socket), AsSockaddr(address), sizeof(sockaddr_in)) == 0) return ConnectStart::kConnected;
  // Windows reports a refusal only through the wait that follows.
  return errno == EINPROGRESS || errno == EAGAIN || errno == ECONNREFUSED ? ConnectStart::kPending
                                                                           : ConnectStart::kFailed;
}

ConnectWait native::WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd writable{Fd(socket), POLLOUT, 0};
  if (PollRetrying(&writable, 1, static_cast<int>(timeoutMs)) == 1) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&peer), &length) == 0) return ConnectWait::kConnected;
    if (refusalEndsWait) return ConnectWait::kRefused;
  }
  // Failed: a wait on the write set alone knows it only when it runs out.
  poll(nullptr, 0, MsUntil(end));
  return ConnectWait::kNoAnswer;
}

bool native::BindSocket(Socket socket, const SocketAddress& address) {
  return bind(Fd(socket), AsSockaddr(address), sizeof(sockaddr_in)) == 0;
}

bool native::ConnectSocket(Socket socket, const SocketAddress& address) {
  const sa_family_t family = reinterpret_cast<const sockaddr*>(address.bytes)->sa_family;
  const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof address.bytes;
  return connect(Fd(socket), AsSockaddr(address), length) == 0;
}

int native::WaitForSocketOrEvents(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs) {
  constexpr size_t kMostEvents = 8;  // on the stack: a wait per datagram allocates nothing
  if (count > kMostEvents) return -1;
  pollfd polled[1 + kMostEvents];
  polled[0] = pollfd{Fd(socket), POLLIN, 0};
  for (size_t i = 0; i < count; ++i) {
    const int fd = posix::EventDescriptor(events[i]);
    if (fd < 0) return -1;
    polled[1 + i] = pollfd{fd, POLLIN, 0};
  }
  const size_t watched = 1 + count;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (PollRetrying(polled, watched, MsUntil(end)) <= 0) return -1;
    if (polled[0].revents != 0) {
      char probe;
      const bool hasData = kind == SocketKind::kDatagram ||
                           recv(Fd(socket), &probe, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
      if (hasData && (polled[0].revents & POLLIN) != 0) return 0;
      polled[0].fd = -1;  // closed or failed: only the events can end the wait now
    }
    for (size_t i = 1; i < watched; ++i) {
      if (polled[i].revents & POLLIN) return static_cast<int>(i);
    }
  }
}

bool native::StreamEnded(Socket socket) {
  char probe;
  const ssize_t got = recv(Fd(socket), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

ptrdiff_t native::Receive(Socket socket, void* buffer, size_t capacity) {
  const ssize_t got = recv(Fd(socket), buffer, capacity, MSG_DONTWAIT);
  return got >= 0 ? got : -1;
}

int64_t native::DroppedDatagrams(Socket socket) {
  uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (getsockopt(Fd(socket), SOL_SOCKET, SO_MEMINFO, memory, &length) != 0 || length <= SK_MEMINFO_DROPS * sizeof memory[0]) {
    return -1;
  }
  return memory[SK_MEMINFO_DROPS];
}

ptrdiff_t native::ReceiveDatagram(Socket socket, void* buffer, size_t capacity) {
  const ssize_t got = recv(Fd(socket), buffer, capacity, MSG_DONTWAIT | MSG_TRUNC);
  return got >= 0 && static_cast<size_t>(got) <= capacity ? got : -1;
}

ptrdiff_t native::ReceiveDatagramFrom(Socket socket, void* buffer, size_t capacity, SocketAddress& from) {
  from = SocketAddress{};
  socklen_t length = sizeof from.bytes;
  const ssize_t got = recvfrom(Fd(socket), buffer, capacity, MSG_DONTWAIT | MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(from.bytes), &length);
  return got >= 0 && static_cast<size_t>(got) <= capacity ? got : -1;
}

void native::ShutdownSocket(Socket socket) { shutdown(Fd(socket), SHUT_RDWR); }
void native::CloseSocket(Socket socket) { close(Fd(socket)); }

}  // namespace vf::platform
