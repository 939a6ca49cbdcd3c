// Opens COMn (as $VF_SERIAL_DIR maps it) as another, unprivileged program
// would, and prints the result. "plain": the way any terminal program opens
// a device, without asking for locks: 0 when it opened, else the errno.
// "link": through the plug-in's serial link: its result code. Run by root, it
// first becomes "nobody", whom neither a port's exclusive hold nor its
// permissions let through.
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "links/mfc_serial.h"
#include "platform/serial_port.h"

int main(int argc, char** argv) {
  constexpr uid_t kNobody = 65534;
  if (argc < 3) return 2;
  if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
    std::perror("becoming nobody");
    return 2;
  }
  const int32_t number = std::atoi(argv[2]);
  if (std::strcmp(argv[1], "plain") == 0) {
    const int fd = open(vf::platform::SerialDevicePath(number).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::printf("%d\n", fd >= 0 ? 0 : errno);
    if (fd >= 0) close(fd);
    return 0;
  }
  CMFCSerial port;
  port.m_nPort = number;
  port.m_nBaudRate = 38400;
  std::printf("%d\n", port.Open());
  port.Close();
  return 0;
}
