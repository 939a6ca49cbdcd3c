// Serial speeds that the termios table has no code for (14400, 28800, ...),
// set through the kernel's termios2 interface. Its header clashes with
// <termios.h>, so it lives in a file of its own.
#pragma once

#include <cstdint>

namespace vf::platform::posix {

// Sets both directions of the open terminal `fd` to `baudRate` bit/s; false
// when the driver refuses it.
bool SetAnySerialSpeed(int fd, uint32_t baudRate);

}  // namespace vf::platform::posix
