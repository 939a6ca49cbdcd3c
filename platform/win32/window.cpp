#include "window.h"
#include "native_calls.h"

#include <windows.h>

#include "win32_text.h"

namespace vf::platform {

bool native::PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != 0;
}

bool native::WindowExists(HostWindow window) { return IsWindow(static_cast<HWND>(window)) != 0; }

bool native::TopLevelWindowExists(const char16_t* title) { return FindWindowW(nullptr, win32::Wide(title)) != nullptr; }

}  // namespace vf::platform
