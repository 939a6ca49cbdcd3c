#include "window.h"
#include "native_calls.h"

#include "vf_system.h"

namespace vf::platform {

bool native::PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return VfPostMessage(window, message, wParam, lParam) != 0;
}

bool native::WindowExists(HostWindow window) { return VfIsWindow(window) != 0; }

bool native::TopLevelWindowExists(const char16_t* title) { return VfFindWindow(title) != nullptr; }

}  // namespace vf::platform
