// Template 19000, "Configure AIS Receiver", as data: what a view that lays
// out its own window needs. The Windows view loads the same template from
// ui/resources/ais.rc; a test keeps the two equal.
#pragma once

#include <string_view>

#include "ui/resources/resource_ids.h"

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

inline constexpr const char* kDialogTitle = "Configure AIS Receiver";
inline constexpr int kDialogWidth = 232;
inline constexpr int kDialogHeight = 165;
inline constexpr int kDialogFontPoints = 8;
// What a closed combo box occupies of its template height, as Windows sizes
// it for this font.
inline constexpr int kClosedComboHeight = 12;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

inline constexpr TemplateControl kConfigureTemplate[] = {
    {ControlKind::kGroupBox, -1, "Connection", {7, 7, 218, 92}},
    {ControlKind::kStatic, -1, "Connection Type:", {13, 25, 58, 8}},
    {ControlKind::kComboBox, IDC_CONNECTION_TYPE, "", {90, 23, 120, 30}},
    {ControlKind::kStatic, IDC_ROW1_CAPTION, "Caption:", {13, 45, 70, 8}},
    {ControlKind::kEdit, IDC_ROW1_PLACEHOLDER, "", {90, 43, 120, 12}},
    {ControlKind::kStatic, IDC_ROW2_CAPTION, "Caption:", {13, 60, 72, 8}},
    {ControlKind::kEdit, IDC_ROW2_PLACEHOLDER, "", {90, 58, 120, 12}},
    {ControlKind::kStatic, IDC_ROW3_CAPTION, "Caption:", {13, 75, 73, 8}},
    {ControlKind::kEdit, IDC_ROW3_PLACEHOLDER, "", {90, 73, 120, 12}},
    {ControlKind::kGroupBox, -1, "Advanced", {7, 98, 218, 40}},
    {ControlKind::kStatic, -1, "CRC Check:", {13, 115, 39, 8}},
    {ControlKind::kComboBox, IDC_CRC_CHECK, "", {90, 113, 90, 30}},
    {ControlKind::kPushButton, kIdOk, "OK", {125, 144, 50, 14}},
    {ControlKind::kPushButton, kIdCancel, "Cancel", {175, 144, 50, 14}},
};

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
