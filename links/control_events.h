// The plug-in's two control events as a wait list: the control event when it
// is valid, then the auxiliary one when both are.
#pragma once

#include <cstddef>

#include "platform/handle.h"

inline size_t ControlEventList(vf::platform::Handle controlEvent, vf::platform::Handle auxEvent,
                               vf::platform::Handle (&events)[2]) {
  size_t count = 0;
  if (vf::platform::IsHeld(controlEvent)) {
    events[count++] = controlEvent;
    if (vf::platform::IsHeld(auxEvent)) events[count++] = auxEvent;
  }
  return count;
}
