// Serial ports on Linux: termios, with poll for the read wait, and flock and
// the terminal's exclusive mode for the sole hold that Windows gives a COM port.
#include "serial_port.h"
#include "native_calls.h"

#include "ais_plugin.h"
#include "event_fd.h"
#include "serial_speed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <linux/serial.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

namespace vf::platform {
namespace {

struct SerialPort {
  int fd;
};

// COM1 to COM32 are ttyS0 to ttyS31, COM33 to COM64 the USB adapters
// ttyUSB0 to ttyUSB31, COM65 on the modem-class (CDC ACM) devices.
constexpr int32_t kFirstUsbPort = 33;
constexpr int32_t kFirstAcmPort = 65;

SerialPort* AsPort(Handle handle) { return IsHeld(handle) ? static_cast<SerialPort*>(handle) : nullptr; }

speed_t SpeedCode(uint32_t baudRate) {
  switch (baudRate) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;  // not in the table: set through termios2
  }
}

// The system's device of COMn, numbered as Wine numbers its default COM ports.
std::string SystemDevicePath(int32_t portNumber) {
  if (portNumber >= kFirstAcmPort) return "/dev/ttyACM" + std::to_string(portNumber - kFirstAcmPort);
  if (portNumber >= kFirstUsbPort) return "/dev/ttyUSB" + std::to_string(portNumber - kFirstUsbPort);
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace

std::string SerialDevicePath(int32_t portNumber) {
  const char* folder = std::getenv("VF_SERIAL_DIR");
  if (folder != nullptr && *folder != '\0') return std::string(folder) + "/com" + std::to_string(portNumber);
  return SystemDevicePath(portNumber);
}

std::vector<std::u16string> SerialPortRegistryData() {
  std::vector<std::u16string> ports;
  const auto add = [&](const std::string& name) { ports.emplace_back(name.begin(), name.end()); };
  const char* folder = std::getenv("VF_SERIAL_DIR");
  if (folder != nullptr && *folder != '\0') {
    std::error_code failure;
    std::vector<int> numbers;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failure)) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 3 && name.compare(0, 3, "com") == 0 &&
          name.find_first_not_of("0123456789", 3) == std::string::npos) {
        numbers.push_back(std::atoi(name.c_str() + 3));
      }
    }
    std::sort(numbers.begin(), numbers.end());
    for (int number : numbers) add("COM" + std::to_string(number));
    return ports;  // COMn opens the folder's comN: nothing else can be opened
  }
  // A ttyS device always exists; a UART behind it has a known type.
  for (int index = 0; index < 32; ++index) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    int uart = 0;
    if (type >> uart && uart != 0) add("COM" + std::to_string(index + 1));
  }
  for (int32_t port = kFirstUsbPort; port <= kAisLastComPort; ++port) {
    std::error_code failure;
    if (std::filesystem::exists(SystemDevicePath(port), failure)) add("COM" + std::to_string(port));
  }
  return ports;
}

int64_t native::SerialOverrunCount(Handle handle) {
  SerialPort* port = AsPort(handle);
  serial_icounter_struct counts{};
  if (port == nullptr || ioctl(port->fd, TIOCGICOUNT, &counts) != 0) return -1;
  return int64_t{counts.overrun} + counts.buf_overrun;
}

