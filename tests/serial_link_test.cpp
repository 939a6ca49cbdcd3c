// The serial port against a real pseudo-terminal: opening, frame settings,
// and the line assembly from the bytes a receiver sends.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "links/error_text.h"
#include "links/mfc_serial.h"
#include "support/loopback.h"

namespace {

using vf::test::SerialLoop;

constexpr int kPort = 5;

std::string Text(const CWideString& line) { return std::string(line.View().begin(), line.View().end()); }

struct OpenedPort {
  explicit OpenedPort(int32_t format = 0) {
    serial.m_nPort = kPort;
    serial.m_nFormat = format;
    serial.m_nBaudRate = 38400;
    result = serial.Open();
  }
  CMFCSerial serial;
  int32_t result;
};

TEST(SerialLink, PortNumbersOutsideTheRangeAreRefusedWithoutTouchingTheSystem) {
  for (int32_t port : {0, 257, -1}) {
    CMFCSerial serial;
    serial.m_nPort = port;
    EXPECT_EQ(serial.Open(), -1) << port;
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_EQ(serial.m_pRxBuffer, nullptr);
  }
}

TEST(SerialLink, AMissingPortNoLongerExists) {
  SerialLoop loop(kPort);
  CMFCSerial serial;
  serial.m_nPort = 256;  // no link for COM256 in the folder
  EXPECT_EQ(serial.Open(), kSerialPortGone);
  EXPECT_FALSE(serial.IsOpen());
}

TEST(SerialLink, APortHeldElsewhereIsInUse) {
  SerialLoop loop(kPort);
  OpenedPort first;
  ASSERT_EQ(first.result, 0);
  OpenedPort second;
  EXPECT_EQ(second.result, kSerialPortInUse);
  EXPECT_FALSE(second.serial.IsOpen());
}

// A pseudo-terminal always keeps 8 data bits without parity, so the stop
// bits and the speed are what shows here.
TEST(SerialLink, FrameFormatsReachTheDriver) {
  SerialLoop loop(kPort);
  {
    OpenedPort port(2);  // N-8-2
    ASSERT_EQ(port.result, 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(loop.Master(), &settings), 0);
    EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(settings.c_cflag & PARENB, 0u);
    EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(cfgetispeed(&settings), speed_t(B38400));
  }
  const int device = open(loop.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(device, 0);
  termios before{};
  tcgetattr(device, &before);
  before.c_cflag |= CSTOPB;
  ASSERT_EQ(tcsetattr(device, TCSANOW, &before), 0);
  OpenedPort unknown(7);  // not a format: the driver's two stop bits stay
  ASSERT_EQ(unknown.result, 0);
  termios after{};
  tcgetattr(device, &after);
  close(device);
  EXPECT_NE(after.c_cflag & CSTOPB, 0u);
}

TEST(SerialLink, CarriageReturnAndLineFeedEachEndALine) {
  SerialLoop loop(kPort);
  OpenedPort port;
  ASSERT_EQ(port.result, 0);
  loop.Send("ABC\r\n");
  CWideString line;
  EXPECT_EQ(port.serial.ReadLine(line), 0);
  EXPECT_EQ(Text(line), "ABC");
  EXPECT_EQ(port.serial.ReadLine(line), -1);
  EXPECT_EQ(Text(line), "");
}

TEST(SerialLink, ALongLineKeepsItsFirst4096Characters) {
  SerialLoop loop(kPort);
  OpenedPort port;
  ASSERT_EQ(port.result, 0);
  std::string sent;
  for (int i = 0; i < 5000; ++i) sent += static_cast<char>('A' + i % 26);
  loop.Send(sent + "\n");
  CWideString line;
  EXPECT_EQ(port.serial.ReadLine(line), 0);
  EXPECT_EQ(Text(line), sent.substr(0, 4096));
}

TEST(SerialLink, ControlAndHighBytesNeverAppear) {
  SerialLoop loop(kPort);
  OpenedPort port;
  ASSERT_EQ(port.result, 0);
  loop.Send(std::string("!A\x01\x80\xFF" "B\x7F\t\0C\n", 11));
  CWideString line;
  EXPECT_EQ(port.serial.ReadLine(line), 0);
  EXPECT_EQ(Text(line), "!AB\x7F" "C");
}

TEST(SerialLink, SilenceEndsTheLineWithWhatCame) {
  SerialLoop loop(kPort);
  OpenedPort port;
  ASSERT_EQ(port.result, 0);
  port.serial.m_nTimeout = 500;
  CWideString line(u"old");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.serial.ReadLine(line), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  EXPECT_EQ(Text(line), "");
  loop.Send("ABC");
  EXPECT_EQ(port.serial.ReadLine(line), -1);
  EXPECT_EQ(Text(line), "ABC");
}

TEST(SerialLink, ClosingIsHarmlessWhenClosed) {
  CMFCSerial serial;
  serial.Close();
  serial.Close();
  CWideString line(u"old");
  EXPECT_EQ(serial.ReadLine(line), -1);
  EXPECT_EQ(Text(line), "");
}

}  // namespace
