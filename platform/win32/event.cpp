#include "event.h"

#include <windows.h>
#include "native_calls.h"

namespace vf::platform {

Handle native::CreateManualResetEvent() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event != nullptr ? event : InvalidHandle();
}

void native::SetEvent(Handle event) {
  if (IsHeld(event)) ::SetEvent(event);
}

void native::ResetEvent(Handle event) {
  if (IsHeld(event)) ::ResetEvent(event);
}

void native::CloseEvent(Handle event) {
  if (IsHeld(event)) CloseHandle(event);
}

int native::WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS) return -2;
  for (size_t i = 0; i < count; ++i) {
    if (!IsHeld(events[i])) return -2;
  }
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(count), events, FALSE, timeoutMs);
  if (result < WAIT_OBJECT_0 + count) return static_cast<int>(result - WAIT_OBJECT_0);
  return result == WAIT_TIMEOUT ? -1 : -2;
}

}  // namespace vf::platform
