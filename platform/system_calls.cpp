#include "system_calls.h"

#include "native_calls.h"

namespace vf::platform {

const SystemCalls& NativeSystemCalls() {
  static constexpr SystemCalls kNative{&native::StartThread,     &native::CreateManualResetEvent,
                                       &native::StartSocketLayer, &native::OpenSocket,
                                       &native::SetAddressReuse,  &native::SetNonBlocking,
                                       &native::LookUpAddress,    &native::OpenSerialPort,
                                       &native::ConfigureSerialPort, &native::RewriteWholeFile,
                                       &native::WaitForNamedMutex};
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
MutexWait WaitForNamedMutex(Handle mutex, uint32_t timeoutMs) {
  return ActiveSystemCalls().waitForNamedMutex(mutex, timeoutMs);
}

}  // namespace vf::platform
