// The output speed a terminal driver holds, in bit/s, read through termios2
// (which <termios.h> cannot show for speeds outside its table).
#pragma once

#include <cstdint>

namespace vf::test {
uint32_t TerminalOutputSpeed(int fd);
}
