// The dialog's models over template 19000's controls, for the window.
#include "platform/serial_port.h"
#include "ui/config_dialog.h"
#include "ui/dialog_template.h"

namespace vf::ui {

platform::DialogContent CDialogConfig::Content() {
  return {IDD_CONFIGURE_AIS,
          IDR_DIALOG_MANIFEST,
          kDialogTitle,
          kDialogWidth,
          kDialogHeight,
          kClosedComboHeight,
          kConfigureTemplate,
          // Rows 1 to 3 hold the serial port's or the network's controls; the
          // edit boxes get identifiers of their own, five past their rows'.
          {{IDC_CONNECTION_TYPE, IDC_CONNECTION_TYPE, &m_cbConnectionType},
           {IDC_ROW1_PLACEHOLDER, IDC_ROW1_PLACEHOLDER, &m_cbSerialPort},
           {IDC_ROW2_PLACEHOLDER, IDC_ROW2_PLACEHOLDER, &m_cbSerialSpeed},
           {IDC_ROW3_PLACEHOLDER, IDC_ROW3_PLACEHOLDER, &m_cbSerialFormat},
           {IDC_ROW1_PLACEHOLDER, IDC_ROW1_PLACEHOLDER, &m_cbSocketType},
           {IDC_CRC_CHECK, IDC_CRC_CHECK, &m_cbCrcCheck}},
          {{IDC_ROW2_PLACEHOLDER, IDC_ROW2_PLACEHOLDER + 5, &m_edHostIp},
           {IDC_ROW3_PLACEHOLDER, IDC_ROW3_PLACEHOLDER + 5, &m_edHostIpPort}},
          {{IDC_ROW1_CAPTION, &m_strCaption1}, {IDC_ROW2_CAPTION, &m_strCaption2}, {IDC_ROW3_CAPTION, &m_strCaption3}},
          {{kIdOk, IDB_OK_CHECK}, {kIdCancel, IDB_CANCEL_CROSS}}};
}

void CDialogConfig::Initialized() { OnInitDialog(platform::SerialPortRegistryData()); }

void CDialogConfig::SelectionChanged(int controlId) {
  if (controlId == IDC_CONNECTION_TYPE) OnSelchangeConnectionType();
}

DialogEnd RunConfigDialog(CDialogConfig& dialog) { return platform::RunDialog(dialog.Content(), dialog); }

}  // namespace vf::ui
