// The configuration dialog without a window: what it shows for a record,
// what it writes back, the working-copy rule of a dialog session, and the
// template's dialog units in pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/config_dialog.h"
#include "ui/dialog_template.h"

namespace {

using vf::ui::CDialogConfig;
using vf::ui::ComboBoxModel;
using vf::ui::DialogEnd;

const std::vector<std::u16string> kPorts = {u"COM3", u"COM12"};

std::u16string SelectedText(const ComboBoxModel& box) {
  return box.Selected() < 0 ? u"" : box.Entries()[static_cast<size_t>(box.Selected())].text;
}

TEST(ConfigDialog, SerialPortsComeFromTheSystemsListAsSerialComN) {
  CDialogConfig dialog;
  dialog.OnInitDialog({u"COM3", u"\\Device\\Serial0", u"COM12", u"XCOM5", u"COM3"});
  std::vector<std::pair<std::u16string, int32_t>> entries;
  for (const auto& entry : dialog.m_cbSerialPort.Entries()) entries.emplace_back(entry.text, entry.value);
  // Without "COM" a value is skipped; the number is read from the fourth
  // character wherever "COM" stood; duplicates stay.
  EXPECT_EQ(entries, (std::vector<std::pair<std::u16string, int32_t>>{
                         {u"Serial COM3", 3}, {u"Serial COM12", 12}, {u"Serial COM0", 0}, {u"Serial COM3", 3}}));
  CDialogConfig none;  // no serial port at all: OK stores -1
  none.OnInitDialog({});
  none.OnOK();
  EXPECT_EQ(none.m_cfgDevice.m_nSerialPort, -1);
}

TEST(ConfigDialog, SwitchingToTcpIpAndBackKeepsTheRows) {
  CDialogConfig dialog;
  dialog.m_cfgDevice.m_nSerialSpeed = 38400;
  dialog.OnInitDialog(kPorts);
  dialog.m_cbSerialPort.Select(1);
  EXPECT_EQ(dialog.m_strCaption1, u"Serial Port:");

  dialog.m_cbConnectionType.Select(1);
  dialog.OnSelchangeConnectionType();
  EXPECT_EQ(dialog.m_cfgDevice.m_nConnectionType, kConnectionTcpIp);
  EXPECT_FALSE(dialog.m_cbSerialPort.m_bVisible || dialog.m_cbSerialSpeed.m_bVisible ||
               dialog.m_cbSerialFormat.m_bVisible);
  EXPECT_TRUE(dialog.m_cbSocketType.m_bVisible && dialog.m_edHostIp.m_bVisible && dialog.m_edHostIpPort.m_bVisible);
  EXPECT_EQ(std::vector<std::u16string>({dialog.m_strCaption1, dialog.m_strCaption2, dialog.m_strCaption3}),
            std::vector<std::u16string>({u"Socket Type:", u"Host IP:", u"Host IP Port:"}));

  dialog.m_cbConnectionType.Select(0);
  dialog.OnSelchangeConnectionType();
  EXPECT_TRUE(dialog.m_cbSerialPort.m_bVisible && !dialog.m_edHostIp.m_bVisible);
  EXPECT_EQ(std::vector<std::u16string>({dialog.m_strCaption1, dialog.m_strCaption2, dialog.m_strCaption3}),
            std::vector<std::u16string>({u"Serial Port:", u"Serial Speed:", u"Serial Format:"}));
  EXPECT_EQ(SelectedText(dialog.m_cbSerialPort), u"Serial COM12");
  EXPECT_EQ(SelectedText(dialog.m_cbSerialSpeed), u"38400");
}

TEST(ConfigDialog, AnUnknownConnectionTypeShowsNoRow) {
  CDialogConfig dialog;
  dialog.m_cfgDevice.m_nConnectionType = 7;
  dialog.OnInitDialog(kPorts);
  EXPECT_FALSE(dialog.m_cbSerialPort.m_bVisible || dialog.m_cbSocketType.m_bVisible || dialog.m_edHostIp.m_bVisible);
  EXPECT_EQ(dialog.m_strCaption1 + dialog.m_strCaption2 + dialog.m_strCaption3, u"");
  EXPECT_EQ(SelectedText(dialog.m_cbConnectionType), u"Serial");  // no entry carries 7: the first stays
}

TEST(ConfigDialog, TheHostIpPortIsReadAsWcstolReadsIt) {
  const std::pair<std::u16string, int32_t> cases[] = {
      {u"abc", 0}, {u" 8080", 8080}, {u"8080x", 8080}, {u"-5", -5}, {u"", 0}, {u"99999999999", 2147483647}};
  for (const auto& [typed, stored] : cases) {
    CDialogConfig dialog;
    dialog.OnInitDialog(kPorts);
    dialog.m_edHostIpPort.m_strText = typed;
    dialog.OnOK();
    EXPECT_EQ(dialog.m_cfgDevice.m_nIpPort, stored) << std::string(typed.begin(), typed.end());
  }
}

TEST(ConfigDialog, ACrcValueOtherThanOneOpensDisabledAndIsRewritten) {
  CDialogConfig dialog;
  dialog.m_cfgDevice.m_strOptions = u"A=1;CRC=2;B=3;";
  dialog.OnInitDialog(kPorts);
  EXPECT_EQ(SelectedText(dialog.m_cbCrcCheck), u"Disabled");
  dialog.OnOK();
  EXPECT_EQ(dialog.m_cfgDevice.m_strOptions.View(), u"A=1;CRC=0;B=3;");
}

// Values that no entry carries select the first entry, which OK stores;
// fields the dialog does not show are never touched.
TEST(ConfigDialog, OkStoresTheShownEntriesAndNothingElse) {
  CDialogConfig dialog;
  dialog.m_cfgDevice.m_nSerialPort = 44;
  dialog.m_cfgDevice.m_nSerialSpeed = 4000;
  dialog.m_cfgDevice.m_nDeviceId = 77;
  dialog.m_cfgDevice.m_nRemoteIpPort = 2001;
  dialog.m_cfgDevice.m_nTimeOffset = -250;
  dialog.m_cfgDevice.m_nSerialTimeout = 900;
  dialog.m_cfgDevice.m_strSpare = u"kept";
  dialog.OnInitDialog(kPorts);
  dialog.OnOK();
  EXPECT_EQ(dialog.m_cfgDevice.m_nSerialPort, 3);
  EXPECT_EQ(dialog.m_cfgDevice.m_nSerialSpeed, 1200);
  EXPECT_EQ(dialog.m_cfgDevice.m_nDeviceId, 77);
  EXPECT_EQ(dialog.m_cfgDevice.m_nRemoteIpPort, 2001);
  EXPECT_EQ(dialog.m_cfgDevice.m_nTimeOffset, -250);
  EXPECT_EQ(dialog.m_cfgDevice.m_nSerialTimeout, 900);
  EXPECT_EQ(dialog.m_cfgDevice.m_strSpare.View(), u"kept");
}

TEST(ConfigDialog, OnlyOkCopiesTheWorkingRecordBack) {
  for (const DialogEnd end : {DialogEnd::kOk, DialogEnd::kCancel, DialogEnd::kFailed}) {
    CCfgDevice record;
    record.m_nIpPort = 10110;
    const int32_t result = vf::ui::ConfigureWithDialog(record, [&](CDialogConfig& dialog) {
      dialog.OnInitDialog(kPorts);
      dialog.m_cbConnectionType.Select(1);
      dialog.OnSelchangeConnectionType();
      dialog.m_edHostIp.m_strText = u"ais.example.org";
      dialog.m_edHostIpPort.m_strText = u" 8080";
      if (end == DialogEnd::kOk) dialog.OnOK();
      return end;
    });
    if (end == DialogEnd::kOk) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(record.m_nConnectionType, kConnectionTcpIp);
      EXPECT_EQ(record.m_nIpPort, 8080);
      EXPECT_EQ(record.m_strHostAddress.View(), u"ais.example.org");
      EXPECT_EQ(record.m_strOptions.View(), u"CRC=1;");
    } else {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(record.m_nConnectionType, kConnectionSerial);
      EXPECT_EQ(record.m_nIpPort, 10110);
      EXPECT_EQ(record.m_strHostAddress.View(), u"");
    }
  }
}

// --- dialog units as the Linux view turns them into pixels ------------------

// Dialog units become pixels as MapDialogRect makes them for 6 x 13 base
// units: each value rounded on its own, halves away from zero.
TEST(DialogTemplate, DialogUnitsBecomePixelsAsWindowsRoundsThem) {
  const struct {
    vf::platform::DialogRect units;
    vf::platform::PixelRect pixels;
  } cases[] = {
      {{125, 144, 50, 14}, {188, 234, 75, 23}},  // OK: 187.5 and 22.75 round up
      {{90, 43, 120, 12}, {135, 70, 180, 20}},   // row 1: 69.875 and 19.5
      {{7, 7, 218, 92}, {11, 11, 327, 150}},     // 10.5 and 11.375
      {{0, 0, 232, 165}, {0, 0, 348, 268}},      // the dialog: 268.125
  };
  for (const auto& c : cases) {
    const vf::platform::PixelRect pixels = vf::platform::ToPixels(c.units);
    EXPECT_EQ(pixels.x, c.pixels.x);
    EXPECT_EQ(pixels.y, c.pixels.y);
    EXPECT_EQ(pixels.width, c.pixels.width);
    EXPECT_EQ(pixels.height, c.pixels.height);
  }
}

}  // namespace
