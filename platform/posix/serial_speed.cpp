#include "serial_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vf::platform::posix {

bool SetAnySerialSpeed(int fd, uint32_t baudRate) {
  termios2 settings{};
  if (baudRate == 0 || ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baudRate;
  settings.c_ospeed = baudRate;
  return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace vf::platform::posix
