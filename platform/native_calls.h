// The native implementations behind the overridable system calls; each
// platform folder defines them.
#pragma once

#include "event.h"
#include "socket.h"
#include "thread.h"

namespace vf::platform::native {

Handle StartThread(ThreadProc proc, void* argument);
Handle CreateManualResetEvent();
bool StartSocketLayer();
Socket OpenSocket(SocketKind kind);
bool SetAddressReuse(Socket socket);
bool SetNonBlocking(Socket socket);
bool LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon);

}  // namespace vf::platform::native
