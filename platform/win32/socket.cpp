// WinSock 2.2. A wait watches the socket through a network event
// (WSAEventSelect) beside the plug-in's own events.
#include "socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include "address_hints.h"
#include "native_calls.h"
#include "text_codec.h"
#include "win32_text.h"

// The overlapped lookup's companions, in ws2_32 since Windows 8; MinGW's
// headers do not declare them.
extern "C" {
DECLSPEC_IMPORT INT WSAAPI GetAddrInfoExCancel(LPHANDLE lpHandle);
DECLSPEC_IMPORT INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED lpOverlapped);
}

namespace vf::platform {
namespace {

SOCKET Native(Socket socket) { return static_cast<SOCKET>(socket); }

const sockaddr* AsSockaddr(const SocketAddress& address) {
  return reinterpret_cast<const sockaddr*>(address.bytes);
}

uint32_t MsUntil(DWORD deadline) {
  const auto left = static_cast<int32_t>(deadline - GetTickCount());
  return left > 0 ? static_cast<uint32_t>(left) : 0u;
}

}  // namespace

bool native::StartSocketLayer() {
  WSADATA data{};
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

bool StopSocketLayer() { return WSACleanup() == 0; }

Socket native::OpenSocket(SocketKind kind) {
  const SOCKET s = kind == SocketKind::kStream ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)
                                               : socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

bool native::SetAddressReuse(Socket socket) {
  const BOOL on = TRUE;
  return setsockopt(Native(socket), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool native::SetNonBlocking(Socket socket) {
  u_long on = 1;
  return ioctlsocket(Native(socket), FIONBIO, &on) == 0;
}

void native::SetBufferSizes(Socket socket, int bytes) {
  const char* value = reinterpret_cast<const char*>(&bytes);
  if (setsockopt(Native(socket), SOL_SOCKET, SO_SNDBUF, value, sizeof bytes) == 0) {
    setsockopt(Native(socket), SOL_SOCKET, SO_RCVBUF, value, sizeof bytes);
  }
}

bool native::SetExclusiveAddressUse(Socket socket) {
  const BOOL on = TRUE;
  return setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) ==
         0;
}

int native::GrowReceiveBuffer(Socket socket, int bytes) {
  setsockopt(Native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
  int granted = 0;
  int length = sizeof granted;
  if (getsockopt(Native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &length) != 0) return 0;
  return granted;
}

namespace {

// A lookup that a stop gave up on: the socket layer completes it after the
// cancel, writing into it, so it is freed only once its event is set.
struct PendingLookup {
  OVERLAPPED overlapped{};
  ADDRINFOEXW* result = nullptr;
  HANDLE cancel = nullptr;
};

void FreeLookup(PendingLookup* pending) {
  if (pending->result != nullptr) FreeAddrInfoExW(pending->result);
  if (pending->overlapped.hEvent != nullptr) CloseHandle(pending->overlapped.hEvent);
  delete pending;
}

void CopyFirst(const sockaddr* found, size_t length, SocketAddress& address) {
  std::memset(address.bytes, 0, sizeof address.bytes);
  std::memcpy(address.bytes, found, std::min<size_t>(length, sizeof address.bytes));
}

constexpr DWORD kCancelledAnswerWaitMs = 1000;

}  // namespace

bool native::LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon) {
  const ADDRINFOEXW hints = HintsOf<ADDRINFOEXW>(query);
  const std::u16string host = AnsiToWide(query.host);
  const std::u16string service = AnsiToWide(query.service);
  const wchar_t* serviceName = query.service.empty() ? nullptr : win32::Wide(service);
  auto* pending = new PendingLookup;
  pending->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (pending->overlapped.hEvent == nullptr) {
    FreeLookup(pending);
    return false;
  }
  // Overlapped, so that this thread can give up on a name server that never
  // answers (GetAddrInfoExCancel); a system without it answers at once.
  int state = GetAddrInfoExW(win32::Wide(host), serviceName, NS_ALL, nullptr, &hints, &pending->result, nullptr,
                             &pending->overlapped, nullptr, &pending->cancel);
  if (state == WSA_IO_PENDING) {
    for (;;) {
      if (WaitForSingleObject(pending->overlapped.hEvent, kAbandonCheckMs) == WAIT_OBJECT_0) {
        state = GetAddrInfoExOverlappedResult(&pending->overlapped);
        break;
      }
      if (abandon && abandon()) {
        GetAddrInfoExCancel(&pending->cancel);
        // The cancelled lookup still completes; a socket layer that has not
        // done so within the wait keeps its block (never freed under it).
        if (WaitForSingleObject(pending->overlapped.hEvent, kCancelledAnswerWaitMs) == WAIT_OBJECT_0) {
          FreeLookup(pending);
        }
        return false;
      }
    }
  }
  const bool found = state == 0 && pending->result != nullptr && pending->result->ai_addr != nullptr;
  if (found) CopyFirst(pending->result->ai_addr, pending->result->ai_addrlen, address);
  FreeLookup(pending);
  return found;
}

// The shared socket-address code writes this layout by hand.
static_assert(AF_INET == 2 && offsetof(sockaddr_in, sin_port) == 2 && offsetof(sockaddr_in, sin_addr) == 4);

ConnectStart native::StartConnect(Socket socket, const SocketAddress& address) {
  if (connect(Native(socket), AsSockaddr(address), sizeof(sockaddr_in)) == 0) return ConnectStart::kConnected;
  return WSAGetLastError() == WSAEWOULDBLOCK ? ConnectStart::kPending : ConnectStart::kFailed;
}

ConnectWait native::WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait) {
  // A refused connection shows in the exception set: watched only when a
  // refusal is to end the wait; otherwise it is noticed when the wait runs out.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Native(socket), &writable);
  FD_SET(Native(socket), &failed);
  timeval timeout{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
  const DWORD deadline = GetTickCount() + timeoutMs;
  if (select(0, nullptr, &writable, refusalEndsWait ? &failed : nullptr, &timeout) >= 1) {
    if (FD_ISSET(Native(socket), &writable)) return ConnectWait::kConnected;
    return ConnectWait::kRefused;
  }
  Sleep(MsUntil(deadline));
  return ConnectWait::kNoAnswer;
}

bool native::BindSocket(Socket socket, const SocketAddress& address) {
  return bind(Native(socket), AsSockaddr(address), sizeof(sockaddr_in)) == 0;
}

bool native::ConnectSocket(Socket socket, const SocketAddress& address) {
  const int length = AsSockaddr(address)->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof address.bytes;
  return connect(Native(socket), AsSockaddr(address), length) == 0;
}

int native::WaitForSocketOrEvents(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs) {
  constexpr size_t kMostEvents = 8;  // on the stack: a wait per datagram allocates nothing
  if (count > kMostEvents) return -1;
  WSAEVENT network = WSACreateEvent();
  if (network == WSA_INVALID_EVENT) return -1;
  HANDLE handles[1 + kMostEvents] = {network};
  std::copy(events, events + count, handles + 1);
  const size_t handleCount = 1 + count;
  if (WSAEventSelect(Native(socket), network, FD_READ | FD_CLOSE) != 0) {
    WSACloseEvent(network);
    return -1;
  }
  const DWORD deadline = GetTickCount() + timeoutMs;
  size_t first = 0;  // 1 once the socket has closed: only the events can end the wait
  int result = -1;
  for (;;) {
    const size_t watched = handleCount - first;
    if (watched == 0) {
      Sleep(MsUntil(deadline));
      break;
    }
    const DWORD woke = WSAWaitForMultipleEvents(static_cast<DWORD>(watched), handles + first, FALSE,
                                                MsUntil(deadline), FALSE);
    if (woke >= WSA_WAIT_EVENT_0 + watched) break;  // time-out or failure
    const size_t index = first + (woke - WSA_WAIT_EVENT_0);
    if (index != 0) {
      result = static_cast<int>(index);
      break;
    }
    WSANETWORKEVENTS happened{};
    WSAEnumNetworkEvents(Native(socket), network, &happened);
    if (kind == SocketKind::kDatagram) {
      if ((happened.lNetworkEvents & FD_READ) == 0) continue;
      result = 0;
      break;
    }
    char probe;
    const int peeked = recv(Native(socket), &probe, 1, MSG_PEEK);
    if (peeked > 0) {
      result = 0;
      break;
    }
    if (peeked == 0 || (happened.lNetworkEvents & FD_CLOSE) != 0) first = 1;  // the peer has closed
  }
  WSAEventSelect(Native(socket), nullptr, 0);
  WSACloseEvent(network);
  return result;
}

bool native::StreamEnded(Socket socket) {
  char probe;  // the socket does not block
  const int got = recv(Native(socket), &probe, 1, MSG_PEEK);
  return got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
}

ptrdiff_t native::Receive(Socket socket, void* buffer, size_t capacity) {
  const int got = recv(Native(socket), static_cast<char*>(buffer), static_cast<int>(capacity), 0);
  return got >= 0 ? got : -1;
}

int64_t native::DroppedDatagrams(Socket) { return -1; }  // Winsock keeps no such count

ptrdiff_t native::ReceiveDatagram(Socket socket, void* buffer, size_t capacity) {
  // A datagram larger than the buffer fails with WSAEMSGSIZE; its rest is lost.
  const int got = recv(Native(socket), static_cast<char*>(buffer), static_cast<int>(capacity), 0);
  return got >= 0 ? got : -1;
}

ptrdiff_t native::ReceiveDatagramFrom(Socket socket, void* buffer, size_t capacity, SocketAddress& from) {
  from = SocketAddress{};
  int length = sizeof from.bytes;
  const int got = recvfrom(Native(socket), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                           reinterpret_cast<sockaddr*>(from.bytes), &length);
  return got >= 0 ? got : -1;
}

void native::ShutdownSocket(Socket socket) { shutdown(Native(socket), SD_BOTH); }
void native::CloseSocket(Socket socket) { closesocket(Native(socket)); }

}  // namespace vf::platform
