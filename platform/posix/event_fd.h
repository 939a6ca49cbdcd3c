// Inside the POSIX backend an event is an eventfd, so that socket waits can
// poll events and sockets together.
#pragma once

#include "handle.h"

namespace vf::platform::posix {

int EventDescriptor(Handle event);  // -1 for a handle that is not an event

}  // namespace vf::platform::posix
