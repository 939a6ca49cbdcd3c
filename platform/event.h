// Manual-reset events and waits on one or several of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "clock.h"
#include "handle.h"

namespace vf::platform {

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// A new manual-reset event, not signalled; InvalidHandle() on failure.
Handle CreateManualResetEvent();
void SetEvent(Handle event);
void ResetEvent(Handle event);
void CloseEvent(Handle event);

// Index of the first signalled event among `events`; -1 on time-out, -2 on
// failure (an invalid handle in the list, no handles at all, or more than
// 64, as WaitForMultipleObjects takes).
int WaitForAnyEvent(const Handle* events, size_t count, uint32_t timeoutMs);

// Waits `ms` for `stopEvent` when it is held, or sleeps that long when it is
// not; true when the event ended the wait.
inline bool WaitForStop(Handle stopEvent, uint32_t ms) {
  if (IsHeld(stopEvent)) return WaitForAnyEvent(&stopEvent, 1, ms) == 0;
  SleepMs(ms);
  return false;
}

}  // namespace vf::platform
