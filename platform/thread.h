// Background threads that can be waited for with a time-out.
#pragma once

#include <cstdint>

#include "handle.h"

namespace vf::platform {

using ThreadProc = uint32_t (*)(void* argument);

// Starts the thread at once; InvalidHandle() when it cannot be created.
Handle StartThread(ThreadProc proc, void* argument);
// True when the thread has ended within the time-out.
bool WaitForThread(Handle thread, uint32_t timeoutMs);
// Releases the handle; a thread still running goes on and ends by itself.
void CloseThread(Handle thread);

}  // namespace vf::platform
