#include "support/terminal_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vf::test {

uint32_t TerminalOutputSpeed(int fd) {
  termios2 settings{};
  return ioctl(fd, TCGETS2, &settings) == 0 ? settings.c_ospeed : 0;
}

}  // namespace vf::test
