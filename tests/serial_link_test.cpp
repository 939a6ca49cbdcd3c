// The serial port against a real pseudo-terminal: opening, frame settings,
// and the line assembly from the bytes a receiver sends; and the list of
// ports the dialog offers.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "links/device_link.h"
#include "links/error_text.h"
#include "links/mfc_serial.h"
#include "platform/event.h"
#include "platform/serial_port.h"
#include "platform/system_calls.h"
#include "support/child_process.h"
#include "support/serial_loop.h"
#include "support/terminal_speed.h"
#include "support/trace_folder.h"
#include "support/wait_until.h"

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
    serial.Close();  // closing a port that never opened is harmless
    CWideString line(u"old");
    EXPECT_EQ(serial.ReadLine(line), -1);
    EXPECT_EQ(Text(line), "");
  }
}

// A pseudo-terminal always keeps 8 data bits without parity, so the stop
// bits and the speed are what shows here. Any speed the driver takes is set,
// in the table of terminal speeds or not.
TEST(SerialLink, FrameFormatsAndSpeedsReachTheDriver) {
  SerialLoop loop(kPort);
  {
    OpenedPort port(2);  // N-8-2
    ASSERT_EQ(port.result, 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(loop.Master(), &settings), 0);
    EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(settings.c_cflag & PARENB, 0u);
    EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(vf::test::TerminalOutputSpeed(loop.Master()), 38400u);
  }
  for (const uint32_t speed : {14400u, 4800u, 250000u}) {
    CMFCSerial serial;
    serial.m_nPort = kPort;
    serial.m_nBaudRate = speed;
    ASSERT_EQ(serial.Open(), 0);
    EXPECT_EQ(vf::test::TerminalOutputSpeed(loop.Master()), speed);
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

// A driver that refuses the settings (a USB adapter without the speed): the
// port still opens and reads with the settings it has.
TEST(SerialLink, ADriverThatRefusesTheSettingsStillReads) {
  SerialLoop loop(kPort);
  vf::platform::SystemCalls& calls = vf::platform::ActiveSystemCalls();
  calls.configureSerialPort = [](vf::platform::Handle, uint32_t, const vf::platform::SerialFrame*) { return false; };
  OpenedPort port;
  calls = vf::platform::NativeSystemCalls();
  ASSERT_EQ(port.result, 0);
  ASSERT_TRUE(loop.Send("!AIVDM\n"));
  CWideString line;
  EXPECT_EQ(port.serial.ReadLine(line), 0);
  EXPECT_EQ(Text(line), "!AIVDM");
}

// What the receiver sends, and the lines it makes: CR and LF each end one
// (an empty one reads as nothing), a long line keeps its first 4096
// characters, and control and high bytes never appear.
TEST(SerialLink, LinesAreAssembledFromTheBytes) {
  std::string longLine;
  for (int i = 0; i < 5000; ++i) longLine += static_cast<char>('A' + i % 26);
  const struct {
    std::string sent;
    std::vector<std::pair<int32_t, std::string>> reads;  // result and line, in order
  } cases[] = {{"ABC\r\n", {{0, "ABC"}, {-1, ""}}},
               {longLine + "\n", {{0, longLine.substr(0, 4096)}}},
               {std::string("!A\x01\x80\xFF" "B\x7F\t\0C\n", 11), {{0, "!AB\x7F" "C"}}}};
  for (const auto& c : cases) {
    SerialLoop loop(kPort);
    OpenedPort port;
    ASSERT_EQ(port.result, 0);
    loop.Send(c.sent);
    for (const auto& [result, text] : c.reads) {
      CWideString line;
      EXPECT_EQ(port.serial.ReadLine(line), result);
      EXPECT_EQ(Text(line), text);
    }
  }
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

// A receiver that sends without end and never a line end (noise, a line
// held in break, which reads as NULs, or a byte now and then, each within
// the silence time-out): the stop ends the read at once.
TEST(SerialLink, AStopEndsALineThatNeverEnds) {
  const struct {
    const char* what;
    char byte;
    size_t chunk;
    std::chrono::milliseconds pause;  // between chunks
    size_t sentBeforeStop;
  } senders[] = {{"letters", 'A', 256, {}, 512 * 1024},  // more than any terminal buffer holds
                 {"NULs", '\0', 256, {}, 512 * 1024},
                 {"a byte every 0.4 s", 'A', 1, std::chrono::milliseconds(400), 4}};
  for (const auto& sender : senders) {
    SCOPED_TRACE(sender.what);
    SerialLoop loop(kPort);
    OpenedPort port;
    ASSERT_EQ(port.result, 0);
    port.serial.m_nTimeout = 500;
    fcntl(loop.Master(), F_SETFL, fcntl(loop.Master(), F_GETFL) | O_NONBLOCK);
    std::atomic<bool> sending{true};
    std::atomic<size_t> sent{0};
    std::thread source([&] {
      const std::string chunk(sender.chunk, sender.byte);
      pollfd writable{loop.Master(), POLLOUT, 0};
      while (sending) {
        if (poll(&writable, 1, 10) == 1) {
          const ssize_t written = write(loop.Master(), chunk.data(), chunk.size());
          if (written > 0) sent += static_cast<size_t>(written);
        }
        std::this_thread::sleep_for(sender.pause);  // the receiver's pace, not a wait for the reader
      }
    });
    const vf::platform::Handle stop = vf::platform::CreateManualResetEvent();
    std::atomic<bool> returned{false};
    std::thread reader([&] {
      CWideString line;
      port.serial.ReadLine(line, stop);
      returned = true;
    });
    EXPECT_TRUE(vf::test::WaitUntil([&] { return sent >= sender.sentBeforeStop; }));
    EXPECT_FALSE(returned) << "the line has no end";
    vf::platform::SetEvent(stop);
    EXPECT_TRUE(vf::test::WaitUntil([&] { return returned.load(); }, std::chrono::milliseconds(500)));
    reader.join();
    sending = false;
    source.join();
    vf::platform::CloseEvent(stop);
  }
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The receiver's end of the line closes (a USB receiver unplugged; here the
// pseudo-terminal's master): the port is lost and traced once, and waiting on
// it costs no processor time. By default the link is opened again later;
// with "RECONNECT=0" the trace tells the user what to do.
TEST(SerialLink, AHungUpDeviceIsLostAndCostsNothing) {
  const struct {
    const char16_t* options;
    std::string traced;
  } cases[] = {
      {u"", "1|Connection lost: serial port [COM" + std::to_string(kPort) + "]; reconnecting in 3 s."},
      {u"RECONNECT=0", "1|Serial port [COM" + std::to_string(kPort) +
                           "] is no longer there; stop and start the plugin once it is back."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.traced);
    vf::test::TraceFolder folder;
    auto loop = std::make_unique<SerialLoop>(kPort);
    vf::TraceWriter trace(u"AIS");
    trace.Open();
    vf::links::CDeviceLink link;
    CCfgDevice config;
    config.m_nSerialPort = kPort;
    config.m_strOptions = c.options;
    std::atomic<bool> stopRequested{false};
    ASSERT_EQ(link.OpenDeviceLink(config, vf::FeedOptions::Of(config.m_strOptions.View()), trace, stopRequested), 0);
    loop.reset();  // the master closes: the device hangs up
    CWideString line;
    const double cpuBefore = ThreadCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(link.ReadDeviceLine(line), -1);
    EXPECT_TRUE(link.m_pSerial->IsLost());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.05 * wall) << "a gone device must not spin";
    link.CloseDeviceLink(trace);
    const std::vector<std::string> lines = vf::test::StatusMessages(folder, true);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), c.traced), 1);
  }
}

