// The configuration dialog's modal window: it shows a CDialogConfig, hands
// the user's changes to it, and says how the session ended.
#pragma once

#include "ui/config_dialog.h"

namespace vf::platform {

// Builds the window from template 19000 with no parent, initialises `dialog`
// with the system's serial ports, and runs it until the user ends it.
// Without a display, while another dialog of this library is open, or when
// the window cannot be made, returns kFailed at once and shows nothing.
ui::DialogEnd RunConfigDialog(ui::CDialogConfig& dialog);

}  // namespace vf::platform
