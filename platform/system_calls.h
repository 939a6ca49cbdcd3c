// The operating-system calls whose failures and timing the plug-in must
// survive, as a table that tests may override, the way SQLite's os layer lets
// its tests replace system calls: to reach error paths, and to run the links
// and their waits over a virtual clock. The functions of the other platform
// headers go through it; nothing else changes.
#pragma once

#include "critical_section.h"
#include "event.h"
#include "files.h"
#include "named_mutex.h"
#include "serial_port.h"
#include "socket.h"
#include "thread.h"
#include "window.h"

namespace vf::platform {

struct SystemCalls {
  Handle (*startThread)(ThreadProc proc, void* argument);
  Handle (*createEvent)();  // the plug-in's events and the serial port's
  bool (*startSocketLayer)();
  Socket (*openSocket)(SocketKind kind);
  bool (*setAddressReuse)(Socket socket);
  bool (*setNonBlocking)(Socket socket);
  bool (*setExclusiveAddressUse)(Socket socket);
  int (*growReceiveBuffer)(Socket socket, int bytes);
  bool (*lookUpAddress)(const NameQuery& query, SocketAddress& address, const Abandon& abandon);
  Handle (*openSerialPort)(int32_t portNumber, SerialOpenResult& result);
  bool (*configureSerialPort)(Handle port, uint32_t baudRate, const SerialFrame* frame);
  // The trace files and their mutex.
  bool (*rewriteWholeFile)(const std::u16string& path, const std::string& bytes);
  bool (*replaceWholeFile)(const std::u16string& path, const std::string& bytes);
  MutexWait (*waitForNamedMutex)(Handle mutex, uint32_t timeoutMs);
  Handle (*openNamedMutex)(const char16_t* name);
  void (*releaseNamedMutex)(Handle mutex);
  void (*closeNamedMutex)(Handle mutex);
  std::optional<std::string> (*readWholeFile)(const std::u16string& path);
  // Time: every tick read, sleep and wait, so that a test can run them in virtual time.
  uint32_t (*tickCountMs)();
  uint32_t (*multimediaTimerMs)();
  void (*sleepMs)(uint32_t milliseconds);
  int (*waitForAnyEvent)(const Handle* events, size_t count, uint32_t timeoutMs);
  // What the links read and wait on.
  SerialRead (*readSerialPort)(Handle port, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent, size_t& bytes);
  void (*purgeSerialPort)(Handle port, bool transmit, bool receive);
  void (*raiseModemLines)(Handle port);
  int64_t (*serialOverrunCount)(Handle port);
  void (*closeSerialPort)(Handle port);
  void (*setBufferSizes)(Socket socket, int bytes);
  ConnectStart (*startConnect)(Socket socket, const SocketAddress& address);
  ConnectWait (*waitConnected)(Socket socket, uint32_t timeoutMs, bool refusalEndsWait);
  bool (*bindSocket)(Socket socket, const SocketAddress& address);
  bool (*connectSocket)(Socket socket, const SocketAddress& address);
  int (*waitForSocketOrEvents)(Socket socket, SocketKind kind, const Handle* events, size_t count, uint32_t timeoutMs);
  bool (*streamEnded)(Socket socket);
  ptrdiff_t (*receive)(Socket socket, void* buffer, size_t capacity);
  ptrdiff_t (*receiveDatagram)(Socket socket, void* buffer, size_t capacity);
  ptrdiff_t (*receiveDatagramFrom)(Socket socket, void* buffer, size_t capacity, SocketAddress& from);
  int64_t (*droppedDatagrams)(Socket socket);
  void (*shutdownSocket)(Socket socket);
  void (*closeSocket)(Socket socket);
  // The run's events, locks and threads, and the host's windows.
  void (*enterCriticalSection)(CriticalSection* section);
  void (*leaveCriticalSection)(CriticalSection* section);
  void (*setEvent)(Handle event);
  void (*resetEvent)(Handle event);
  void (*closeEvent)(Handle event);
  bool (*waitForThread)(Handle thread, uint32_t timeoutMs);
  void (*closeThread)(Handle thread);
  bool (*postToWindow)(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  bool (*windowExists)(HostWindow window);
  bool (*topLevelWindowExists)(const char16_t* title);
};

// The operating system's own calls.
const SystemCalls& NativeSystemCalls();
// The table in force. A test replaces entries and puts the native ones back.
SystemCalls& ActiveSystemCalls();

}  // namespace vf::platform
