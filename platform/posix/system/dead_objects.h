// Windows closes the handles of a process that dies, and a named object goes
// with its last handle. Here a process killed before it closed its handles
// leaves its shared-memory objects behind; a host's start removes those of
// the user that no live process holds any more.
#pragma once

#include <cstdint>

namespace vf::posix_system {

// Removes this user's named mutexes that no process has mapped and window
// lists whose windows all belong to processes that are gone, each at least
// `minimumAgeS` seconds old (a younger one may be being opened right now).
void RemoveDeadObjects(int64_t minimumAgeS = 60);

}  // namespace vf::posix_system
