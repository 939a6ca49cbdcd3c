// The serial ports the configuration dialog lists on Linux: the COM mapping
// folder's comN links, in number order, when there is one; otherwise the
// system's devices under the COM numbers that Wine gives them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace {

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
