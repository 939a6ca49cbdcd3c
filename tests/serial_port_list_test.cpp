// The serial ports the configuration dialog lists on Linux: the COM mapping
// folder's comN links first, in number order, then the UARTs of /dev/ttyS*.
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
  for (const char* name : {"com12", "com5", "com", "comX", "readme", "COM7"}) std::ofstream(folder / name) << "";
  setenv("VF_SERIAL_DIR", folder.c_str(), 1);
  const std::vector<std::u16string> ports = vf::platform::SerialPortRegistryData();
  unsetenv("VF_SERIAL_DIR");
  std::filesystem::remove_all(folder);

  ASSERT_GE(ports.size(), 2u);
  EXPECT_EQ(ports[0], u"COM5");
  EXPECT_EQ(ports[1], u"COM12");
  for (size_t i = 2; i < ports.size(); ++i) EXPECT_EQ(ports[i].rfind(u"COM", 0), 0u);  // this machine's UARTs
}

}  // namespace
