#include "named_mutex.h"
#include "native_calls.h"

#include <windows.h>

#include "win32_text.h"

namespace vf::platform {

Handle native::OpenNamedMutex(const char16_t* name) {
  return OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, win32::Wide(name));
}

MutexWait native::WaitForNamedMutex(Handle mutex, uint32_t timeoutMs) {
  if (!IsHeld(mutex)) return MutexWait::kFailed;
  switch (WaitForSingleObject(mutex, timeoutMs)) {
    case WAIT_OBJECT_0: return MutexWait::kAcquired;
    case WAIT_ABANDONED: return MutexWait::kAbandoned;  // its holder ended without releasing it
    default: return MutexWait::kFailed;
  }
}

void native::ReleaseNamedMutex(Handle mutex) {
  if (IsHeld(mutex)) ReleaseMutex(mutex);
}

void native::CloseNamedMutex(Handle mutex) {
  if (IsHeld(mutex)) CloseHandle(mutex);
}

}  // namespace vf::platform
