// Template 19000, "Configure AIS Receiver", as data: what a view that lays
// out its own window needs. The Windows view loads the same template from
// the DLL's resources; both come from ui/resources/dialog_controls.h.
#pragma once

#include <string_view>

#include "ui/resources/dialog_controls.h"

namespace vf::ui {

enum class ControlKind { kGroupBox, kStatic, kComboBox, kEdit, kPushButton };

// A position in dialog units: a quarter of the font's average character
// width across, an eighth of its height down.
struct DialogRect {
  int x, y, width, height;
};

struct TemplateControl {
  ControlKind kind;
  int id;  // -1: a static text or group box that nothing refers to
  const char* text;
  DialogRect rect;  // a combo box's height includes its open list
};

inline constexpr const char* kDialogTitle = AIS_DIALOG_TITLE;
inline constexpr int kDialogWidth = AIS_DIALOG_WIDTH;
inline constexpr int kDialogHeight = AIS_DIALOG_HEIGHT;
inline constexpr int kDialogFontPoints = AIS_DIALOG_FONT_POINTS;
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

// A rectangle on screen, in pixels from the dialog's client origin.
struct PixelRect {
  int x, y, width, height;
};

// Dialog units to pixels for "MS Shell Dlg" at 8 points on a 96 dpi screen,
// whose base units are 6 x 13 pixels; rounded as Windows' MapDialogRect does.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
constexpr int DialogUnitsAcross(int units) { return (units * kBaseUnitX + 2) / 4; }
constexpr int DialogUnitsDown(int units) { return (units * kBaseUnitY + 4) / 8; }
constexpr PixelRect ToPixels(DialogRect rect) {
  return {DialogUnitsAcross(rect.x), DialogUnitsDown(rect.y), DialogUnitsAcross(rect.width),
          DialogUnitsDown(rect.height)};
}

// The template's control with this text, for those without an identifier.
constexpr const TemplateControl& TemplateControlTitled(std::string_view text) {
  for (const TemplateControl& control : kConfigureTemplate) {
    if (text == control.text) return control;
  }
  return kConfigureTemplate[0];
}

// The template's control `id`; nullptr when it has none.
constexpr const TemplateControl* FindTemplateControl(int id) {
  for (const TemplateControl& control : kConfigureTemplate) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

}  // namespace vf::ui
