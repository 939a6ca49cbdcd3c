// The host's windows, as the plug-in sees them: post to one, look one up.
#pragma once

#include <cstdint>

#include "ais_plugin.h"

namespace vf::platform {

bool PostToWindow(HostWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// False once the window is destroyed: a post that failed then will never go.
bool WindowExists(HostWindow window);
bool TopLevelWindowExists(const char16_t* title);

}  // namespace vf::platform