Handle native::OpenSerialPort(int32_t portNumber, SerialOpenResult& result) {
  const int fd = open(SerialDevicePath(portNumber).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // EIO: a ttyS node without a UART behind it.
    // EBUSY: another program holds it exclusively (TIOCEXCL).
    result = errno == ENOENT || errno == ENXIO || errno == ENODEV || errno == EIO ? SerialOpenResult::kNotFound
             : errno == EBUSY                                     ? SerialOpenResult::kInUse
             : errno == EACCES || errno == EPERM                  ? SerialOpenResult::kNoPermission
                                                                   : SerialOpenResult::kFailed;
    return InvalidHandle();
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {  // another program has the port
    close(fd);
    result = SerialOpenResult::kInUse;
    return InvalidHandle();
  }
  // flock binds only programs that ask for it; the terminal's exclusive mode
  // refuses every later open (but root's), as Windows refuses a held COM port.
  ioctl(fd, TIOCEXCL);
  auto* port = new (std::nothrow) SerialPort{fd};
  if (port == nullptr) {
    close(fd);
    result = SerialOpenResult::kFailed;
    return InvalidHandle();
  }
  result = SerialOpenResult::kOpened;
  return port;
}

bool native::ConfigureSerialPort(Handle handle, uint32_t baudRate, const SerialFrame* frame) {
  SerialPort* port = AsPort(handle);
  termios settings{};
  if (port == nullptr || tcgetattr(port->fd, &settings) != 0) return false;
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | INLCR | IGNCR | ICRNL | ISTRIP | IXON | IXOFF | IXANY);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  settings.c_cflag |= CREAD | CLOCAL;
  if (frame != nullptr) {
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    settings.c_cflag |= frame->dataBits == 7 ? CS7 : CS8;
    if (frame->evenParity) settings.c_cflag |= PARENB;
    if (frame->stopBits == 2) settings.c_cflag |= CSTOPB;
  }
  settings.c_cc[VMIN] = 0;  // a read returns at once with whatever has arrived
  settings.c_cc[VTIME] = 0;
  const speed_t speed = SpeedCode(baudRate);
  if (speed != B0) {
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
  }
  if (tcsetattr(port->fd, TCSANOW, &settings) != 0) return false;
  return speed != B0 || posix::SetAnySerialSpeed(port->fd, baudRate);
}

void native::RaiseModemLines(Handle handle) {
  if (SerialPort* port = AsPort(handle)) {
    for (int line : {TIOCM_DTR, TIOCM_RTS}) ioctl(port->fd, TIOCMBIS, &line);  // a pseudo-terminal has none
  }
}

void native::PurgeSerialPort(Handle handle, bool transmit, bool receive) {
  SerialPort* port = AsPort(handle);
  if (port == nullptr || (!transmit && !receive)) return;
  tcflush(port->fd, transmit && receive ? TCIOFLUSH : transmit ? TCOFLUSH : TCIFLUSH);
}

SerialRead native::ReadSerialPort(Handle handle, uint8_t* buffer, size_t capacity, uint32_t timeoutMs, Handle stopEvent,
                          size_t& bytes) {
  bytes = 0;
  SerialPort* port = AsPort(handle);
  if (port == nullptr || capacity == 0) return SerialRead::kGone;
  pollfd ready[2] = {{port->fd, POLLIN, 0}, {posix::EventDescriptor(stopEvent), POLLIN, 0}};
  const nfds_t count = ready[1].fd >= 0 ? 2 : 1;
  int polled;
  do {
    polled = poll(ready, count, static_cast<int>(timeoutMs));
  } while (polled < 0 && errno == EINTR);
  if (polled == 0) return SerialRead::kNothing;
  if (polled < 0) return SerialRead::kGone;
  if (count == 2 && (ready[1].revents & POLLIN) != 0) return SerialRead::kStopped;
  // A hung-up device reports POLLHUP, often with POLLIN, and then reads 0
  // bytes for ever: that is a device that went away, not data.
  if ((ready[0].revents & POLLIN) == 0) return SerialRead::kGone;
  const ssize_t got = read(port->fd, buffer, capacity);
  if (got > 0) {
    bytes = static_cast<size_t>(got);
    return SerialRead::kData;
  }
  return got < 0 && (errno == EAGAIN || errno == EINTR) ? SerialRead::kNothing : SerialRead::kGone;
}

void native::CloseSerialPort(Handle handle) {
  if (SerialPort* port = AsPort(handle)) {
    ioctl(port->fd, TIOCNXCL);
    close(port->fd);
    delete port;
  }
}

}  // namespace vf::platform
