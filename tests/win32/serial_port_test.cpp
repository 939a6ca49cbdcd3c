// COM ports on Windows: the list the configuration dialog shows, and the
// settings an opened port leaves in the driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "platform/win32/serial_port_state.h"

namespace {

TEST(SerialPortList, TheRegistrysSerialCommValuesAreListed) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t data[] = L"COM42";
  ASSERT_EQ(RegSetValueExW(key, L"\\Device\\VfTestSerial", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data),
            ERROR_SUCCESS);
  const std::vector<std::u16string> ports = vf::platform::SerialPortRegistryData();
  RegDeleteValueW(key, L"\\Device\\VfTestSerial");
  RegCloseKey(key);
  EXPECT_NE(std::find(ports.begin(), ports.end(), u"COM42"), ports.end());
}

// A read waits for its first byte up to a constant, then returns what has
// come: the documented setting that keeps an idle port from completing every
// read at once with nothing. (Wine's serial layer does not show that spin;
// the values are what can be checked here.)
TEST(SerialPort, ReadsWaitForTheFirstByteUpToAConstant) {
  const char* port = std::getenv("AIS_WINE_SERIAL_PORT");
  if (port == nullptr) GTEST_SKIP() << "no COM port mapped to a pseudo-terminal (AIS_WINE_SERIAL_PORT)";
  vf::platform::SerialOpenResult result{};
  const vf::platform::Handle opened = vf::platform::OpenSerialPort(std::atoi(port), result);
  ASSERT_EQ(result, vf::platform::SerialOpenResult::kOpened);
  EXPECT_TRUE(vf::platform::ConfigureSerialPort(opened, 38400, nullptr));
  COMMTIMEOUTS timeouts{};
  ASSERT_TRUE(GetCommTimeouts(vf::platform::AsPort(opened)->file, &timeouts));
  vf::platform::CloseSerialPort(opened);
  EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, MAXDWORD);
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, vf::platform::kSerialFirstByteWaitMs);
}

}  // namespace
