// The serial ports the configuration dialog lists on Linux: the COM mapping
// folder's comN links first, in number order, then the system's devices
// under the COM numbers that Wine gives them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace {

TEST(SerialPortList, TheComMappingFolderComesFirstInNumberOrder) {
  const auto folder = std::filesystem::temp_directory_path() / ("com-list-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  for (const char* name : {"com12", "com5", "com40", "com", "comX", "readme", "COM7"}) std::ofstream(folder / name) << "";
  setenv("VF_SERIAL_DIR", folder.c_str(), 1);
  const std::vector<std::u16string> ports = vf::platform::SerialPortRegistryData();
  unsetenv("VF_SERIAL_DIR");
  std::filesystem::remove_all(folder);

  ASSERT_GE(ports.size(), 3u);
  EXPECT_EQ(ports[0], u"COM5");
  EXPECT_EQ(ports[1], u"COM12");
  EXPECT_EQ(ports[2], u"COM40");
  for (size_t i = 3; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].rfind(u"COM", 0), 0u);  // this machine's own devices
    EXPECT_NE(ports[i], u"COM40") << "a link of the folder listed twice";
  }
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
