// Opening and closing the configured link, as the trace tells it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/mfc_serial.h"
#include "links/udp_session.h"
#include "plugin/plugin_app.h"
#include "support/loopback.h"
#include "support/trace_folder.h"

namespace {

using vf::test::EntryLines;
using vf::test::TraceFolder;

// "level|message" of each entry of the status trace.
std::vector<std::string> StatusLines(const TraceFolder& folder) {
  std::vector<std::string> lines;
  for (const std::string& entry : EntryLines(folder.Read("General").value_or(""))) {
    const size_t level = entry.find('|', entry.find('|') + 1) + 1;
    const size_t end = entry.find('|', level);
    lines.push_back(entry.substr(level, end - level) + "|" + entry.substr(entry.find("] ") + 2));
  }
  return lines;
}

struct LinkCase {
  const char* what;
  int32_t connectionType;
  int32_t socketType;
  int32_t port;  // serial port or IP port
  const char16_t* host;
  int32_t result;
  std::vector<std::string> lines;
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.what; }

class DeviceLinkOpen : public testing::TestWithParam<LinkCase> {};

TEST_P(DeviceLinkOpen, TracesEachStep) {
  TraceFolder folder;
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nConnectionType = GetParam().connectionType;
  app.m_cfgDevice.m_nSocketType = GetParam().socketType;
  app.m_cfgDevice.m_nSerialPort = GetParam().port;
  app.m_cfgDevice.m_nIpPort = GetParam().port;
  app.m_cfgDevice.m_strHostAddress = GetParam().host;
  EXPECT_EQ(app.OpenDeviceLink(), GetParam().result);
  EXPECT_EQ(StatusLines(folder), GetParam().lines);
  if (GetParam().connectionType == 0) {
    EXPECT_FALSE(app.m_pSerial->IsOpen());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, DeviceLinkOpen,
    testing::Values(
        LinkCase{"serial port 0", 0, 0, 0, u"", -1,
                 {"1|Failed to open serial port: [COM0]. The requested serial port does not exist on this system."}},
        LinkCase{"TCP without a host", 1, 0, 0, u"", -1,
                 {"1|Failed to open TCP connection: The destination host name or IP address must be set."}},
        LinkCase{"TCP port 0", 1, 0, 0, u"receiver", -1,
                 {"1|Failed to open TCP connection: An invalid TCP port number was supplied. The valid range is "
                  "(1..65536)."}},
        LinkCase{"UDP port 70000", 1, 1, 70000, u"", -1,
                 {"1|Failed to open UDP connection: An invalid UDP port number was supplied. The valid range is "
                  "(1..65536)."}},
        LinkCase{"an unknown socket type", 1, 2, 10110, u"receiver", -1, {}},
        LinkCase{"an unknown connection type", 3, 0, 10110, u"receiver", -1, {}}));

TEST(DeviceLink, ASerialPortHeldElsewhere) {
  TraceFolder folder;
  vf::test::SerialLoop loop(3);
  CMFCSerial holder;
  holder.m_nPort = 3;
  ASSERT_EQ(holder.Open(), 0);
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nSerialPort = 3;
  EXPECT_EQ(app.OpenDeviceLink(), -1);
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening serial port: [COM3] with a speed of 9600 bps...",
                                      "1|Failed to open serial port: [COM3]. Failed to open the selected serial port "
                                      "because it is already in use.."}));
}

TEST(DeviceLink, ASerialPortOpensAndCloses) {
  TraceFolder folder;
  vf::test::SerialLoop loop(4);
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nSerialPort = 4;
  app.m_cfgDevice.m_nSerialSpeed = 38400;
  EXPECT_EQ(app.OpenDeviceLink(), 0);
  EXPECT_TRUE(app.m_pSerial->IsOpen());
  app.CloseDeviceLink();
  EXPECT_FALSE(app.m_pSerial->IsOpen());
  EXPECT_EQ(StatusLines(folder), (std::vector<std::string>{"4|Opening serial port: [COM4] with a speed of 38400 bps...",
                                                           "32|Successfully opened serial port: [COM4].",
                                                           "4|Closing serial port..."}));
}

TEST(DeviceLink, ARefusedTcpHostIsTriedThreeTimes) {
  TraceFolder folder;
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nConnectionType = kConnectionTcpIp;
  app.m_cfgDevice.m_strHostAddress = u"127.0.0.1";
  app.m_cfgDevice.m_nIpPort = vf::test::UnusedTcpPort();
  EXPECT_EQ(app.OpenDeviceLink(), -1);
  const std::string failure = "1|Failed to open TCP connection: Failed to open TCP connection, timeout while trying "
                              "to connect to host..";
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening TCP connection to: [127.0.0.1] on port: [" +
                                          std::to_string(app.m_cfgDevice.m_nIpPort) + "]...",
                                      failure, failure, failure}));
}

TEST(DeviceLink, UdpSessionsOpenTheLocalSocket) {
  TraceFolder folder;
  const uint16_t port = vf::test::UnusedUdpPort();
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nConnectionType = kConnectionTcpIp;
  app.m_cfgDevice.m_nSocketType = kSocketUdp;
  app.m_cfgDevice.m_nIpPort = port;
  EXPECT_EQ(app.OpenDeviceLink(), 0);
  app.CloseDeviceLink();
  app.m_cfgDevice.m_strHostAddress = u"127.0.0.1";  // named, but without a remote port only the local socket opens
  EXPECT_EQ(app.OpenDeviceLink(), 0);
  EXPECT_EQ(app.m_pUdpRemote->m_hSocket, vf::platform::kNoSocket);
  const std::string number = std::to_string(port);
  EXPECT_EQ(StatusLines(folder), (std::vector<std::string>{"4|Opening UDP session on port: [" + number + "]...",
                                                           "32|UDP session started.", "4|Closing UDP session...",
                                                           "4|Opening UDP session to: [127.0.0.1] on port: [" +
                                                               number + "]...",
                                                           "32|UDP session started."}));
}

TEST(DeviceLink, AUdpPortInUse) {
  TraceFolder folder;
  vf::test::HeldUdpPort held;
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nConnectionType = kConnectionTcpIp;
  app.m_cfgDevice.m_nSocketType = kSocketUdp;
  app.m_cfgDevice.m_nIpPort = held.Port();
  EXPECT_EQ(app.OpenDeviceLink(), -1);
  const std::string number = std::to_string(held.Port());
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening UDP session on port: [" + number + "]...",
                                      "1|Failed to open UDP session: Failed to bind local UDP port: [" + number +
                                          "], Failed to open UDP connection. Failed to bind socket. The specified "
                                          "port could already be in use.."}));
}

TEST(DeviceLink, NoSelectedLinkClosesWithoutATrace) {
  TraceFolder folder;
  CPluginApp app(u"AIS");
  app.m_cfgDevice.m_nConnectionType = kConnectionTcpIp;
  app.m_cfgDevice.m_nSocketType = 2;
  CWideString line(u"kept");
  EXPECT_EQ(app.WaitForDeviceData(), -1);
  EXPECT_EQ(app.ReadDeviceLine(line), -1);
  app.CloseDeviceLink();
  EXPECT_FALSE(folder.Read("General").has_value());
}

}  // namespace
