#include "thread.h"

#include <windows.h>
#include "native_calls.h"

namespace vf::platform {

Handle native::StartThread(ThreadProc proc, void* argument) {
  HANDLE thread = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(proc), argument, 0, nullptr);
  return thread != nullptr ? thread : InvalidHandle();
}

bool native::WaitForThread(Handle thread, uint32_t timeoutMs) {
  return IsHeld(thread) && WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

void native::CloseThread(Handle thread) {
  if (IsHeld(thread)) CloseHandle(thread);
}

}  // namespace vf::platform
