#include "system_access.h"

#include <windows.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "ais_utf8.h"

namespace vf::host {

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

size_t StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

// Windows names its serial ports itself: "\\.\COMn" is COMn.
bool MapSerialDevice(const std::string& device, int32_t& port, std::string& error) {
  const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
    port = std::atoi(name.c_str() + 3);
    if (port >= 1 && port <= 256) return true;
  }
  error = "on Windows name the serial port as COMn, not '" + device + "'";
  return false;
}

void UnmapSerialDevice() {}

void OnStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);  // Ctrl-C in a console
  std::signal(SIGTERM, handler);
}

}  // namespace vf::host
