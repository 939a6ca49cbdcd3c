// Template 19000, "Configure AIS Receiver": its one description, read by the
// resource script (through windres' preprocessor) and by the views that lay
// out their own window (ui/dialog_template.h). Positions are dialog units.
//
//   TEXT_CONTROL(statement, kind, text, id, x, y, width, height)
//   INPUT_CONTROL(statement, kind, id, x, y, width, height, style)
// A combo box's height includes its open list; the style is the script's.
#pragma once

#include "resource_ids.h"

#define AIS_DIALOG_TITLE "Configure AIS Receiver"
#define AIS_DIALOG_WIDTH 232
#define AIS_DIALOG_HEIGHT 165
#define AIS_DIALOG_FONT_POINTS 8

#define AIS_CONFIGURE_CONTROLS(TEXT_CONTROL, INPUT_CONTROL)                                                     \
  TEXT_CONTROL(GROUPBOX, kGroupBox, "Connection", IDC_STATIC, 7, 7, 218, 92)                                    \
  TEXT_CONTROL(LTEXT, kStatic, "Connection Type:", IDC_STATIC, 13, 25, 58, 8)                                   \
  INPUT_CONTROL(COMBOBOX, kComboBox, IDC_CONNECTION_TYPE, 90, 23, 120, 30, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP) \
  TEXT_CONTROL(LTEXT, kStatic, "Caption:", IDC_ROW1_CAPTION, 13, 45, 70, 8)                                     \
  INPUT_CONTROL(EDITTEXT, kEdit, IDC_ROW1_PLACEHOLDER, 90, 43, 120, 12, ES_AUTOHSCROLL | NOT WS_VISIBLE)        \
  TEXT_CONTROL(LTEXT, kStatic, "Caption:", IDC_ROW2_CAPTION, 13, 60, 72, 8)                                     \
  INPUT_CONTROL(EDITTEXT, kEdit, IDC_ROW2_PLACEHOLDER, 90, 58, 120, 12, ES_AUTOHSCROLL | NOT WS_VISIBLE)        \
  TEXT_CONTROL(LTEXT, kStatic, "Caption:", IDC_ROW3_CAPTION, 13, 75, 73, 8)                                     \
  INPUT_CONTROL(EDITTEXT, kEdit, IDC_ROW3_PLACEHOLDER, 90, 73, 120, 12, ES_AUTOHSCROLL | NOT WS_VISIBLE)        \
  TEXT_CONTROL(GROUPBOX, kGroupBox, "Advanced", IDC_STATIC, 7, 98, 218, 40)                                     \
  TEXT_CONTROL(LTEXT, kStatic, "CRC Check:", IDC_STATIC, 13, 115, 39, 8)                                        \
  INPUT_CONTROL(COMBOBOX, kComboBox, IDC_CRC_CHECK, 90, 113, 90, 30,                                            \
                CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP)                                              \
  TEXT_CONTROL(DEFPUSHBUTTON, kPushButton, "OK", IDOK, 125, 144, 50, 14)                                        \
  TEXT_CONTROL(PUSHBUTTON, kPushButton, "Cancel", IDCANCEL, 175, 144, 50, 14)