// Another program opening the port: refused while the plug-in holds it (no
// byte taken from under it), refused with its own reason when its user may
// not open the device, let in otherwise. The other program runs unprivileged.
TEST(SerialLink, AnotherProgramGetsThePortOnlyWhenNobodyHoldsIt) {
  SerialLoop loop(kPort);
  std::filesystem::permissions(std::filesystem::path(loop.Folder()), std::filesystem::perms::owner_all |
                                   std::filesystem::perms::group_exec | std::filesystem::perms::others_exec);
  // "plain": 0 or the errno of a program that takes no lock; "link": the
  // link's result code.
  const auto otherProgramOpens = [](const char* how) {
    const vf::test::Finished other = vf::test::RunToEnd({SERIAL_OPEN_PATH, how, std::to_string(kPort)});
    return other.exitCode == 0 ? std::stoi(other.output) : -99;
  };
  const auto mode = [&](mode_t bits) { ASSERT_EQ(chmod(loop.DevicePath().c_str(), bits), 0); };
  mode(0666);
  EXPECT_EQ(otherProgramOpens("plain"), 0) << "a port nobody holds";
  {
    OpenedPort held;
    ASSERT_EQ(held.result, 0);
    EXPECT_EQ(otherProgramOpens("plain"), EBUSY);
    EXPECT_EQ(otherProgramOpens("link"), kSerialPortInUse);
    ASSERT_TRUE(loop.Send("!AIVDM\n"));
    CWideString line;
    EXPECT_EQ(held.serial.ReadLine(line), 0);
    EXPECT_EQ(Text(line), "!AIVDM") << "the holder still reads every byte";
  }
  EXPECT_EQ(otherProgramOpens("plain"), 0) << "free again once closed";
  mode(0);
  EXPECT_EQ(otherProgramOpens("link"), kSerialNoPermission);
}

// --- the serial ports the configuration dialog lists on Linux ---------------
// The COM mapping folder's comN links, in number order, when there is one;
// otherwise the system's devices under the COM numbers that Wine gives them.

TEST(SerialPortList, TheComMappingFolderAloneInNumberOrder) {
  const auto folder = std::filesystem::temp_directory_path() / ("com-list-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  for (const char* name : {"com12", "com5", "com40", "com", "comX", "readme", "COM7"}) std::ofstream(folder / name) << "";
  setenv("VF_SERIAL_DIR", folder.c_str(), 1);
  const std::vector<std::u16string> ports = vf::platform::SerialPortRegistryData();
  unsetenv("VF_SERIAL_DIR");
  std::filesystem::remove_all(folder);

  // COMn then opens the folder's comN, so the system's own devices, which
  // could not be opened under their numbers, are not listed.
  EXPECT_EQ(ports, (std::vector<std::u16string>{u"COM5", u"COM12", u"COM40"}));
}

TEST(SerialPortList, WithoutAMappingFolderComNumbersFollowWine) {
  unsetenv("VF_SERIAL_DIR");
  const struct {
    int32_t port;
    const char* path;
  } cases[] = {
      {1, "/dev/ttyS0"},    {32, "/dev/ttyS31"},    {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
      {65, "/dev/ttyACM0"}, {256, "/dev/ttyACM191"}, {0, "/dev/ttyS-1"},  // no such device: "does not exist"
  };
  for (const auto& c : cases) EXPECT_EQ(vf::platform::SerialDevicePath(c.port), c.path) << "COM" << c.port;
}

}  // namespace
