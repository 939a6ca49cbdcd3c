// The built plug-in library, loaded as a host loads it.
#include <gtest/gtest.h>

#include <string>

#include "plugin_library.h"
#include "support/wait_until.h"
#include "vf_system.h"

namespace {

class PluginExports : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(m_plugin.Load(AIS_PLUGIN_PATH, error)) << error;
  }
  const vf::host::PluginExports& Api() const { return m_plugin.Exports(); }
  uint32_t Status() const {
    uint32_t status = 99;
    Api().get_Status(&status);
    return status;
  }

  vf::host::PluginLibrary m_plugin;
};

std::u16string Read(void (*getter)(CWideString*)) {
  CWideString text(u"previous text is replaced");
  getter(&text);
  return std::u16string(text.View());
}

TEST_F(PluginExports, IdentityTypeAndStatus) {
  EXPECT_EQ(Read(Api().get_Version), u"9.1.64.0511");
  EXPECT_EQ(Read(Api().get_Name), u"Vestrafold AIS plugin");
  EXPECT_EQ(Read(Api().get_Desc), u"Plugin for generic AIS receivers");
  uint32_t type = 0;
  Api().get_Type(&type);
  EXPECT_EQ(type, 512u);
  EXPECT_EQ(Status(), kStatusStopped);
}

TEST_F(PluginExports, ConfigurationRoundTripsThroughTheHostsRecords) {
  CCfgDevice given;
  given.m_nDeviceId = 42;
  given.m_nConnectionType = kConnectionTcpIp;
  given.m_nSocketType = kSocketUdp;
  given.m_nIpPort = 10110;
  given.m_nRemoteIpPort = 10111;
  given.m_nTimeOffset = -250;
  given.m_nSerialTimeout = 1500;
  given.m_strHostAddress = u"127.0.0.1";
  given.m_strOptions = u"CRC=0;";
  given.m_strSpare = u"x";
  Api().put_Config(&given);

  CCfgDevice back;
  Api().get_Config(&back);
  EXPECT_EQ(back.m_nDeviceId, 42);
  EXPECT_EQ(back.m_nConnectionType, kConnectionTcpIp);
  EXPECT_EQ(back.m_nSocketType, kSocketUdp);
  EXPECT_EQ(back.m_nIpPort, 10110);
  EXPECT_EQ(back.m_nRemoteIpPort, 10111);
  EXPECT_EQ(back.m_nTimeOffset, -250);
  EXPECT_EQ(back.m_nSerialTimeout, 1500);
  EXPECT_EQ(back.m_strHostAddress.View(), u"127.0.0.1");
  EXPECT_EQ(back.m_strOptions.View(), u"CRC=0;");
  EXPECT_EQ(back.m_strSpare.View(), u"x");

  CCfgDevice defaults;
  Api().put_Config(&defaults);
}

TEST_F(PluginExports, StartAndStopThroughTheExports) {
  HostWindow window = VfCreateWindow(u"exports test");
  Api().put_Parent(window);
  ASSERT_EQ(Api().StartPlugin(), 0);
  EXPECT_EQ(Api().StartPlugin(), -1);
  const uint32_t running = Status();
  EXPECT_TRUE(running == kStatusRunning || running == kStatusLinkFailed) << running;
  EXPECT_EQ(Api().StopPlugin(), 0);
  EXPECT_EQ(Status(), kStatusStopped);
  EXPECT_EQ(Api().StopPlugin(), -1);
  Api().put_Parent(nullptr);
  VfDestroyWindow(window);
}

}  // namespace
