#include "ui/config_dialog.h"

#include "config/decimal_text.h"
#include "config/option_text.h"
#include "diag/text_format.h"

namespace vf::ui {

void CDialogConfig::OnInitDialog(const std::vector<std::u16string>& serialPortData) {
  InitControls();
  FillSerialPorts(serialPortData);
  ShowControlsForConnection();
  ConfigToControls();
}

void CDialogConfig::InitControls() {
  m_cbConnectionType.Add(u"Serial", kConnectionSerial);
  m_cbConnectionType.Add(u"TCP/IP", kConnectionTcpIp);
  m_cbCrcCheck.Add(u"Disabled", 0);
  m_cbCrcCheck.Add(u"Enabled", 1);
  m_cbSocketType.Add(u"TCP", kSocketTcp);
  m_cbSocketType.Add(u"UDP", kSocketUdp);
  for (const int32_t speed : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    m_cbSerialSpeed.Add(FormatText(u"%ld", {speed}), speed);
  }
  const char16_t* const formats[] = {u"N-8-1", u"E-7-1", u"N-8-2", u"E-7-2"};
  for (int32_t format = 0; format < 4; ++format) m_cbSerialFormat.Add(formats[format], format);
}

void CDialogConfig::FillSerialPorts(const std::vector<std::u16string>& serialPortData) {
  m_cbSerialPort.Clear();
  for (const std::u16string& data : serialPortData) {
    if (data.find(u"COM") == std::u16string::npos) continue;
    // The number is read from the fourth character, wherever "COM" stood.
    const int32_t number = data.size() > 3 ? ParseSignedDecimal(std::u16string_view(data).substr(3)) : 0;
    m_cbSerialPort.Add(FormatText(u"Serial COM%ld", {number}), number);
  }
}

void CDialogConfig::ShowControlsForConnection() {
  m_strCaption1.clear();
  m_strCaption2.clear();
  m_strCaption3.clear();
  const bool serial = m_cfgDevice.m_nConnectionType == kConnectionSerial;
  const bool network = m_cfgDevice.m_nConnectionType == kConnectionTcpIp;
  m_cbSerialPort.m_bVisible = m_cbSerialSpeed.m_bVisible = m_cbSerialFormat.m_bVisible = serial;
  m_cbSocketType.m_bVisible = m_edHostIp.m_bVisible = m_edHostIpPort.m_bVisible = network;
  if (serial) {
    m_strCaption1 = u"Serial Port:";
    m_strCaption2 = u"Serial Speed:";
    m_strCaption3 = u"Serial Format:";
  } else if (network) {
    m_strCaption1 = u"Socket Type:";
    m_strCaption2 = u"Host IP:";
    m_strCaption3 = u"Host IP Port:";
  }
}

void CDialogConfig::ConfigToControls() {
  m_cbConnectionType.SelectValue(m_cfgDevice.m_nConnectionType);
  m_cbSerialPort.SelectValue(m_cfgDevice.m_nSerialPort);
  m_cbSerialSpeed.SelectValue(m_cfgDevice.m_nSerialSpeed);
  m_cbSerialFormat.SelectValue(m_cfgDevice.m_nSerialFormat);
  m_cbSocketType.SelectValue(m_cfgDevice.m_nSocketType);
  m_cbCrcCheck.SelectValue(GetCrcCheck(m_cfgDevice.m_strOptions.View()));
  m_edHostIp.m_strText = std::u16string(m_cfgDevice.m_strHostAddress.View());
  m_edHostIpPort.m_strText = FormatText(u"%ld", {m_cfgDevice.m_nIpPort});
}

void CDialogConfig::ControlsToConfig() {
  m_cfgDevice.m_nConnectionType = m_cbConnectionType.SelectedValue();
  m_cfgDevice.m_nSerialPort = m_cbSerialPort.SelectedValue();
  m_cfgDevice.m_nSerialSpeed = m_cbSerialSpeed.SelectedValue();
  m_cfgDevice.m_nSerialFormat = m_cbSerialFormat.SelectedValue();
  m_cfgDevice.m_nSocketType = m_cbSocketType.SelectedValue();
  std::u16string options(m_cfgDevice.m_strOptions.View());
  SetCrcOption(options, FormatText(u"%ld", {m_cbCrcCheck.SelectedValue()}));
  m_cfgDevice.m_strOptions = options;
  m_cfgDevice.m_strHostAddress = m_edHostIp.m_strText;
  m_cfgDevice.m_nIpPort = ParseSignedDecimal(m_edHostIpPort.m_strText);
}

void CDialogConfig::OnSelchangeConnectionType() {
  m_cfgDevice.m_nConnectionType = m_cbConnectionType.SelectedValue();
  ControlsToConfig();
  ShowControlsForConnection();
}

}  // namespace vf::ui
