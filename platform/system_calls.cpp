#include "system_calls.h"

#include "native_calls.h"

namespace vf::platform {

const SystemCalls& NativeSystemCalls() {
  static constexpr SystemCalls kNative{
      &native::StartThread, &native::CreateManualResetEvent, &native::StartSocketLayer, &native::OpenSocket,
      &native::SetAddressReuse, &native::SetNonBlocking, &native::SetExclusiveAddressUse,
      &native::GrowReceiveBuffer, &native::LookUpAddress, &native::OpenSerialPort, &native::ConfigureSerialPort,
      &native::RewriteWholeFile, &native::ReplaceWholeFile, &native::WaitForNamedMutex, &native::OpenNamedMutex,
      &native::ReleaseNamedMutex, &native::CloseNamedMutex, &native::ReadWholeFile, &native::TickCountMs,
      &native::MultimediaTimerMs, &native::SleepMs, &native::WaitForAnyEvent, &native::ReadSerialPort,
      &native::PurgeSerialPort, &native::RaiseModemLines, &native::SerialOverrunCount, &native::CloseSerialPort,
      &native::SetBufferSizes, &native::StartConnect, &native::WaitConnected, &native::BindSocket,
      &native::ConnectSocket, &native::WaitForSocketOrEvents, &native::StreamEnded, &native::Receive,
      &native::ReceiveDatagram, &native::ReceiveDatagramFrom, &native::DroppedDatagrams,
      &native::ShutdownSocket, &native::CloseSocket, [](CriticalSection* section) { section->NativeEnter(); },
      [](CriticalSection* section) { section->NativeLeave(); }, &native::SetEvent, &native::ResetEvent,
      &native::CloseEvent, &native::WaitForThread, &native::CloseThread, &native::PostToWindow,
      &native::WindowExists, &native::TopLevelWindowExists};
  return kNative;
}

SystemCalls& ActiveSystemCalls() {
  static SystemCalls active = NativeSystemCalls();
  return active;
}

Handle StartThread(ThreadProc proc, void* argument) { return ActiveSystemCalls().startThread(proc, argument); }
Handle CreateManualResetEvent() { return ActiveSystemCalls().createEvent(); }
bool StartSocketLayer() { return ActiveSystemCalls().startSocketLayer(); }
Socket OpenSocket(SocketKind kind) { return ActiveSystemCalls().openSocket(kind); }
bool SetAddressReuse(Socket socket) { return ActiveSystemCalls().setAddressReuse(socket); }
bool SetNonBlocking(Socket socket) { return ActiveSystemCalls().setNonBlocking(socket); }
bool SetExclusiveAddressUse(Socket socket) { return ActiveSystemCalls().setExclusiveAddressUse(socket); }
int GrowReceiveBuffer(Socket socket, int bytes) { return ActiveSystemCalls().growReceiveBuffer(socket, bytes); }
bool LookUpAddress(const NameQuery& query, SocketAddress& address, const Abandon& abandon) {
  return ActiveSystemCalls().lookUpAddress(query, address, abandon);
}
Handle OpenSerialPort(int32_t portNumber, SerialOpenResult& result) {
  return ActiveSystemCalls().openSerialPort(portNumber, result);
}
bool ConfigureSerialPort(Handle port, uint32_t baudRate, const SerialFrame* frame) {
  return ActiveSystemCalls().configureSerialPort(port, baudRate, frame);
}
bool RewriteWholeFile(const std::u16string& path, const std::string& bytes) {
  return ActiveSystemCalls().rewriteWholeFile(path, bytes);
}
bool ReplaceWholeFile(const std::u16string& path, const std::string& bytes) {
  return ActiveSystemCalls().replaceWholeFile(path, bytes);
}
MutexWait WaitForNamedMutex(Handle mutex, uint32_t timeoutMs) {
  return ActiveSystemCalls().waitForNamedMutex(mutex, timeoutMs);
}

uint32_t TickCountMs() {
  return ActiveSystemCalls().tickCountMs();
}
uint32_t MultimediaTimerMs() {
  return ActiveSystemCalls().multimediaTimerMs();
}
void SleepMs(uint32_t milliseconds) {
  ActiveSystemCalls().sleepMs(milliseconds);
}
int WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs) {
  return ActiveSystemCalls().waitForAnyEvent(events, count, timeoutMs);
}
SerialRead ReadSerialPort(Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent, size_t& bytes) {
  return ActiveSystemCalls().readSerialPort(port, buffer, capacity, timeoutMs, stopEvent, bytes);
}
void PurgeSerialPort(Handle port, bool transmit, bool receive) {
  ActiveSystemCalls().purgeSerialPort(port, transmit, receive);
}
void RaiseModemLines(Handle port) {
  ActiveSystemCalls().raiseModemLines(port);
}
int64_t SerialOverrunCount(Handle port) {
  return ActiveSystemCalls().serialOverrunCount(port);
}
void CloseSerialPort(Handle port) {
  ActiveSystemCalls().closeSerialPort(port);
}
void SetBufferSizes(Socket socket, int bytes) {
  ActiveSystemCalls().setBufferSizes(socket, bytes);
}
ConnectStart StartConnect(Socket socket, const SocketAddress& address) {
  return ActiveSystemCalls().startConnect(socket, address);
}
ConnectWait WaitConnected(Socket socket, uint32_t timeoutMs, bool refusalEndsWait) {
  return ActiveSystemCalls().waitConnected(socket, timeoutMs, refusalEndsWait);
}
bool BindSocket(Socket socket, const SocketAddress& address) {
  return ActiveSystemCalls().bindSocket(socket, address);
}
bool ConnectSocket(Socket socket, const SocketAddress& address) {
  return ActiveSystemCalls().connectSocket(socket, address);
}
int WaitForSocketOrEvents(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs) {
  return ActiveSystemCalls().waitForSocketOrEvents(socket, kind, events, count, timeoutMs);
}
bool StreamEnded(Socket socket) {
  return ActiveSystemCalls().streamEnded(socket);
}
ptrdiff_t Receive(Socket socket, void* buffer, size_t capacity) {
  return ActiveSystemCalls().receive(socket, buffer, capacity);
}
ptrdiff_t ReceiveDatagram(Socket socket, void* buffer, size_t capacity) {
  return ActiveSystemCalls().receiveDatagram(socket, buffer, capacity);
}
ptrdiff_t ReceiveDatagramFrom(Socket socket, void* buffer, size_t capacity, SocketAddress& from) {
  return ActiveSystemCalls().receiveDatagramFrom(socket, buffer, capacity, from);
}
int64_t DroppedDatagrams(Socket socket) {
  return ActiveSystemCalls().droppedDatagrams(socket);
}
void ShutdownSocket(Socket socket) {
  ActiveSystemCalls().shutdownSocket(socket);
}
void CloseSocket(Socket socket) {
  ActiveSystemCalls().closeSocket(socket);
}

