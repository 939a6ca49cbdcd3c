// The machine-wide named mutex that serialises trace-file access.
#pragma once

#include <cstdint>

#include "handle.h"

namespace vf::platform {

enum class MutexWait { kAcquired, kAbandoned, kFailed };

// Opens a mutex that another program created; null when it does not exist.
Handle OpenNamedMutex(const char16_t* name);
MutexWait WaitForNamedMutex(Handle mutex, uint32_t timeoutMs);
void ReleaseNamedMutex(Handle mutex);
void CloseNamedMutex(Handle mutex);

}  // namespace vf::platform
