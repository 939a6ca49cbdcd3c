#include "named_mutex.h"
#include "native_calls.h"

#include "vf_system.h"

namespace vf::platform {

static VfNamedMutex* Native(Handle mutex) { return IsHeld(mutex) ? static_cast<VfNamedMutex*>(mutex) : nullptr; }

Handle native::OpenNamedMutex(const char16_t* name) { return VfOpenNamedMutex(name); }

MutexWait native::WaitForNamedMutex(Handle mutex, uint32_t timeoutMs) {
  VfNamedMutex* native = Native(mutex);
  if (native == nullptr) return MutexWait::kFailed;
  switch (VfWaitNamedMutex(native, timeoutMs)) {
    case 0: return MutexWait::kAcquired;
    case 1: return MutexWait::kAbandoned;
    default: return MutexWait::kFailed;
  }
}

void native::ReleaseNamedMutex(Handle mutex) { VfReleaseNamedMutex(Native(mutex)); }
void native::CloseNamedMutex(Handle mutex) { VfCloseNamedMutex(Native(mutex)); }

}  // namespace vf::platform
