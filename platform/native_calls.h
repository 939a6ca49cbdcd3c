// The native implementations behind the overridable system calls; each
// platform folder defines them.
#pragma once

#include "event.h"
#include "files.h"
#include "named_mutex.h"
#include "serial_port.h"
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
Handle OpenSerialPort(int32_t portNumber, SerialOpenResult& result);
bool ConfigureSerialPort(Handle port, uint32_t baudRate, const SerialFrame* frame);
bool RewriteWholeFile(const std::u16string& path, const std::string& bytes);
MutexWait WaitForNamedMutex(Handle mutex, uint32_t timeoutMs);

}  // namespace vf::platform::native
