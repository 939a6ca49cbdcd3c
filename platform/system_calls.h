// The operating-system calls whose failures the plug-in must survive, as a
// table that tests may override to reach those error paths, the way
// SQLite's os layer lets its tests replace system calls. The functions of
// the other platform headers go through it; nothing else changes.
#pragma once

#include "event.h"
#include "files.h"
#include "named_mutex.h"
#include "serial_port.h"
#include "socket.h"
#include "thread.h"

namespace vf::platform {

struct SystemCalls {
  Handle (*startThread)(ThreadProc proc, void* argument);
  Handle (*createEvent)();  // the plug-in's events and the serial port's
  bool (*startSocketLayer)();
  Socket (*openSocket)(SocketKind kind);
  bool (*setAddressReuse)(Socket socket);
  bool (*setNonBlocking)(Socket socket);
  bool (*lookUpAddress)(const NameQuery& query, SocketAddress& address, const Abandon& abandon);
  Handle (*openSerialPort)(int32_t portNumber, SerialOpenResult& result);
  bool (*configureSerialPort)(Handle port, uint32_t baudRate, const SerialFrame* frame);
  bool (*rewriteWholeFile)(const std::u16string& path, const std::string& bytes);  // the trace files
  MutexWait (*waitForNamedMutex)(Handle mutex, uint32_t timeoutMs);  // the trace files' mutex
};

// The operating system's own calls.
const SystemCalls& NativeSystemCalls();
// The table in force. A test replaces entries and puts the native ones back.
SystemCalls& ActiveSystemCalls();

}  // namespace vf::platform
