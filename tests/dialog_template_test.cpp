// The dialog template as data (for views that lay out their own window) and
// the resource script that the Windows DLL carries describe the same dialog.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ui/dialog_template.h"

namespace {

using vf::ui::ControlKind;

struct ScriptControl {
  ControlKind kind;
  int id;
  std::string text;
  vf::ui::DialogRect rect;
};

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(" \t");
  const size_t last = text.find_last_not_of(" \t\r");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The controls of the script's DIALOGEX block, in order.
std::vector<ScriptControl> ScriptControls() {
  const std::map<std::string, ControlKind> kinds = {
      {"GROUPBOX", ControlKind::kGroupBox}, {"LTEXT", ControlKind::kStatic},
      {"COMBOBOX", ControlKind::kComboBox}, {"EDITTEXT", ControlKind::kEdit},
      {"DEFPUSHBUTTON", ControlKind::kPushButton}, {"PUSHBUTTON", ControlKind::kPushButton}};
  const std::map<std::string, int> ids = {
      {"IDC_STATIC", -1}, {"IDOK", 1}, {"IDCANCEL", 2},
      {"IDC_CONNECTION_TYPE", IDC_CONNECTION_TYPE}, {"IDC_CRC_CHECK", IDC_CRC_CHECK},
      {"IDC_ROW1_CAPTION", IDC_ROW1_CAPTION}, {"IDC_ROW2_CAPTION", IDC_ROW2_CAPTION},
      {"IDC_ROW3_CAPTION", IDC_ROW3_CAPTION}, {"IDC_ROW1_PLACEHOLDER", IDC_ROW1_PLACEHOLDER},
      {"IDC_ROW2_PLACEHOLDER", IDC_ROW2_PLACEHOLDER}, {"IDC_ROW3_PLACEHOLDER", IDC_ROW3_PLACEHOLDER}};
  std::ifstream script(AIS_RESOURCE_SCRIPT);
  std::vector<ScriptControl> controls;
  const std::regex line(R"(^\s*([A-Z]+)\s+(.*)$)");
  for (std::string text; std::getline(script, text);) {
    std::smatch match;
    if (!std::regex_match(text, match, line) || kinds.count(match[1]) == 0) continue;
    std::vector<std::string> fields;
    std::stringstream rest(match[2].str());
    for (std::string field; std::getline(rest, field, ',');) fields.push_back(Trimmed(field));
    ScriptControl control{kinds.at(match[1]), 0, "", {}};
    size_t next = 0;
    if (!fields.empty() && fields[0].front() == '"') control.text = fields[next++].substr(1, fields[0].size() - 2);
    if (fields.size() < next + 5 || ids.count(fields[next]) == 0) {
      ADD_FAILURE() << "cannot read: " << text;
      continue;
    }
    control.id = ids.at(fields[next]);
    control.rect = {std::stoi(fields[next + 1]), std::stoi(fields[next + 2]), std::stoi(fields[next + 3]),
                    std::stoi(fields[next + 4])};
    controls.push_back(control);
  }
  return controls;
}

TEST(DialogTemplate, TheResourceScriptHoldsTheSameControlsInTheSameOrder) {
  const std::vector<ScriptControl> script = ScriptControls();
  ASSERT_EQ(script.size(), std::size(vf::ui::kConfigureTemplate));
  for (size_t i = 0; i < script.size(); ++i) {
    const vf::ui::TemplateControl& data = vf::ui::kConfigureTemplate[i];
    SCOPED_TRACE("control " + std::to_string(i) + " \"" + data.text + "\"");
    EXPECT_EQ(script[i].kind, data.kind);
    EXPECT_EQ(script[i].id, data.id);
    EXPECT_EQ(script[i].text, data.text);
    EXPECT_EQ(script[i].rect.x, data.rect.x);
    EXPECT_EQ(script[i].rect.y, data.rect.y);
    EXPECT_EQ(script[i].rect.width, data.rect.width);
    EXPECT_EQ(script[i].rect.height, data.rect.height);
  }
  std::ifstream in(AIS_RESOURCE_SCRIPT);
  const std::string whole((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(whole.find("IDD_CONFIGURE_AIS DIALOGEX 0, 0, 232, 165"), std::string::npos);
  EXPECT_NE(whole.find("CAPTION \"Configure AIS Receiver\""), std::string::npos);
}

// Dialog units become pixels as MapDialogRect makes them for 6 x 13 base
// units: each value rounded on its own, halves away from zero.
TEST(DialogTemplate, DialogUnitsBecomePixelsAsWindowsRoundsThem) {
  const struct {
    vf::ui::DialogRect units;
    vf::ui::PixelRect pixels;
  } cases[] = {
      {{125, 144, 50, 14}, {188, 234, 75, 23}},  // OK: 187.5 and 22.75 round up
      {{90, 43, 120, 12}, {135, 70, 180, 20}},   // row 1: 69.875 and 19.5
      {{7, 7, 218, 92}, {11, 11, 327, 150}},     // 10.5 and 11.375
      {{0, 0, 232, 165}, {0, 0, 348, 268}},      // the dialog: 268.125
  };
  for (const auto& c : cases) {
    const vf::ui::PixelRect pixels = vf::ui::ToPixels(c.units);
    EXPECT_EQ(pixels.x, c.pixels.x);
    EXPECT_EQ(pixels.y, c.pixels.y);
    EXPECT_EQ(pixels.width, c.pixels.width);
    EXPECT_EQ(pixels.height, c.pixels.height);
  }
}

}  // namespace