Handle OpenNamedMutex(const char16_t* name) {
  return ActiveSystemCalls().openNamedMutex(name);
}
void ReleaseNamedMutex(Handle mutex) {
  ActiveSystemCalls().releaseNamedMutex(mutex);
}
void CloseNamedMutex(Handle mutex) {
  ActiveSystemCalls().closeNamedMutex(mutex);
}
std::optional<std::string> ReadWholeFile(const std::u16string& path) {
  return ActiveSystemCalls().readWholeFile(path);
}

void SetEvent(Handle event) {
  ActiveSystemCalls().setEvent(event);
}
void ResetEvent(Handle event) {
  ActiveSystemCalls().resetEvent(event);
}
void CloseEvent(Handle event) {
  ActiveSystemCalls().closeEvent(event);
}
bool WaitForThread(Handle thread, uint32_t timeoutMs) {
  return ActiveSystemCalls().waitForThread(thread, timeoutMs);
}
void CloseThread(Handle thread) {
  ActiveSystemCalls().closeThread(thread);
}
bool PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ActiveSystemCalls().postToWindow(window, message, wParam, lParam);
}
bool WindowExists(HostWindow window) {
  return ActiveSystemCalls().windowExists(window);
}
bool TopLevelWindowExists(const char16_t* title) {
  return ActiveSystemCalls().topLevelWindowExists(title);
}

void CriticalSection::Enter() { ActiveSystemCalls().enterCriticalSection(this); }
void CriticalSection::Leave() { ActiveSystemCalls().leaveCriticalSection(this); }

}  // namespace vf::platform
