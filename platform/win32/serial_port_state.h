// What an open COM port handle holds on Windows; shared with the tests that
// read the driver's settings back.
#pragma once

#include <windows.h>

#include "handle.h"

namespace vf::platform {

// The longest a read waits for its first byte; the caller's wait is the
// shorter of this and its own time-out, and the stop event ends it sooner.
constexpr DWORD kSerialFirstByteWaitMs = 500;

struct SerialPort {
  HANDLE file;
  OVERLAPPED read;   // the read in progress and its event
  OVERLAPPED write;  // its own event, made with the other; nothing writes
  int64_t overruns = 0;  // the overruns ClearCommError has reported so far
};

inline SerialPort* AsPort(Handle handle) { return IsHeld(handle) ? static_cast<SerialPort*>(handle) : nullptr; }

}  // namespace vf::platform
