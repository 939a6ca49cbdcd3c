// Kernel objects are opaque handles; one that is not held has all bits set.
#pragma once

#include <cstdint>

namespace vf::platform {

using Handle = void*;

inline Handle InvalidHandle() { return reinterpret_cast<Handle>(~uintptr_t{0}); }
inline bool IsHeld(Handle handle) { return handle != InvalidHandle() && handle != nullptr; }

}  // namespace vf::platform
