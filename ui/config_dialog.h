// The "Configure AIS Receiver" dialog without its window: the controls'
// contents, the captions, the show/hide rules and the mapping between the
// controls and the working record. A view (a toolkit's window) shows this
// state and reports the user's changes back through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ais_plugin.h"
#include "platform/dialog_window.h"

namespace vf::ui {

using platform::ComboBoxModel;
using platform::DialogEnd;
using platform::EditModel;

class CDialogConfig final : public platform::DialogEvents {
 public:
  // `serialPortData`: the data of the system's serial port values, in
  // enumeration order (on Windows those of HARDWARE\DEVICEMAP\SERIALCOMM).
  void OnInitDialog(const std::vector<std::u16string>& serialPortData);
  void OnSelchangeConnectionType();
  void OnOK() { ControlsToConfig(); }

  // The template with these models over its controls, for the window.
  platform::DialogContent Content();

  void ShowControlsForConnection();
  void ConfigToControls();
  void ControlsToConfig();

  CCfgDevice m_cfgDevice;  // the working record
  ComboBoxModel m_cbConnectionType, m_cbSerialPort, m_cbSocketType, m_cbSerialFormat, m_cbSerialSpeed,
      m_cbCrcCheck;
  EditModel m_edHostIp, m_edHostIpPort;
  std::u16string m_strCaption1, m_strCaption2, m_strCaption3;

 private:
  // What the window tells: the system's serial ports are read at the start.
  void Initialized() override;
  void SelectionChanged(int controlId) override;
  void Confirmed() override { OnOK(); }

  void InitControls();
  void FillSerialPorts(const std::vector<std::u16string>& serialPortData);
};

// Shows the dialog in a window of its own until the user ends it.
DialogEnd RunConfigDialog(CDialogConfig& dialog);

// Runs the dialog on a working copy of `record`: OK copies the copy back and
// gives 0; Cancel, closing or a dialog that cannot be shown give -1 and leave
// `record` as it was. `run` shows the dialog and returns how it ended.
template <typename Run>
int32_t ConfigureWithDialog(CCfgDevice& record, Run run) {
  CDialogConfig dialog;
  dialog.m_cfgDevice = record;
  if (run(dialog) != DialogEnd::kOk) return -1;
  record = dialog.m_cfgDevice;
  return 0;
}

}  // namespace vf::ui
