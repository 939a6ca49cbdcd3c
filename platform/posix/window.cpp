#include "window.h"

#include "vf_system.h"

namespace vf::platform {

bool PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return VfPostMessage(window, message, wParam, lParam) != 0;
}

bool WindowExists(HostWindow window) { return VfIsWindow(window) != 0; }

bool TopLevelWindowExists(const char16_t* title) { return VfFindWindow(title) != nullptr; }

}  // namespace vf::platform
