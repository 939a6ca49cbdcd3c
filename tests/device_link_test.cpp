// Opening and closing the configured link, as the trace tells it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "links/device_link.h"
#include "platform/system_calls.h"
#include "support/loopback.h"
#include "support/serial_loop.h"
#include "support/trace_folder.h"

namespace {

using vf::test::TraceFolder;

std::vector<std::string> StatusLines(const TraceFolder& folder) { return vf::test::StatusMessages(folder, true); }

// A link with its configuration and trace, as a run's device thread has them.
struct LinkRig {
  LinkRig() { trace.Open(); }
  int32_t Open() {
    return link.OpenDeviceLink(config, vf::FeedOptions::Of(config.m_strOptions.View()), trace, stopRequested);
  }
  void Close() { link.CloseDeviceLink(trace); }

  vf::TraceWriter trace{u"AIS"};
  vf::links::CDeviceLink link;
  CCfgDevice config;
  std::atomic<bool> stopRequested{false};
};

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
  LinkRig rig;
  rig.config.m_nConnectionType = GetParam().connectionType;
  rig.config.m_nSocketType = GetParam().socketType;
  rig.config.m_nSerialPort = GetParam().port;
  rig.config.m_nIpPort = GetParam().port;
  rig.config.m_strHostAddress = GetParam().host;
  EXPECT_EQ(rig.Open(), GetParam().result);
  EXPECT_EQ(StatusLines(folder), GetParam().lines);
  if (GetParam().connectionType == 0) {
    EXPECT_FALSE(rig.link.m_pSerial->IsOpen());
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

// A link object that could not be made (its allocation failed): the link
// refuses to open, wait or read whatever the configuration selects, and
// closing it traces nothing. The remote UDP socket alone is not needed.
TEST(DeviceLink, WithoutALinkObjectNoLinkRuns) {
  const std::function<void(vf::links::CDeviceLink&)> losses[] = {
      [](vf::links::CDeviceLink& link) { link.m_pSerial.reset(); },
      [](vf::links::CDeviceLink& link) { link.m_pTcp.reset(); },
      [](vf::links::CDeviceLink& link) { link.m_pUdp.reset(); },
  };
  vf::test::SerialLoop loop(4);
  for (const auto& lose : losses) {
    for (const int32_t connectionType : {kConnectionSerial, kConnectionTcpIp}) {
      TraceFolder folder;
      LinkRig rig;
      lose(rig.link);
      rig.config.m_nConnectionType = connectionType;
      rig.config.m_nSocketType = kSocketUdp;
      rig.config.m_nSerialPort = 4;
      rig.config.m_nIpPort = vf::test::UnusedUdpPort();
      EXPECT_EQ(rig.Open(), -1);
      CWideString line;
      EXPECT_EQ(rig.link.WaitForDeviceData(vf::platform::InvalidHandle(), vf::platform::InvalidHandle()), -1);
      EXPECT_EQ(rig.link.ReadDeviceLine(line), -1);
      EXPECT_EQ(rig.link.LostBelow(), 0);
      rig.Close();
      EXPECT_TRUE(StatusLines(folder).empty());
    }
  }
  {  // nor does a kind of link that does not exist
    TraceFolder folder;
    LinkRig rig;
    rig.config.m_nConnectionType = 3;
    EXPECT_EQ(rig.Open(), -1);
    CWideString line(u"left over");
    EXPECT_EQ(rig.link.WaitForDeviceData(vf::platform::InvalidHandle(), vf::platform::InvalidHandle()), -1);
    EXPECT_EQ(rig.link.ReadDeviceLine(line), -1);
    EXPECT_TRUE(line.IsEmpty());
    EXPECT_EQ(rig.link.LostBelow(), 0);
    rig.Close();
    EXPECT_TRUE(StatusLines(folder).empty());
  }
  TraceFolder folder;
  LinkRig rig;
  rig.link.m_pUdpRemote.reset();
  rig.config.m_nConnectionType = kConnectionTcpIp;
  rig.config.m_nSocketType = kSocketUdp;
  rig.config.m_nIpPort = vf::test::UnusedUdpPort();
  EXPECT_EQ(rig.Open(), 0);
  rig.Close();
}

// Opened and closed, then refused while another holds it.
TEST(DeviceLink, ASerialPortOpensAndClosesAndIsRefusedWhileHeld) {
  TraceFolder folder;
  vf::test::SerialLoop loop(4);
  LinkRig rig;
  rig.config.m_nSerialPort = 4;
  rig.config.m_nSerialSpeed = 38400;
  EXPECT_EQ(rig.Open(), 0);
  EXPECT_TRUE(rig.link.m_pSerial->IsOpen());
  rig.Close();
  EXPECT_FALSE(rig.link.m_pSerial->IsOpen());
  CMFCSerial holder;
  holder.m_nPort = 4;
  ASSERT_EQ(holder.Open(), 0);
  EXPECT_EQ(rig.Open(), -1);
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening serial port: [COM4] with a speed of 38400 bps...",
                                      "32|Successfully opened serial port: [COM4].", "4|Closing serial port...",
                                      "4|Opening serial port: [COM4] with a speed of 38400 bps...",
                                      "1|Failed to open serial port: [COM4]. Failed to open the selected serial port "
                                      "because it is already in use.."}));
}

