// Template 19000, "Configure AIS Receiver", as data: what a view that lays
// out its own window needs. The Windows view loads the same template from
// the DLL's resources; both come from ui/resources/dialog_controls.h.
#pragma once

#include "platform/dialog_window.h"
#include "ui/resources/dialog_controls.h"

namespace vf::ui {

using platform::ControlKind;
using platform::TemplateControl;

inline constexpr const char* kDialogTitle = AIS_DIALOG_TITLE;
inline constexpr int kDialogWidth = AIS_DIALOG_WIDTH;
inline constexpr int kDialogHeight = AIS_DIALOG_HEIGHT;
// What a closed combo box occupies of its template height, as Windows sizes
// it for this font.
inline constexpr int kClosedComboHeight = 12;

inline constexpr int kIdOk = IDOK;
inline constexpr int kIdCancel = IDCANCEL;

#define AIS_TEMPLATE_TEXT_CONTROL(statement, kind, text, id, x, y, width, height) \
  {ControlKind::kind, id, text, {x, y, width, height}},
#define AIS_TEMPLATE_INPUT_CONTROL(statement, kind, id, x, y, width, height, style) \
  {ControlKind::kind, id, "", {x, y, width, height}},
inline constexpr TemplateControl kConfigureTemplate[] = {
    AIS_CONFIGURE_CONTROLS(AIS_TEMPLATE_TEXT_CONTROL, AIS_TEMPLATE_INPUT_CONTROL)};
#undef AIS_TEMPLATE_TEXT_CONTROL
#undef AIS_TEMPLATE_INPUT_CONTROL

// The template's control `id`; nullptr when it has none.
constexpr const TemplateControl* FindTemplateControl(int id) {
  for (const TemplateControl& control : kConfigureTemplate) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

}  // namespace vf::ui
