// The serial ports the configuration dialog lists on Windows: the values of
// HARDWARE\DEVICEMAP\SERIALCOMM, in the registry's order.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial_port.h"

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

}  // namespace