// Each way the system can refuse a serial port: the trace names the cause,
// and the port stays closed.
TEST(DeviceLink, EachSerialOpenFailureIsTracedWithItsCause) {
  using vf::platform::SerialOpenResult;
  static SerialOpenResult s_result;
  const struct {
    SerialOpenResult result;
    const char* text;
  } cases[] = {
      {SerialOpenResult::kInUse, "Failed to open the selected serial port because it is already in use."},
      {SerialOpenResult::kNotFound, "Failed to open the selected serial port because it not longer exist."},
      {SerialOpenResult::kEventsFailed, "Failed to open the selected serial port because creating events failed."},
      {SerialOpenResult::kFailed, "Failed to open the selected serial port, unknown error."},
      {SerialOpenResult::kNoPermission,
       "Failed to open the selected serial port because this user may not open it. Give the user access to the device "
       "(on Linux: add the user to the device's group, usually dialout, and log in again)"},
  };
  vf::platform::SystemCalls& calls = vf::platform::ActiveSystemCalls();
  calls.openSerialPort = [](int32_t, SerialOpenResult& result) {
    result = s_result;
    return vf::platform::InvalidHandle();
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TraceFolder folder;
    LinkRig rig;
    rig.config.m_nSerialPort = 4;
    s_result = c.result;
    EXPECT_EQ(rig.Open(), -1);
    EXPECT_FALSE(rig.link.m_pSerial->IsOpen());
    EXPECT_EQ(StatusLines(folder).back(), std::string("1|Failed to open serial port: [COM4]. ") + c.text + ".");
  }
  calls = vf::platform::NativeSystemCalls();
}

// Three attempts, each traced; a refusal ends each at once (by default), so
// the open fails before a single connection wait would have run out.
TEST(DeviceLink, ARefusedTcpHostIsTriedThreeTimes) {
  TraceFolder folder;
  vf::test::RefusingTcpPort refusing;
  LinkRig rig;
  rig.config.m_nConnectionType = kConnectionTcpIp;
  rig.config.m_strHostAddress = u"127.0.0.1";
  rig.config.m_nIpPort = refusing.Port();
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.Open(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(CTcp::kConnectWaitMs));
  const std::string failure = "1|Failed to open TCP connection: Failed to open TCP connection, timeout while trying "
                              "to connect to host..";
  EXPECT_EQ(rig.link.m_pTcp->m_hSocket, vf::platform::kNoSocket);
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening TCP connection to: [127.0.0.1] on port: [" +
                                          std::to_string(rig.config.m_nIpPort) + "]...",
                                      failure, failure, failure}));
}

TEST(DeviceLink, UdpSessionsOpenTheLocalSocket) {
  TraceFolder folder;
  const uint16_t port = vf::test::UnusedUdpPort();
  LinkRig rig;
  rig.config.m_nConnectionType = kConnectionTcpIp;
  rig.config.m_nSocketType = kSocketUdp;
  rig.config.m_nIpPort = port;
  EXPECT_EQ(rig.Open(), 0);
  rig.Close();
  rig.config.m_strHostAddress = u"127.0.0.1";  // named, but without a remote port only the local socket opens
  EXPECT_EQ(rig.Open(), 0);
  EXPECT_EQ(rig.link.m_pUdpRemote->m_hSocket, vf::platform::kNoSocket);
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
  LinkRig rig;
  rig.config.m_nConnectionType = kConnectionTcpIp;
  rig.config.m_nSocketType = kSocketUdp;
  rig.config.m_nIpPort = held.Port();
  EXPECT_EQ(rig.Open(), -1);
  EXPECT_EQ(rig.link.m_pUdp->m_hSocket, vf::platform::kNoSocket);
  const std::string number = std::to_string(held.Port());
  EXPECT_EQ(StatusLines(folder),
            (std::vector<std::string>{"4|Opening UDP session on port: [" + number + "]...",
                                      "1|Failed to open UDP session: Failed to bind local UDP port: [" + number +
                                          "], Failed to open UDP connection. Failed to bind socket. The specified "
                                          "port could already be in use.."}));
}

// A UDP session that cannot reach its remote peer or resolve an accepted
// source says so and does not start; a missing remote object fails as a
// socket that could not be made.
TEST(DeviceLink, AUdpSessionThatCannotFindItsPeerOrItsSourcesSaysWhy) {
  vf::platform::SystemCalls& calls = vf::platform::ActiveSystemCalls();
  calls.lookUpAddress = [](const vf::platform::NameQuery&, vf::platform::SocketAddress&, const vf::platform::Abandon&) {
    return false;
  };
  const struct {
    const char* what;
    int32_t remotePort;
    const char16_t* options;
    bool withoutRemoteObject;
    std::string failure;
  } cases[] = {
      {"remote peer", 2001, u"", false,
       "1|Failed to open UDP session: Failed to connect remote UDP port: [2001], Failed to open UDP connection. "
       "Failed to bind socket. The specified port could already be in use.."},
      {"remote object", 2001, u"", true,
       "1|Failed to open UDP session: Failed to connect remote UDP port: [2001], Failed to open UDP connection "
       "because the creation of the socket failed.."},
      {"accepted source", 0, u"UDPSOURCES=127.0.0.1,receiver", false,
       "1|Failed to open UDP session: the accepted source [127.0.0.1] cannot be resolved."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceFolder folder;
    LinkRig rig;
    if (c.withoutRemoteObject) rig.link.m_pUdpRemote.reset();
    rig.config.m_nConnectionType = kConnectionTcpIp;
    rig.config.m_nSocketType = kSocketUdp;
    rig.config.m_strHostAddress = u"receiver";
    rig.config.m_nIpPort = vf::test::UnusedUdpPort();
    rig.config.m_nRemoteIpPort = c.remotePort;
    rig.config.m_strOptions = c.options;
    EXPECT_EQ(rig.Open(), -1);
    EXPECT_EQ(StatusLines(folder).back(), c.failure);
    rig.Close();
  }
  calls = vf::platform::NativeSystemCalls();
}

}  // namespace
