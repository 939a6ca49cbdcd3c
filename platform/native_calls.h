// The native implementations behind the overridable system calls; each
// platform folder defines them.
#pragma once

#include "event.h"
#include "files.h"
#include "named_mutex.h"
#include "serial_port.h"
#include "socket.h"
#include "thread.h"
#include "window.h"

namespace vf::platform::native {

Handle StartThread(ThreadProc proc, void* argument);
Handle CreateManualResetEvent();
bool StartSocketLayer();
Socket OpenSocket(SocketKind kind);
bool SetAddressReuse(Socket socket);
bool SetNonBlocking(Socket socket);
bool SetExclusiveAddressUse(Socket socket);
int GrowReceiveBuffer(Socket socket, int bytes);
bool LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon);
Handle OpenSerialPort(int32_t portNumber, SerialOpenResult& result);
bool ConfigureSerialPort(Handle port, uint32_t baudRate, const SerialFrame* frame);
bool RewriteWholeFile(const std::u16string& path, const std::string& bytes);
bool ReplaceWholeFile(const std::u16string& path, const std::string& bytes);
MutexWait WaitForNamedMutex(Handle mutex, uint32_t timeoutMs);
Handle OpenNamedMutex(const char16_t* name);
void ReleaseNamedMutex(Handle mutex);
void CloseNamedMutex(Handle mutex);
std::optional<std::string> ReadWholeFile(const std::u16string& path);
uint32_t TickCountMs();
uint32_t MultimediaTimerMs();
void SleepMs(uint32_t milliseconds);
int WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs);
SerialRead ReadSerialPort(Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent, size_t& bytes);
void PurgeSerialPort(Handle port, bool transmit, bool receive);
void RaiseModemLines(Handle port);
int64_t SerialOverrunCount(Handle port);
void CloseSerialPort(Handle port);
void SetBufferSizes(Socket socket, int bytes);
ConnectStart StartConnect(Socket socket, const SocketAddress& address);
ConnectWait WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait);
bool BindSocket(Socket socket, const SocketAddress& address);
bool ConnectSocket(Socket socket, const SocketAddress& address);
int WaitForSocketOrEvents(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs);
bool StreamEnded(Socket socket);
ptrdiff_t Receive(Socket socket, void* buffer, size_t capacity);
ptrdiff_t ReceiveDatagram(Socket socket, void* buffer, size_t capacity);
ptrdiff_t ReceiveDatagramFrom(Socket socket, void* buffer, size_t capacity, SocketAddress& from);
int64_t DroppedDatagrams(Socket socket);
void ShutdownSocket(Socket socket);
void CloseSocket(Socket socket);
void SetEvent(Handle event);
void ResetEvent(Handle event);
void CloseEvent(Handle event);
bool WaitForThread(Handle thread, uint32_t timeoutMs);
void CloseThread(Handle thread);
bool PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool WindowExists(HostWindow window);
bool TopLevelWindowExists(const char16_t* title);

}  // namespace vf::platform::native
